#include "app/Program.h"

#include "app/RunningCopy.h"
#include "core/NetworkReport.h"
#include "core/net/OwnAddress.h"
#include "core/settings/Session.h"
#include "gui/desktop/LogindWatch.h"
#include "gui/desktop/ScreenSaverWatch.h"
#include "gui/window/MainWindow.h"
#include "gui/window/WindowMenus.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDBusConnection>
#include <QMessageBox>
#include <QSessionManager>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace velmora {

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int signal) {
    const char code = static_cast<char>(signal);
    [[maybe_unused]] const auto written = ::write(signalPipe[1], &code, 1);
}

void traceLine(const char* what, const QByteArray& text, const QByteArray& source = {}) {
    std::fprintf(stderr, "%s %s%s%s\n", what, source.constData(), source.isEmpty() ? "" : " ",
                 text.toHex().constData());
    std::fflush(stderr);
}

bool headless() {
    const QString platform = QGuiApplication::platformName();
    return platform == QStringLiteral("offscreen") || platform == QStringLiteral("minimal");
}

void traceDatagrams(Core& core) {
    QObject::connect(&core, &Core::datagramSent,
                     [](const QByteArray& text) { traceLine("send", text); });
    QObject::connect(&core, &Core::datagramSendFailed,
                     [](const QByteArray& text, const QString& reason) {
                         traceLine("send-failed", text, reason.toLocal8Bit());
                     });
    QObject::connect(
        &core, &Core::datagramDispatched,
        [](const QByteArray& text, const QByteArray& source) { traceLine("recv", text, source); });
}

// The session manager ends the session with its "die" message, which reaches the application
// as a Quit event from the platform. The program's own ends (Exit, the log-off) come as Quit
// events too, but only after they set the core's closing flag; any other Quit is the end of
// the session and takes the log-off's road.
class SessionEnd : public QObject {
public:
    explicit SessionEnd(MainWindow& window) : window_(window) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != qApp || event->type() != QEvent::Quit || window_.core().closing())
            return false;
        QTimer::singleShot(0, &window_, &MainWindow::logOff);
        return true;
    }

private:
    MainWindow& window_;
};

// Commands of the user's scripts do what the window's own controls do.
void runCommand(MainWindow& window, ControlCommand command, const QString& remark) {
    StatusPage& status = window.statusPage();
    switch (command) {
    case ControlCommand::StatusIn:
        return status.onInClicked();
    case ControlCommand::StatusBusy:
        return status.onBusyClicked();
    case ControlCommand::StatusOut:
        return status.onOutClicked();
    case ControlCommand::Remark:
        // Typed into the remark box (which keeps only what a person can type there and cuts it
        // to what the box takes) and confirmed.
        status.remarkBox().setEditText(remark);
        return status.onRemarkConfirmed();
    case ControlCommand::Show:
        return window.menus().titleAction->trigger(); // the tray's default action
    case ControlCommand::Exit:
        return window.menus().exitAction->trigger();
    case ControlCommand::ExitOut:
        return window.menus().exitAsOutAction->trigger();
    case ControlCommand::Diagnose:
    case ControlCommand::None:
        return;
    }
}

// The port cannot be bound. Another copy of this user's: it is asked to come forward, and this
// start gives way. A program of another user's that holds the per-computer name (its copy, or
// one that took the name first): the user is told, since a copy of that user's would not
// answer the "x" on this desk. Another program: the user is told which port and why.
int startFailed(Core& core, const UdpError& e, const PortHolderName& name) {
    if (!name.held() && name.holder() == ::geteuid()) {
        core.sendDatagram("x");
        return 0;
    }
    QString text = QString::fromLatin1(e.what());
    if (e.code() == EADDRINUSE && name.held()) {
        text = QStringLiteral("UDP port 55555 is in use by another program (%1).")
                   .arg(QString::fromLocal8Bit(std::strerror(e.code())));
    } else if (e.code() == EADDRINUSE) {
        text = holderOf(name.holder()) +
               QStringLiteral(" holds the name that marks the running copy of Dazuviz Velmora "
                              "on this computer, and UDP port 55555 is in use: this copy cannot "
                              "start.");
        text[0] = text[0].toUpper();
    }
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    if (!headless()) QMessageBox::critical(nullptr, QStringLiteral("Dazuviz Velmora"), text);
    return 1;
}

} // namespace

