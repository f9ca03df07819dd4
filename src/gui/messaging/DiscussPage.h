#pragma once
// The Discuss page: the office's shared board. A submitted line is broadcast and shows up on
// every copy's board when it arrives, this copy's included; the board keeps the last 99
// lines received since the program started.

#include <QByteArray>
#include <QObject>

class QLineEdit;
class QPlainTextEdit;

namespace velmora {

class MainWindow;
class Core;

class DiscussPage : public QObject {
    Q_OBJECT
public:
    static constexpr int kBoardLines = 99;

    // Finds the page's controls in `form` by their names and connects them.
    explicit DiscussPage(MainWindow& form);

    void onSubmitClicked(); // Submit
    // A discussion entry datagram ("d" + name + " > " + text + time) as it arrived.
    void discussionArrived(const QByteArray& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    MainWindow& form_;
    Core& core_;
    QPlainTextEdit* board_;
    QLineEdit* entryBox_;
    QLineEdit* nameBox_;
};

} // namespace velmora
