#include "gui/messaging/OutboxPanel.h"

#include "core/Core.h"
#include "core/net/AnsiText.h"
#include "gui/controls/WidgetKit.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace velmora {

namespace {
// Rows the list shows before it scrolls: the compose box keeps most of the page.
constexpr int kRowsShown = 3;
} // namespace

OutboxPanel::OutboxPanel(Core& core, QWidget* parent) : QWidget(parent), core_(core) {
    setObjectName(latin1("outboxPanel"));
    Outbox& outbox = core_.outbox();
    connect(&outbox, &Outbox::changed, this, &OutboxPanel::showWaiting);
    connect(&outbox, &Outbox::sent, this, [this](const QByteArray& name, const QDateTime& when) {
        setNotice(latin1("Sent to ") + fromAnsi(name) + at(when) + latin1("."));
    });
    connect(&outbox, &Outbox::delivered, this,
            [this](const QByteArray& name, const QDateTime& when) {
                setNotice(latin1("Delivered to ") + fromAnsi(name) + at(when) + latin1("."));
            });
    connect(&outbox, &Outbox::expired, this, [this](const QByteArray& name) {
        setNotice(latin1("Not sent: ") + fromAnsi(name) +
                  latin1(" was not back within 7 days, and the message was dropped."));
    });
    showWaiting();
}

bool OutboxPanel::build(bool needed) {
    // Most never use the outbox: its controls are made when it first has something to show.
    if (notice_ || !needed) return notice_;
    auto* column = columnLayout(this, 0);
    notice_ = named(new QLabel, "outboxNotice");
    notice_->setTextFormat(Qt::PlainText); // a name from the network is shown as it is
    column->addWidget(notice_);
    auto* row = rowLayout();
    list_ = named(new QListWidget, "outboxList");
    list_->setAccessibleName(latin1("Waiting until the person is back"));
    list_->setFixedHeight(list_->fontMetrics().height() * kRowsShown + 2 * list_->frameWidth() + 4);
    row->addWidget(list_, 1);
    cancelButton_ = pushButton("cancelWaitingButton", "Cancel");
    cancelButton_->setToolTip(latin1("The chosen message is not sent"));
    row->addWidget(cancelButton_, 0, Qt::AlignTop);
    column->addLayout(row);

    connect(cancelButton_, &QPushButton::clicked, this, &OutboxPanel::onCancelClicked);
    connect(list_, &QListWidget::currentRowChanged, this,
            [this](int current) { cancelButton_->setEnabled(current >= 0); });
    return true;
}

QString OutboxPanel::at(const QDateTime& moment) const {
    return fromAnsi(
               arrivalLine(moment, core_.config().locale, core_.options().use24HourClock).trimmed())
        .prepend(QLatin1Char(' '));
}

void OutboxPanel::setNotice(const QString& text) {
    if (!build(!text.isEmpty())) {
        setVisible(false);
        return;
    }
    notice_->setText(text);
    notice_->setVisible(!text.isEmpty());
    setVisible(!text.isEmpty() || list_->count() > 0);
}

void OutboxPanel::showWaiting() {
    const QList<WaitingMessage>& waiting = core_.outbox().waiting();
    if (!build(!waiting.isEmpty())) {
        setVisible(false);
        return;
    }
    list_->clear();
    for (const WaitingMessage& m : waiting) {
        const QByteArray firstLine = m.body.left(m.body.indexOf("\r\n"));
        list_->addItem(latin1("To ") + fromAnsi(m.name) + latin1(", waiting since") +
                       at(m.queuedAt.toLocalTime()).mid(3) + latin1(": ") + fromAnsi(firstLine));
    }
    list_->setVisible(!waiting.isEmpty());
    cancelButton_->setVisible(!waiting.isEmpty());
    cancelButton_->setEnabled(list_->currentRow() >= 0);
    setNotice(notice_->text());
}

void OutboxPanel::onCancelClicked() {
    const int row = list_->currentRow();
    if (row < 0) return;
    const QByteArray name = core_.outbox().waiting().value(row).name;
    core_.outbox().cancel(row);
    setNotice(latin1("The message to ") + fromAnsi(name) + latin1(" was cancelled."));
}

} // namespace velmora
