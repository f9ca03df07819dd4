#include "gui/messaging/DiscussPage.h"

#include "core/Core.h"
#include "core/net/AnsiText.h"
#include "core/net/Datagram.h"
#include "core/net/TimeStamp.h"
#include "gui/controls/WidgetKit.h"
#include "gui/window/PageHost.h"

#include <QEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>
#include <QVBoxLayout>

namespace velmora {

DiscussPage::DiscussPage(Core& core, PageHost& host, std::function<QByteArray()> displayName,
                         QWidget* parent)
    : BuiltWhenShown(parent), core_(core), host_(host), displayName_(std::move(displayName)) {
    setObjectName(latin1("discussPage"));
    connect(&core_, &Core::discussionDatagramArrived, this, &DiscussPage::discussionArrived);
}

void DiscussPage::build() {
    auto* outer = columnLayout(this);
    auto* group = new QGroupBox(latin1("Virtual Group Discussion"));
    outer->addWidget(group);
    auto* l = columnLayout(group);
    board_ = named(new QPlainTextEdit, "discussionBoard");
    board_->setReadOnly(true);
    board_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    l->addWidget(board_, 1);
    auto* row = rowLayout();
    entryBox_ = named(new QLineEdit, "discussionEntry");
    entryBox_->setPlaceholderText(latin1("Enter your text here and click on the submit button."));
    // The entry takes what the button leaves, so that the button keeps its whole width.
    row->addWidget(entryBox_, 1);
    QPushButton* submit = pushButton("submitButton", "Submit");
    row->addWidget(submit);
    l->addLayout(row);

    connect(submit, &QPushButton::clicked, this, &DiscussPage::onSubmitClicked);
    // Enter in the entry box submits, as the button does.
    connect(entryBox_, &QLineEdit::returnPressed, this, &DiscussPage::onSubmitClicked);
    board_->installEventFilter(this);
    for (const QString& line : std::as_const(earlyLines_))
        addToBoard(line);
    earlyLines_.clear();
}

void DiscussPage::onSubmitClicked() {
    const QByteArray text = toAnsi(entryBox_->text());
    if (text.isEmpty()) return; // blanks are a text like any other
    const Options& options = core_.options();
    const QByteArray time =
        options.stampChanges
            ? formatShortTimeStamp(core_.now(), core_.config().locale, options.use24HourClock)
            : QByteArray();
    // A refused text stays in the box so that it can be sent again.
    if (!host_.reportSend(
            core_.sendDatagram(datagram::discussionEntry(displayName_(), text, time))))
        return;
    entryBox_->clear();
    entryBox_->setFocus();
}

void DiscussPage::discussionArrived(const QByteArray& text) {
    if (!core_.options().discussionHidden) {
        // One arrival is one line: line breaks inside another copy's text become blanks, so
        // that the board's length stays what the line count says.
        QString line = fromAnsi(text.mid(1));
        line.replace(QLatin1Char('\r'), QLatin1Char(' '))
            .replace(QLatin1Char('\n'), QLatin1Char(' '));
        line.replace(QChar::LineSeparator, QLatin1Char(' '))
            .replace(QChar::ParagraphSeparator, QLatin1Char(' '));
        if (board_) {
            addToBoard(line);
        } else {
            earlyLines_.append(line);
            if (earlyLines_.size() > kBoardLines) earlyLines_.removeFirst();
        }
        Q_EMIT lineAdded();
    }
}

void DiscussPage::addToBoard(const QString& line) {
    board_->appendPlainText(line);
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
