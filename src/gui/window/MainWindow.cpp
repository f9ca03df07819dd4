#include "gui/window/MainWindow.h"

#include "core/net/AnsiText.h"
#include "core/presence/StatusSort.h"
#include "gui/board/ChangeStatusPage.h"
#include "gui/board/RemarkEditor.h"
#include "gui/board/StatusListView.h"
#include "gui/controls/TrayIcon.h"
#include "gui/controls/WidgetKit.h"
#include "gui/desktop/DesktopInput.h"
#include "gui/messaging/ComposePage.h"
#include "gui/messaging/DiscussPage.h"
#include "gui/messaging/MessagesPage.h"
#include "gui/window/HelpPage.h"
#include "gui/window/MessageAlerts.h"
#include "gui/window/OptionsPage.h"
#include "gui/window/TabbedPages.h"
#include "gui/window/TakeoverAlert.h"
#include "gui/window/WindowEventFilter.h"
#include "gui/window/WindowMenus.h"
#include "gui/window/WindowSizing.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QCursor>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace velmora {

// ---------------------------------------------------------------------------------------------
// Construction

MainWindow::MainWindow(CoreConfig config, const Clock& clock, QWidget* parent)
    : QWidget(parent), config_(std::move(config)) {
    setObjectName(latin1("mainWindow"));
    config_.designedWidth = kDesignedWidth;
    config_.designedHeight = kDesignedHeight;
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        config_.screenLargeHeight = screen->availableGeometry().height() - 3 * 22;
    input_ = std::make_unique<DesktopInput>();
    config_.input = input_.get();
    core_ = std::make_unique<Core>(config_, clock);

    setWindowTitle(latin1(kProgramTitle));
    // The window is laid out for a narrow 8-point sans serif; Arial, or what the desktop
    // substitutes for it, keeps every caption inside the designed size.
    QFont font(latin1("Arial"), 8);
    font.setFamilies({latin1("Arial"), latin1("Liberation Sans"), latin1("Nimbus Sans")});
    font.setStyleHint(QFont::SansSerif);
    setFont(font);

    pictures_.in = picture("in");
    pictures_.busy = picture("busy");
    pictures_.out = picture("out");
    pictures_.remark = picture("remark");
    for (const char* size : {"velmora-16", "velmora-32", "velmora-48", "velmora-64", "velmora-128"})
        addPicture(appPicture_, size);

    pages_ = named(new TabbedPages(this), "pages");
    pages_->tabBar()->setFont(font); // the tabs are measured in it
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(pages_);

    makeInFont(font, [this] { buildPages(); });
    sizing_ = std::make_unique<WindowSizing>(*this, core_->options(),
                                             QSize(kDesignedWidth, kDesignedHeight));

    auto* corner = new QWidget;
    auto* buttons = rowLayout(2);
    corner->setLayout(buttons);
    for (auto [name, caption, handler] :
         {std::tuple{"inButton", "&In", &StatusPage::onInClicked},
          std::tuple{"busyButton", "&Busy", &StatusPage::onBusyClicked},
          std::tuple{"outButton", "&Out", &StatusPage::onOutClicked}}) {
        QPushButton* b = pushButton(name, caption);
        b->setFixedSize(38, 19);
        b->setFocusPolicy(Qt::NoFocus); // skipped by the Tab key
        buttons->addWidget(b);
        connect(b, &QPushButton::clicked, statusPage_, handler);
    }
    pages_->setCornerWidget(corner);

    menus_ = std::make_unique<WindowMenus>(this);
    // Without a notification area the tray menu, and with it the way out, would be out of
    // reach: the window then offers the same menu at the end of the tab row.
    if (!QSystemTrayIcon::isSystemTrayAvailable()) buttons->addWidget(menus_->windowMenuButton());
    trayIcon_ = new TrayIcon(this);
    trayIcon_->setObjectName(latin1("trayIcon"));
    trayIcon_->setHint(latin1(kProgramTitle));
    trayIcon_->setPopupMenu(menus_->trayMenu);
    trayIcon_->onLeftClick = [this](TrayIcon*) { onTrayIconClicked(); };
    alerts_ = new MessageAlerts(*this);
    takeoverAlert_ = new TakeoverAlert(*this);

    menus_->connectTo(*this, *core_, *statusPage_, *changePage_);
    connect(composePage_, &ComposePage::sendMessageAllowed, menus_->sendMessageAction,
            &QAction::setEnabled);
    connect(pages_, &TabbedPages::currentPageChanged, this, &MainWindow::onPageChanged);
    connect(pages_, &TabbedPages::currentPageChanging, this, [this](QWidget* from) {
        if (from == statusPage_) statusPage_->onPageLeft();
    });
    connectCore();
    eventFilter_ = std::make_unique<WindowEventFilter>(*this);
}

