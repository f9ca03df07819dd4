#include "gui/window/WindowMenus.h"

#include "core/Core.h"
#include "core/presence/StatusSort.h"
#include "gui/board/ChangeStatusPage.h"
#include "gui/board/StatusPage.h"
#include "gui/controls/WidgetKit.h"
#include "gui/window/Autostart.h"
#include "gui/window/MainWindow.h"

#include <QAction>
#include <QMenu>
#include <QToolButton>

namespace velmora {

namespace {

QAction* add(QMenu* menu, const char* name, const char* caption) {
    QAction* a = menu->addAction(latin1(caption));
    a->setObjectName(latin1(name));
    return a;
}

} // namespace

WindowMenus::WindowMenus(QWidget* owner) {
    trayMenu = named(new QMenu(owner), "trayMenu");
    titleAction = add(trayMenu, "titleAction", kProgramTitle);
    trayMenu->addSeparator();
    nameAction = add(trayMenu, "nameAction", "Name");
    statusAction = add(trayMenu, "statusAction", "Status");
    trayMenu->addSeparator();
    inAction = add(trayMenu, "inAction", "&In");
    busyAction = add(trayMenu, "busyAction", "&Busy");
    outAction = add(trayMenu, "outAction", "&Out");
    customizeStatusAction = add(trayMenu, "customizeStatusAction", "&Customize Status");
    trayMenu->addSeparator();
    startupAction = add(trayMenu, "startupAction", "Start when I log in");
    startupAction->setCheckable(true);
    startupAction->setChecked(Autostart::isOn());
    refreshStatusListAction = add(trayMenu, "refreshStatusListAction", "Refresh Status list");
    hideOffLineAction = add(trayMenu, "hideOffLineAction", "Hide Off-line Names");
    trayMenu->addSeparator();
    showWindowAction = add(trayMenu, "showWindowAction", "Show Velmora");
    trayMenu->addSeparator();
    exitAsOutAction = add(trayMenu, "exitAsOutAction", "&Set status to Out and exit");
    exitAction = add(trayMenu, "exitAction", "E&xit");

    personMenu = named(new QMenu(owner), "personMenu");
    personNameAction = add(personMenu, "personNameAction", "");
    add(personMenu, "blankAction", "");
    personMenu->addSeparator();
    sendMessageAction = add(personMenu, "sendMessageAction", "&Send Message");
    changeStatusAction = add(personMenu, "changeStatusAction", "&Change Status");
    QAction* information = add(personMenu, "informationAction", "&Information");
    information->setVisible(false);
    information->setEnabled(false);
    personMenu->addSeparator();
    showOnLineAction = add(personMenu, "showOnLineAction", "Show On-line Names");
    refreshAllAction = add(personMenu, "refreshAllAction", "&Refresh All Programs");
    resendStatusAction = add(personMenu, "resendStatusAction", "Re-send My Status");
    personMenu->addSeparator();
    add(personMenu, "closeMenuAction", "&Close");
}

void WindowMenus::connectTo(MainWindow& window, Core& core, StatusPage& statusPage,
                            ChangeStatusPage& changePage) {
    const WindowMenus& m = *this;
    MainWindow* w = &window;
    StatusPage* status = &statusPage;
    QObject::connect(m.titleAction, &QAction::triggered, w, &MainWindow::bringIntoView);
    QObject::connect(m.inAction, &QAction::triggered, status, &StatusPage::onInClicked);
    QObject::connect(m.busyAction, &QAction::triggered, status, &StatusPage::onBusyClicked);
    QObject::connect(m.outAction, &QAction::triggered, status, &StatusPage::onOutClicked);
    QObject::connect(m.customizeStatusAction, &QAction::triggered, status,
                     &StatusPage::onPersonalizeStatusClicked);
    // The roster commands send; a failure is the user's to see, as for the status buttons.
    const auto reporting = [&window, &core](SendResult (Presence::*command)()) {
        return [&window, &core, command] { window.reportSend((core.presence().*command)()); };
    };
    // The entry's file is the choice: read again whenever the menu opens.
    QObject::connect(m.trayMenu, &QMenu::aboutToShow, m.startupAction,
                     [this] { startupAction->setChecked(Autostart::isOn()); });
    QObject::connect(m.startupAction, &QAction::triggered, w, [this, w](bool on) {
        if (const QString problem = Autostart::setOn(on); !problem.isEmpty()) {
            startupAction->setChecked(Autostart::isOn());
            w->showError(problem);
        }
    });
    QObject::connect(m.refreshStatusListAction, &QAction::triggered, w,
                     reporting(&Presence::refreshStatusList));
    QObject::connect(m.hideOffLineAction, &QAction::triggered, w,
                     reporting(&Presence::rosterReset));
    QObject::connect(m.showWindowAction, &QAction::triggered, w, &MainWindow::bringIntoView);
    QObject::connect(m.exitAsOutAction, &QAction::triggered, w, &MainWindow::onExitAsOutChosen);
    QObject::connect(m.exitAction, &QAction::triggered, w, &MainWindow::onExitChosen);

    QObject::connect(m.sendMessageAction, &QAction::triggered, w, [w] {
        if (w->isTabShown(PageId::Compose)) w->showPage(PageId::Compose);
    });
    QObject::connect(m.changeStatusAction, &QAction::triggered, &changePage,
                     &ChangeStatusPage::openInClassColours);
    QObject::connect(m.showOnLineAction, &QAction::triggered, w, reporting(&Presence::rosterReset));
    QObject::connect(m.refreshAllAction, &QAction::triggered, w,
                     reporting(&Presence::refreshStatusList));
    QObject::connect(m.resendStatusAction, &QAction::triggered, w,
                     reporting(&Presence::resendMyStatus));
}

QToolButton* WindowMenus::windowMenuButton() {
    // The tray menu behind a small button, for a desktop without a notification area.
    auto* button = named(new QToolButton, "windowMenuButton");
    button->setText(QStringLiteral("\u2630"));
    button->setToolTip(latin1("Menu"));
    button->setAccessibleName(latin1("Menu"));
    button->setFixedSize(22, 19);
    button->setFocusPolicy(Qt::NoFocus);
    button->setPopupMode(QToolButton::InstantPopup);
    button->setMenu(trayMenu);
    return button;
}

} // namespace velmora
