#pragma once
// Under the compose box: the messages that wait in the outbox until their recipient is back,
// each with its recipient, since when it waits and its first line, and "Cancel" for the chosen
// one; above them one line that tells what last became of a waiting message (sent, delivered,
// dropped after seven days). Hidden while there is nothing to show.

#include <QByteArray>
#include <QDateTime>
#include <QWidget>

class QLabel;
class QListWidget;
class QPushButton;

namespace velmora {

class Core;

class OutboxPanel : public QWidget {
    Q_OBJECT
public:
    explicit OutboxPanel(Core& core, QWidget* parent = nullptr);

    // Says `text` on the notice line (plain text).
    void setNotice(const QString& text);
    // Cancels the message chosen in the list.
    void onCancelClicked();

private:
    // Makes the controls when they are `needed` at last; whether they exist.
    bool build(bool needed);
    void showWaiting();
    // " at h:nn AM on Mon" in the chosen clock format.
    QString at(const QDateTime& moment) const;

    Core& core_;
    QLabel* notice_ = nullptr;
    QListWidget* list_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
};

} // namespace velmora
