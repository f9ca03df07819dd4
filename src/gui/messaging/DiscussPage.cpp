#include "gui/messaging/DiscussPage.h"

#include "core/net/AnsiText.h"
#include "core/net/UdpTransport.h"
#include "core/net/Datagram.h"
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

TDiscussPage::TDiscussPage(TForm1& form)
    : QObject(&form), form_(form), core_(form.Core()), blog_(form.Control<QPlainTextEdit>("blog")),
      discussOut_(form.Control<QLineEdit>("discussOut")),
      realName1_(form.Control<QLineEdit>("realName1")) {
    connect(form.Control<QPushButton>("BitBtn4"), &QPushButton::clicked, this,
            &TDiscussPage::BitBtn4Click);
    // Enter in the entry box submits, as the button does.
    connect(discussOut_, &QLineEdit::returnPressed, this, &TDiscussPage::BitBtn4Click);
    connect(&core_, &TVelmoraCore::discussionDatagramArrived, this,
            &TDiscussPage::DiscussionArrived);
    blog_->installEventFilter(this);
}

void TDiscussPage::BitBtn4Click() {
    const QByteArray text = ToAnsi(discussOut_->text());
    if (text.isEmpty()) return; // blanks are a text like any other
    const TOptions& options = core_.Options();
    const QByteArray time =
        options.ShwTime ? FormatShortTimeStamp(core_.Now(), core_.Config().locale, options.clock24)
                        : QByteArray();
    try {
        core_.SendDatagram(datagram::DiscussionEntry(ToAnsi(realName1_->text()), text, time));
    } catch (const EUDPError& e) {
        // The text stays in the box so that it can be sent again.
        QMessageBox::critical(&form_, form_.windowTitle(), Q(e.what()));
        return;
    }
    discussOut_->clear();
    discussOut_->setFocus();
}

void TDiscussPage::DiscussionArrived(const QByteArray& text) {
    if (!core_.Options().discuss) {
        // One arrival is one line: line breaks inside another copy's text become blanks, so
        // that the board's length stays what the line count says.
        QString line = FromAnsi(text.mid(1));
        line.replace(QLatin1Char('\r'), QLatin1Char(' '))
            .replace(QLatin1Char('\n'), QLatin1Char(' '));
        line.replace(QChar::LineSeparator, QLatin1Char(' '))
            .replace(QChar::ParagraphSeparator, QLatin1Char(' '));
        blog_->appendPlainText(line);
    }
    if (blog_->document()->blockCount() > kBoardLines) {
        QTextCursor first(blog_->document());
        first.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor);
        first.removeSelectedText();
    }
}

bool TDiscussPage::eventFilter(QObject* watched, QEvent* event) {
    // The board is for reading: whoever lands on it can type into the entry box at once.
    if (watched == blog_ && event->type() == QEvent::FocusIn) discussOut_->setFocus();
    return QObject::eventFilter(watched, event);
}

} // namespace velmora