MainWindow::~MainWindow() {
    eventFilter_.reset();
    shutDown();
    // The pages hold the core; they go before it, while the window is still whole.
    delete pages_;
    pages_ = nullptr;
}

void MainWindow::buildPages() {
    // Built with the window as their parent, the pages lay out in the window's font.
    statusPage_ = new StatusPage(*core_, *this, pictures_, this);
    messagesPage_ = new MessagesPage(*core_, *this, this);
    composePage_ = new ComposePage(*core_, *this, this);
    optionsPage_ = new OptionsPage(*core_, *this, statusPage_->statusList(), this);
    discussPage_ = new DiscussPage(
        *core_, *this, [this] { return toAnsi(optionsPage_->nameText()); }, this);
    changePage_ = new ChangeStatusPage(*core_, *this, this);
    remarkEditor_ = new RemarkEditor(*core_, *this, *changePage_, this);
    helpPage_ = new HelpPage(*this, *core_, this);
    pages_->addPage(statusPage_, latin1("Status"));
    pages_->addPage(messagesPage_, latin1("Messages"));
    pages_->addPage(composePage_, latin1("Compose"));
    pages_->addPage(discussPage_, latin1("Discuss"));
    pages_->addPage(optionsPage_, latin1("Options"));
    pages_->addPage(changePage_, QString(), false);
    pages_->addPage(remarkEditor_, QString(), false);
    pages_->addPage(helpPage_, latin1("Help"));

    connect(statusPage_, &StatusPage::recipientChosen, this,
            [this](const QByteArray& address, const QByteArray& name, bool offLine) {
                composePage_->selectRecipient(address, name, offLine, false);
            });
    connect(statusPage_, &StatusPage::changeStatusChosen, this,
            [this](const QByteArray& address, const QByteArray& name) {
                changePage_->prepare(address, name);
                showPage(PageId::ChangeStatus);
            });
    connect(statusPage_, &StatusPage::personMenuRequested, this,
            &MainWindow::onPersonMenuRequested);
    connect(messagesPage_, &MessagesPage::replyRequested, composePage_, &ComposePage::startReply);
    connect(composePage_, &ComposePage::entered, this,
            [this] { optionsPage_->setNameEdited(false); });
    connect(optionsPage_, &OptionsPage::displayNameCommitted, this, [this] {
        menus_->nameAction->setText(menuText(core_->own().displayName));
        saveAllSettings();
    });
    connect(optionsPage_, &OptionsPage::heightChanged, this, &MainWindow::onHeightChanged);
    connect(optionsPage_, &OptionsPage::remarkEditorRequested, remarkEditor_, &RemarkEditor::open);
}

