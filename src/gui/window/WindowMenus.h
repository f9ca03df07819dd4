#pragma once
// The two pop-up menus of the main window: the tray menu (the program, the user's name and
// status, the own status, the roster commands, exit) and the person menu of a right click on
// the status list. The window connects their actions.

#include <QObject>

class QAction;
class QMenu;
class QWidget;

namespace velmora {

class WindowMenus {
public:
    explicit WindowMenus(QWidget* owner);

    QMenu* trayMenu;
    QAction* titleAction;
    QAction* nameAction;
    QAction* statusAction;
    QAction* inAction;
    QAction* busyAction;
    QAction* outAction;
    QAction* customizeStatusAction;
    QAction* refreshStatusListAction;
    QAction* hideOffLineAction;
    QAction* showWindowAction;
    QAction* exitAsOutAction;
    QAction* exitAction;

    QMenu* personMenu;
    QAction* personNameAction;
    QAction* sendMessageAction;
    QAction* changeStatusAction;
    QAction* showOnLineAction;
    QAction* refreshAllAction;
    QAction* resendStatusAction;
};

} // namespace velmora
