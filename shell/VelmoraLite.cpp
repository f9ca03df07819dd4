// Program entry: works out who and where this copy is, brings up the core, and ends it with
// its last announcement when asked to (a termination signal counts as a log-off).

#include "net/OwnAddress.h"
#include "shell/Session.h"
#include "shell/VelmoraCore.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <sys/socket.h>
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

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Dazuviz Velmora"));

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

    TSystemClock clock;
    TVelmoraCore core(config, clock);
    if (parser.isSet(traceOption)) {
        QObject::connect(&core, &TVelmoraCore::datagramSent,
                         [](const QByteArray& text) { TraceLine("send", text); });
        QObject::connect(&core, &TVelmoraCore::datagramDispatched,
                         [](const QByteArray& text, const QByteArray& source) {
                             TraceLine("recv", text, source);
                         });
    }

    try {
        core.FormCreate();
    } catch (const EUDPError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }

    // Signals arrive through a pipe so that the shutdown runs on the main thread.
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0) return 1;
    QSocketNotifier notifier(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, [&] {
        char code = 0;
        if (::read(signalPipe[0], &code, 1) != 1) return;
        if (code == SIGTERM || code == SIGHUP)
            core.WMQueryEndSession();
        else
            core.SetClosing();
        QCoreApplication::quit();
    });
    for (int s : {SIGTERM, SIGHUP, SIGINT})
        std::signal(s, OnSignal);

    QTimer::singleShot(0, &core, [&core] { core.DeferredStartup(); });
    const int status = app.exec();
    core.FormDestroy();
    return status;
}
