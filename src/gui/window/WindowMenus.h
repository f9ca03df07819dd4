#pragma once
// The two pop-up menus of the main window: the tray menu (the program, the user's name and
// status, the own status, the roster commands, exit) and the person menu of a right click on
// the status list, and what their items do.

#include <QObject>

class QAction;
class QMenu;
class QToolButton;
class QWidget;

namespace velmora {

class ChangeStatusPage;
class Core;
class MainWindow;
class StatusPage;

class WindowMenus {
public:
    explicit WindowMenus(QWidget* owner);

    // Connects every item to what it does. A roster command that cannot be sent shows the
    // window's error box, as the status buttons do.
    void connectTo(MainWindow& window, Core& core, StatusPage& statusPage,
                   ChangeStatusPage& changePage);
    // A button that opens the tray menu, for a desktop without a notification area.
    QToolButton* windowMenuButton();

    QMenu* trayMenu;
    QAction* titleAction;
    QAction* nameAction;
    QAction* statusAction;
    QAction* inAction;
    QAction* busyAction;
    QAction* outAction;
    QAction* customizeStatusAction;
    QAction* startupAction; // "Start when I log in": the desktop's autostart entry
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