int runProgram(int& argc, char** argv, const CommandLine& commandLine) {
    QApplication::setApplicationName(QStringLiteral("Dazuviz Velmora"));
    QApplication app(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral("dazuviz-velmora"));
    QApplication::setQuitOnLastWindowClosed(false);
    // Connecting to the buses takes round trips, and where no session bus runs a try at
    // starting one: it is done on a thread of its own while the window is built, so that the
    // first one to ask (the tray, the alerts, logind) finds the connection made or under way.
    std::jthread busConnect([] {
        QDBusConnection::sessionBus();
        QDBusConnection::systemBus();
    });

    CoreConfig config;
    config.settingsPath =
        commandLine.settingsPath.isEmpty() ? defaultSettingsPath() : commandLine.settingsPath;
    config.ownSettingsPath = ownSettingsPath();
    QStringList problems;
    config.systemDefaults =
        SystemDefaults::load(SystemDefaults::find(qgetenv("XDG_CONFIG_DIRS")), &problems);
    for (const QString& problem : problems)
        std::fprintf(stderr, "velmora: %s\n", problem.toLocal8Bit().constData());
    config.ownAddress = determineOwnAddress(commandLine.address);
    // A given address stays; a worked-out one follows the computer to other networks.
    if (commandLine.address.isEmpty()) config.lookUpOwnAddress = [] { return interfaceAddress(); };
    config.lookUpLocalAddresses = [] { return localAddresses(); };
    config.loginName = determineLoginName();
    config.programPath = QCoreApplication::applicationFilePath().toLocal8Bit();

    PortHolderName portHolder;
    SystemClock clock;
    MainWindow window(config, clock);
    if (commandLine.trace) traceDatagrams(window.core());
    try {
        window.startUp();
    } catch (const UdpError& e) {
        return startFailed(window.core(), e, portHolder);
    }

    // The computer's sleep and wake and the locked screen, as logind and the screen savers tell
    // of them.
    LogindWatch logind;
    ScreenSaverWatch screenSaver;
    Core& core = window.core();
    QObject::connect(&logind, &LogindWatch::sleeping, &core, &Core::goToSleep);
    QObject::connect(&logind, &LogindWatch::wokeUp, &core, &Core::wakeUp);
    QObject::connect(&logind, &LogindWatch::lockChanged, &core, &Core::setScreenLocked);
    QObject::connect(&screenSaver, &ScreenSaverWatch::lockChanged, &core, &Core::setScreenLocked);

    ControlServer control([&window](ControlCommand command, const QString& remark) {
        if (command == ControlCommand::Diagnose)
            return networkReport(networkState(window.core())).join(QLatin1Char('\n')) +
                   QLatin1Char('\n');
        runCommand(window, command, remark);
        return QString();
    });
    if (QString reason; !control.listen(reason))
        std::fprintf(stderr, "velmora: scripts cannot reach this copy: %s\n",
                     reason.toLocal8Bit().constData());

    // A checkpoint of the session manager ("save yourself" without the end of the session)
    // comes this way too, so it only saves: the end itself is the die message (SessionEnd) or
    // a signal. The autostart entry, not the session, starts the program at the next login.
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &window,
                     [&window](QSessionManager& manager) {
                         manager.setRestartHint(QSessionManager::RestartNever);
                         window.core().saveAllSettings();
                     });
    QObject::connect(
        &app, &QGuiApplication::saveStateRequest, &window,
        [](QSessionManager& manager) { manager.setRestartHint(QSessionManager::RestartNever); });
    SessionEnd sessionEnd(window);
    app.installEventFilter(&sessionEnd);

    // Signals arrive through a pipe so that the shutdown runs on the main thread.
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0) return 1;
    QSocketNotifier notifier(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, &window, [&window] {
        char code = 0;
        if (::read(signalPipe[0], &code, 1) != 1) return;
        if (code == SIGTERM || code == SIGHUP)
            window.logOff();
        else
            window.onExitChosen();
    });
    for (int s : {SIGTERM, SIGHUP, SIGINT})
        std::signal(s, onSignal);

    const int status = QApplication::exec();
    window.shutDown();
    control.confirmEnd();
    return status;
}

} // namespace velmora
