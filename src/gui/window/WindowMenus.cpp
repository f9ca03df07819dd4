#include "gui/window/WindowMenus.h"

#include "core/presence/StatusSort.h"
#include "gui/controls/WidgetKit.h"

#include <QAction>
#include <QMenu>

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
    add(trayMenu, "startupAction", "Start when Windows does")->setVisible(false);
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

} // namespace velmora
