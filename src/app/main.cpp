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

void OnSignal(int signal) {
    const char code = static_cast<char>(signal);
    [[maybe_unused]] const auto written = ::write(signalPipe[1], &code, 1);
}

void TraceLine(const char* what, const QByteArray& text, const QByteArray& source = {}) {
    std::fprintf(stderr, "%s %s%s%s\n", what, source.constData(), source.isEmpty() ? "" : " ",
                 text.toHex().constData());
    std::fflush(stderr);
}

// Every running copy holds this name in the abstract socket namespace (one per network
// namespace, gone with the process), so that a second start can tell "another copy holds
// the port" from "some other program holds it".
int ClaimRunningCopyName() {
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

bool Headless() {
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

    TCoreConfig config;
    config.settingsPath =
        parser.isSet(settingsOption) ? parser.value(settingsOption) : DefaultSettingsPath();
    config.ownAddress = DetermineOwnAddress(parser.value(addressOption).toLatin1());
    config.loginName = DetermineLoginName();
    config.programPath = QCoreApplication::applicationFilePath().toLocal8Bit();

    const int runningCopy = ClaimRunningCopyName();
    TSystemClock clock;
    TForm1 form(config, clock);
    TVelmoraCore& core = form.Core();
    if (parser.isSet(traceOption)) {
        QObject::connect(&core, &TVelmoraCore::datagramSent,
                         [](const QByteArray& text) { TraceLine("send", text); });
        QObject::connect(&core, &TVelmoraCore::datagramDispatched,
                         [](const QByteArray& text, const QByteArray& source) {
                             TraceLine("recv", text, source);
                         });
    }

    try {
        form.FormCreate();
    } catch (const EUDPError& e) {
        if (runningCopy < 0) {
            // Another copy runs here: bring its window to the front instead of starting twice.
            try {
                core.SendDatagram("x");
            } catch (const EUDPError&) {
            }
            return 0;
        }
        std::fprintf(stderr, "%s\n", e.what());
        if (!Headless())
            QMessageBox::critical(nullptr, QStringLiteral("Dazuviz Velmora"),
                                  QString::fromLatin1(e.what()));
        return 1;
    }

    QObject::connect(&app, &QGuiApplication::commitDataRequest, &form,
                     [&form](QSessionManager&) { form.WMQueryEndSession(); });

    // Signals arrive through a pipe so that the shutdown runs on the main thread.
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0) return 1;
    QSocketNotifier notifier(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, &form, [&form] {
        char code = 0;
        if (::read(signalPipe[0], &code, 1) != 1) return;
        if (code == SIGTERM || code == SIGHUP)
            form.WMQueryEndSession();
        else
            form.Exit1Click();
    });
    for (int s : {SIGTERM, SIGHUP, SIGINT})
        std::signal(s, OnSignal);

    const int status = QApplication::exec();
    form.FormDestroy();
    if (runningCopy >= 0) ::close(runningCopy);
    return status;
}
