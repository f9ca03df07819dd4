#include "gui/window/MessageAlerts.h"

#include "core/net/AnsiText.h"
#include "gui/controls/TrayIcon.h"
#include "gui/desktop/DesktopNotifications.h"
#include "gui/messaging/ComposePage.h"
#include "gui/messaging/DiscussPage.h"
#include "gui/messaging/MessagesPage.h"
#include "gui/window/MainWindow.h"
#include "gui/window/TabbedPages.h"

#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QLineEdit>
#include <QTimer>

namespace velmora {

namespace {

// The first line of an entry, which is the message's first line.
QString firstLine(const QByteArray& entry) {
    const qsizetype end = entry.indexOf("\r\n");
    return fromAnsi(end < 0 ? entry : entry.left(end));
}

// "1 new message", "2 new lines": what a count of unread things says.
QString counted(int count, const char* thing) {
    return QStringLiteral("%1 new %2%3")
        .arg(count)
        .arg(QLatin1String(thing))
        .arg(count == 1 ? QString() : QStringLiteral("s"));
}

// Whether the user is typing into one of the window's one-line fields (the discussion entry, the
// remark box, a box of the Options page): text they changed and have not yet sent or confirmed.
bool typingInAField(const QWidget& window) {
    QWidget* focus = QApplication::focusWidget();
    auto* field = qobject_cast<QLineEdit*>(focus);
    if (auto* box = qobject_cast<QComboBox*>(focus)) field = box->lineEdit();
    return field && field->window() == &window && !field->isReadOnly() && field->isModified() &&
           !field->text().isEmpty();
}

} // namespace

MessageAlerts::MessageAlerts(MainWindow& window, const QDBusConnection& bus)
    : QObject(&window), window_(window) {
    useBus(bus);
    // Connected after the Messages page, so that a message has been brought into view first.
    connect(&window.core().history(), &MessageHistory::messageAccepted, this,
            &MessageAlerts::messageAccepted);
    const Outbox& outbox = window.core().outbox();
    connect(&outbox, &Outbox::delivered, this, [this](const QByteArray& name) {
        outboxNews(QStringLiteral("Delivered to ") + fromAnsi(name));
    });
    connect(&outbox, &Outbox::expired, this, [this](const QByteArray& name) {
        outboxNews(QStringLiteral("Not sent to ") + fromAnsi(name) +
                   QStringLiteral(": not back within 7 days"));
    });
    connect(&window.discussPage(), &DiscussPage::lineAdded, this, &MessageAlerts::lineAdded);
    connect(&window.pages(), &TabbedPages::currentPageChanged, this, &MessageAlerts::checkSeen);
    window.messagesPage().setUserWriting(
        [&window] { return window.composePage().holdsDraft() || typingInAField(window); });
    window.installEventFilter(this);
}

MessageAlerts::~MessageAlerts() = default;

void MessageAlerts::useBus(const QDBusConnection& bus) {
    notifications_ = std::make_unique<DesktopNotifications>(bus);
    connect(notifications_.get(), &DesktopNotifications::showChosen, this,
            [this](const QByteArray& entry) { openMessage(entry, false); });
    connect(notifications_.get(), &DesktopNotifications::replyChosen, this,
            [this](const QByteArray& entry) { openMessage(entry, true); });
}

QString MessageAlerts::hint(int unread, const QString& problem) {
    QString text = QStringLiteral("Dazuviz Velmora");
    if (unread > 0) text += QStringLiteral(" \u2014 ") + counted(unread, "message");
    if (!problem.isEmpty()) text += QStringLiteral(" - Not connected: ") + problem;
    return text;
}

void MessageAlerts::setConnectionProblem(const QString& reason) {
    problem_ = reason;
    showUnread();
}

void MessageAlerts::showUnread() {
    window_.trayIcon().setHint(hint(unread_, problem_));
    TabbedPages& pages = window_.pages();
    pages.setTabMark(&window_.messagesPage(),
                     unread_ > 0 ? counted(unread_, "message") : QString());
    pages.setTabMark(&window_.discussPage(),
                     unreadLines_ > 0 ? counted(unreadLines_, "line") : QString());
}

bool MessageAlerts::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ActivationChange || event->type() == QEvent::Show)
        QTimer::singleShot(0, this, &MessageAlerts::checkSeen); // once the window has its page
    return QObject::eventFilter(watched, event);
}

bool MessageAlerts::seen(PageId page) const {
    return window_.isVisible() && window_.isActiveWindow() && window_.isCurrentPage(page);
}

void MessageAlerts::checkSeen() {
    const bool messages = unread_ > 0 && seen(PageId::Messages);
    const bool lines = unreadLines_ > 0 && seen(PageId::Discuss);
    if (messages) unread_ = 0;
    if (lines) unreadLines_ = 0;
    if (messages || lines) showUnread();
}

void MessageAlerts::lineAdded() {
    if (seen(PageId::Discuss)) return;
    ++unreadLines_;
    showUnread();
}

void MessageAlerts::messageAccepted(const QByteArray& source, const QByteArray& entry) {
    // The program's own message to all comes back to it; it is nothing new to its user.
    if (sameAddress(source, window_.core().own().address)) return;
    ++unread_;
    showUnread();
    checkSeen(); // shown in front of the user already
    if (pending_ == kMostPending) return;
    ++pending_;
    QTimer::singleShot(kSettleMs, this, [this, entry] {
        --pending_;
        settled(entry);
    });
}

void MessageAlerts::settled(const QByteArray& entry) {
    checkSeen();
    if (window_.isActiveWindow() || !window_.core().options().notifyDesktop) return;
    const std::optional<ReplyTarget> from = entryReplyTarget(entry);
    const QString sender =
        from && !from->name.isEmpty() ? fromAnsi(from->name) : QStringLiteral("Dazuviz Velmora");
    notifications_->notify(sender, firstLine(entry), entry);
}

void MessageAlerts::outboxNews(const QString& summary) {
    if (window_.isActiveWindow() || !window_.core().options().notifyDesktop) return;
    notifications_->notify(summary, QString(), QByteArray(),
                           {QStringLiteral("show"), QStringLiteral("Show")});
}

void MessageAlerts::openMessage(const QByteArray& entry, bool reply) {
    // The outbox's news is on the Compose page.
    if (entry.isEmpty()) {
        window_.showPage(PageId::Compose);
        window_.bringIntoView();
        return;
    }
    MessagesPage& page = window_.messagesPage();
    window_.showPage(PageId::Messages);
    // A reply goes only to the message it was offered for, never to another one shown instead.
    if (page.showEntry(entry) && reply) page.onReplyClicked();
    window_.bringIntoView();
}

} // namespace velmora