void MainWindow::connectCore() {
    Core* core = core_.get();
    connect(core, &Core::savingSettings, this, &MainWindow::controlsToOptions);
    connect(core, &Core::settingsProblem, this, [this](const QString& message) {
        // Not modal: saves happen inside other actions and at the very end.
        auto* box =
            new QMessageBox(QMessageBox::Warning, windowTitle(), message, QMessageBox::Ok, this);
        box->setTextFormat(Qt::PlainText);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
    });
    connect(core, &Core::bringIntoViewRequested, this, &MainWindow::bringIntoView);
    connect(core, &Core::windowTitleChanged, this,
            [this](const QByteArray& title) { setWindowTitle(fromAnsi(title)); });
    connect(&core->presence(), &Presence::ownStatusAnnounced, this,
            [this](StatusCode, const QByteArray& text) {
                menus_->statusAction->setText(menuText(text));
            });
    // Nothing leaves the computer: said once, in the tray's tooltip and under the list, until a
    // datagram goes out again.
    connect(core, &Core::connectionLost, this, [this](const QString& reason) {
        statusPage_->showConnectionProblem(reason);
        alerts_->setConnectionProblem(reason);
    });
    connect(core, &Core::connectionRestored, this, [this] {
        statusPage_->showConnectionProblem({});
        alerts_->setConnectionProblem({});
    });
    connect(core, &Core::ownStatusTakenOver, this, [this](const QByteArray& status) {
        trayIcon_->setIcon(appPicture_);
        menus_->statusAction->setText(menuText(status));
    });
}

QWidget* MainWindow::page(const char* name) const {
    return findChild<QWidget*>(latin1(name));
}

StatusListView& MainWindow::statusList() {
    return statusPage_->statusList();
}

// ---------------------------------------------------------------------------------------------
// Start-up and shutdown

void MainWindow::startUp() {
    // Without a notification area the window is an ordinary one with a taskbar entry, so
    // that it can always be reached; with one, it stays out of the taskbar.
    if (QSystemTrayIcon::isSystemTrayAvailable()) setWindowFlag(Qt::Tool, true);
    sizing_->restore(kDesignedWidth, config_.screenLargeHeight);
    rememberedPicture_ = pictures_.in;
    trayIcon_->setIcon(pictures_.in);

    if (!changePage_->hasRemarkItems()) {
        QStringList remarks;
        for (int i = 0; i < statusPage_->remarkBox().count(); ++i)
            remarks.append(statusPage_->remarkBox().itemText(i));
        changePage_->setRemarkItems(remarks);
    }

    core_->startUp();    // settings, roster, receiver
    optionsToControls(); // the name box shows the display name read from the settings
    menus_->nameAction->setText(menuText(core_->own().displayName));
    menus_->statusAction->setText(menuText(core_->own().text));
    created_ = true;
    QTimer::singleShot(0, this, &MainWindow::finishStartUp);
}

void MainWindow::optionsToControls() {
    const Options o = core_->options(); // the check boxes write back as they change
    optionsPage_->showOptions(o);
    setTabShown(PageId::Messages, !o.messagingHidden);
    setTabShown(PageId::Compose, !o.messagingHidden);
    showPage(PageId::Status);
    sizing_->restore(o.rememberedWidth > 0 ? o.rememberedWidth : kDesignedWidth,
                     o.largeHeight > kDesignedHeight ? o.largeHeight : config_.screenLargeHeight);
    sizing_->prepareFrame();
    move(o.windowLeft, o.windowTop);
    onPageChanged();
}

void MainWindow::controlsToOptions() {
    optionsPage_->storeOptions();
    core_->changeOptions([this](Options& o) {
        o.windowTop = y();
        o.windowLeft = x();
        o.rememberedWidth = sizing_->rememberedWidth();
        o.largeHeight = sizing_->heightToSave();
    });
    // Remarks typed into the editor count even when the program ends before the field is left.
    if (isCurrentPage(PageId::RemarkEditor)) remarkEditor_->applyText();
}

void MainWindow::saveAllSettings() {
    core_->saveAllSettings(); // the window's part comes through savingSettings
}

void MainWindow::finishStartUp() {
    // Hidden at start only where the tray can bring it back.
    setVisible(core_->options().showOnStartup || !QSystemTrayIcon::isSystemTrayAvailable());
    QCoreApplication::processEvents();
    // The window manager takes the icon at every size it has, each a picture to decode, and the
    // notification area's icon asks the session bus: both come once the window is up.
    setWindowIcon(appPicture_);
    trayIcon_->setEnabled(true);
    showPage(PageId::Status);

    core_->finishStartUp();
    setRemarkList(core_->remarks());
    statusPage_->remarkBox().setEditText(fromAnsi(core_->own().text));
    setTabShown(PageId::Discuss, !core_->options().discussionHidden);
    showPage(PageId::Status);
}

