#pragma once
// The Discuss page: the office's shared board. A submitted line is broadcast and shows up on
// every copy's board when it arrives, this copy's included; the board keeps the last 99
// lines received since the program started. Its controls are made when it is first shown;
// the lines that came before wait for the board.

#include "gui/controls/BuiltWhenShown.h"

#include <QByteArray>
#include <QStringList>
#include <functional>

class QLineEdit;
class QPlainTextEdit;

namespace velmora {

class Core;
class PageHost;

class DiscussPage : public BuiltWhenShown {
    Q_OBJECT
public:
    static constexpr int kBoardLines = 99;

    // `displayName` gives the name a line is signed with: the name box as it stands.
    DiscussPage(Core& core, PageHost& host, std::function<QByteArray()> displayName,
                QWidget* parent = nullptr);

    void onSubmitClicked();
    // A discussion entry datagram ("d" + name + " > " + text + time) as it arrived.
    void discussionArrived(const QByteArray& text);

Q_SIGNALS:
    // A line was added to the board.
    void lineAdded();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void build() override;
    void addToBoard(const QString& line);

    Core& core_;
    PageHost& host_;
    std::function<QByteArray()> displayName_;
    QPlainTextEdit* board_ = nullptr;
    QLineEdit* entryBox_ = nullptr;
    QStringList earlyLines_; // arrived before the board was made, the last kBoardLines
};

} // namespace velmora
