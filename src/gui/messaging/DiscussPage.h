#pragma once
// The Discuss page: the office's shared board. A submitted line is broadcast and shows up on
// every copy's board when it arrives, this copy's included; the board keeps the last 99
// lines received since the program started.

#include <QByteArray>
#include <QObject>

class QLineEdit;
class QPlainTextEdit;

namespace velmora {

class TForm1;
class TVelmoraCore;

class TDiscussPage : public QObject {
    Q_OBJECT
public:
    static constexpr int kBoardLines = 99;

    // Finds the page's controls in `form` by their names and connects them.
    explicit TDiscussPage(TForm1& form);

    void BitBtn4Click(); // Submit
    // A discussion entry datagram ("d" + name + " > " + text + time) as it arrived.
    void DiscussionArrived(const QByteArray& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TForm1& form_;
    TVelmoraCore& core_;
    QPlainTextEdit* blog_;
    QLineEdit* discussOut_;
    QLineEdit* realName1_;
};

} // namespace velmora