void MainWindow::shutDown() {
    // A copy that never came up (its port was taken) has nothing to announce or save.
    if (destroyed_ || !created_) return;
    destroyed_ = true;
    core_->shutDown();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (core_->closing()) {
        event->accept();
        return;
    }
    // The close box keeps the program running: save, then put the window away.
    saveAllSettings();
    event->ignore();
    if (QSystemTrayIcon::isSystemTrayAvailable())
        hide();
    else
        showMinimized();
}

void MainWindow::onExitChosen() {
    core_->setClosing();
    QCoreApplication::processEvents();
    saveAllSettings();
    hide();
    Q_EMIT exitRequested();
    QCoreApplication::quit();
}

void MainWindow::onExitAsOutChosen() {
    statusPage_->onOutClicked();
    onExitChosen();
}

void MainWindow::logOff() {
    controlsToOptions();
    core_->logOff();
    hide();
    QCoreApplication::quit();
}

// ---------------------------------------------------------------------------------------------
// Pages and sizes

void MainWindow::showPage(QWidget* page) {
    if (pages_->currentPage() == page)
        onPageChanged();
    else
        pages_->setCurrentPage(page);
}

void MainWindow::onPageChanged() {
    composePage_->clearLime();
    if (isCurrentPage(PageId::Compose)) composePage_->focusComposeBox();
    trayIcon_->setIcon(rememberedPicture_);
    sizing_->fit(isCurrentPage(PageId::Status));
}

void MainWindow::onHeightChanged() {
    sizing_->onHeightChanged();
    onPageChanged();
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    sizing_->onResized();
}

void MainWindow::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && !dialogOpen_)
        onActivated();
}

void MainWindow::onActivated() {
    statusPage_->statusList().applyFontSize(core_->options().fontPointSize);
    // When the program itself brought the window forward (a message arrived, say), the page
    // it chose stays; so it does when the window manager hands the activation back after one
    // of the program's dialogs. Only the user's own activation returns to the Status page.
    const bool ownRequest = broughtForward_.isValid() && broughtForward_.elapsed() < 2000;
    const bool afterDialog = dialogClosed_.isValid() && dialogClosed_.elapsed() < 2000;
    broughtForward_.invalidate();
    dialogClosed_.invalidate();
    if (!ownRequest && !afterDialog) showPage(PageId::Status);
}

void MainWindow::bringIntoView() {
    show();
    if (dialogOpen_) return;
    if (!isActiveWindow()) {
        broughtForward_.start();
        if (isMinimized()) showNormal();
        raise();
        activateWindow();
    }
    // A nudge of the pointer makes some desktops hand over the focus; it moves back at once.
    if (QGuiApplication::platformName() == latin1("xcb")) {
        const QPoint at = QCursor::pos();
        QCursor::setPos(at + QPoint(1, 0));
        QCoreApplication::processEvents();
        QCursor::setPos(at);
        QCoreApplication::processEvents();
        input_->pointerNudged();
    }
}

void MainWindow::onTrayIconClicked() {
    if (dialogOpen_) return;
    if (isVisible() && isActiveWindow()) {
        hide();
        return;
    }
    if (!isCurrentPage(PageId::Messages)) showPage(PageId::Status);
    bringIntoView();
}

void MainWindow::onPersonMenuRequested(const QByteArray& address, const QByteArray& name,
                                       bool offLine, const QPoint& globalPos) {
    composePage_->selectRecipient(address, name, offLine, true);
    QCoreApplication::processEvents();
    changePage_->prepare(address, name);
    menus_->personNameAction->setText(menuText(name));
    menus_->personMenu->popup(globalPos);
}

} // namespace velmora
