// Program entry: works out who and where this copy is, brings up the main window, and ends
// it with its last announcement when asked to. Log-off (the session manager's commit
// request) and the termination signals SIGTERM and SIGHUP take the same road.

#include "core/net/OwnAddress.h"
#include "core/settings/Session.h"
#include "gui/window/MainWindow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QMessageBox>
#include <QSessionManager>
#include <QSocketNotifier>

#include <csignal>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace velmora;

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

// Every running copy holds this name in the abstract socket namespace (one per network
// namespace, gone with the process), so that a second start can tell "another copy holds
// the port" from "some other program holds it".
int claimRunningCopyName() {
    const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const char name[] = "dazuviz-velmora-55555";
    std::memcpy(address.sun_path + 1, name, sizeof name - 1);
    const auto size = socklen_t(offsetof(sockaddr_un, sun_path) + 1 + sizeof name - 1);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), size) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool headless() {
    const QString platform = QGuiApplication::platformName();
    return platform == QStringLiteral("offscreen") || platform == QStringLiteral("minimal");
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Dazuviz Velmora"));
    QApplication::setQuitOnLastWindowClosed(false);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Office in/out board and messenger"));
    parser.addHelpOption();
    const QCommandLineOption settingsOption(QStringLiteral("settings"),
                                            QStringLiteral("Settings file to use."),
                                            QStringLiteral("path"));
    const QCommandLineOption addressOption(
        QStringLiteral("address"), QStringLiteral("This computer's IPv4 address as others see it."),
        QStringLiteral("address"));
    const QCommandLineOption traceOption(
        QStringLiteral("trace"),
        QStringLiteral("Print every datagram sent and handled to stderr."));
    parser.addOptions({settingsOption, addressOption, traceOption});
    parser.process(app);

    const QByteArray givenAddress = parser.value(addressOption).toLatin1();
    if (parser.isSet(addressOption) && !isDottedAddress(givenAddress)) {
        // Every message to this copy is matched against this text; anything else would make
        // it deaf to them.
        std::fprintf(stderr,
                     "velmora: --address needs a dotted IPv4 address such as "
                     "192.168.1.20, not \"%s\"\n",
                     givenAddress.constData());
        return 2;
    }

    CoreConfig config;
    config.settingsPath =
        parser.isSet(settingsOption) ? parser.value(settingsOption) : defaultSettingsPath();
    config.ownAddress = determineOwnAddress(givenAddress);
    // A given address stays; a worked-out one follows the computer to other networks.
    if (!parser.isSet(addressOption)) config.lookUpOwnAddress = [] { return interfaceAddress(); };
    config.lookUpLocalAddresses = [] { return localAddresses(); };
    config.loginName = determineLoginName();
    config.programPath = QCoreApplication::applicationFilePath().toLocal8Bit();

    const int runningCopy = claimRunningCopyName();
    SystemClock clock;
    MainWindow window(config, clock);
    Core& core = window.core();
    if (parser.isSet(traceOption)) {
        QObject::connect(&core, &Core::datagramSent,
                         [](const QByteArray& text) { traceLine("send", text); });
        QObject::connect(&core, &Core::datagramSendFailed,
                         [](const QByteArray& text, const QString& reason) {
                             traceLine("send-failed", text, reason.toLocal8Bit());
                         });
        QObject::connect(&core, &Core::datagramDispatched,
                         [](const QByteArray& text, const QByteArray& source) {
                             traceLine("recv", text, source);
                         });
    }

    try {
        window.startUp();
    } catch (const UdpError& e) {
        if (runningCopy < 0) {
            // Another copy runs here: bring its window to the front instead of starting twice.
            try {
                core.sendDatagram("x");
            } catch (const UdpError&) {
            }
            return 0;
        }
        std::fprintf(stderr, "%s\n", e.what());
        if (!headless())
            QMessageBox::critical(nullptr, QStringLiteral("Dazuviz Velmora"),
                                  QString::fromLatin1(e.what()));
        return 1;
    }

    QObject::connect(&app, &QGuiApplication::commitDataRequest, &window,
                     [&window](QSessionManager&) { window.logOff(); });

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
    if (runningCopy >= 0) ::close(runningCopy);
    return status;
}
