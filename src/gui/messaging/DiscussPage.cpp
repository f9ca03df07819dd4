#include "gui/messaging/DiscussPage.h"

#include "core/net/AnsiText.h"
#include "core/net/Datagram.h"
#include "core/net/UdpTransport.h"
#include "gui/window/MainWindow.h"

#include <QEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>

namespace velmora {

namespace {

QString Q(const char* text) {
    return QString::fromLatin1(text);
}

} // namespace

DiscussPage::DiscussPage(MainWindow& form)
    : QObject(&form), form_(form), core_(form.core()),
      board_(form.control<QPlainTextEdit>("discussionBoard")),
      entryBox_(form.control<QLineEdit>("discussionEntry")),
      nameBox_(form.control<QLineEdit>("nameBox")) {
    connect(form.control<QPushButton>("submitButton"), &QPushButton::clicked, this,
            &DiscussPage::onSubmitClicked);
    // Enter in the entry box submits, as the button does.
    connect(entryBox_, &QLineEdit::returnPressed, this, &DiscussPage::onSubmitClicked);
    connect(&core_, &Core::discussionDatagramArrived, this, &DiscussPage::discussionArrived);
    board_->installEventFilter(this);
}

void DiscussPage::onSubmitClicked() {
    const QByteArray text = toAnsi(entryBox_->text());
    if (text.isEmpty()) return; // blanks are a text like any other
    const Options& options = core_.options();
    const QByteArray time =
        options.stampChanges
            ? formatShortTimeStamp(core_.now(), core_.config().locale, options.clock24)
            : QByteArray();
    try {
        core_.sendDatagram(datagram::discussionEntry(toAnsi(nameBox_->text()), text, time));
    } catch (const UdpError& e) {
        // The text stays in the box so that it can be sent again.
        QMessageBox::critical(&form_, form_.windowTitle(), Q(e.what()));
        return;
    }
    entryBox_->clear();
    entryBox_->setFocus();
}

void DiscussPage::discussionArrived(const QByteArray& text) {
    if (!core_.options().discuss) {
        // One arrival is one line: line breaks inside another copy's text become blanks, so
        // that the board's length stays what the line count says.
        QString line = fromAnsi(text.mid(1));
        line.replace(QLatin1Char('\r'), QLatin1Char(' '))
            .replace(QLatin1Char('\n'), QLatin1Char(' '));
        line.replace(QChar::LineSeparator, QLatin1Char(' '))
            .replace(QChar::ParagraphSeparator, QLatin1Char(' '));
        board_->appendPlainText(line);
    }
    if (board_->document()->blockCount() > kBoardLines) {
        QTextCursor first(board_->document());
        first.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor);
        first.removeSelectedText();
    }
}

bool DiscussPage::eventFilter(QObject* watched, QEvent* event) {
    // The board is for reading: whoever lands on it can type into the entry box at once.
    if (watched == board_ && event->type() == QEvent::FocusIn) entryBox_->setFocus();
    return QObject::eventFilter(watched, event);
}

} // namespace velmora
