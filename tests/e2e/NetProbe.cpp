// velmora_netprobe: listens for or sends single datagrams through the program's own transport
// classes, so that end-to-end tests watch the wire with exactly the sockets the program uses.
//
//   velmora_netprobe listen [--port 55555] [--seconds S]
//       prints "<source address>\t<hex of the bytes>" per datagram, one flushed line each,
//       until S seconds have passed (S = 0 or absent: until terminated). Once the socket is
//       bound it prints "listening <port>" to stderr, so that a caller knows when to send.
//   velmora_netprobe send <hex-bytes> [--to 255.255.255.255] [--port 55555]
//       sends the bytes as one datagram and exits.
//
// The bytes travel as hex because datagrams carry 8-bit text with the separator 0xF7, which
// no text encoding of a terminal or a pipe would be trusted to keep.

#include "core/net/UdpReceiver.h"
#include "core/net/UdpSender.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QStringList>
#include <QTimer>

#include <cstdio>
#include <optional>

namespace velmora {
namespace {

constexpr quint16 kDefaultPort = 55555;

int usage() {
    std::fputs("usage: velmora_netprobe listen [--port P] [--seconds S]\n"
               "       velmora_netprobe send <hex-bytes> [--to ADDRESS] [--port P]\n",
               stderr);
    return 2;
}

// Options after the command word: "--name value" pairs and at most one positional value.
struct ProbeArgs {
    QByteArray positional;
    bool hasPositional = false;
    QByteArray to = "255.255.255.255";
    quint16 port = kDefaultPort;
    int seconds = 0;
};

std::optional<ProbeArgs> parseArgs(const QStringList& args) {
    ProbeArgs result;
    for (qsizetype i = 2; i < args.size(); ++i) {
        const QString& arg = args[i];
        const bool isOption = arg.startsWith(QStringLiteral("--"));
        if (isOption && i + 1 >= args.size()) return std::nullopt;
        bool ok = true;
        if (arg == QStringLiteral("--port")) {
            const uint port = args[++i].toUInt(&ok);
            if (!ok || port > 65535) return std::nullopt;
            result.port = static_cast<quint16>(port);
        } else if (arg == QStringLiteral("--seconds")) {
            result.seconds = args[++i].toInt(&ok);
            if (!ok || result.seconds < 0) return std::nullopt;
        } else if (arg == QStringLiteral("--to")) {
            result.to = args[++i].toLatin1();
        } else if (!isOption && !result.hasPositional) {
            result.positional = arg.toLatin1();
            result.hasPositional = true;
        } else {
            return std::nullopt;
        }
    }
    return result;
}

int listen(QCoreApplication& app, const ProbeArgs& args) {
    UdpReceiver receiver;
    receiver.setPort(args.port);
    receiver.setDatagramHandler(
        [](UdpReceiver*, const char* bytes, int count, const QByteArray& address, quint16) {
            const QByteArray line =
                address + '\t' + QByteArray::fromRawData(bytes, count).toHex() + '\n';
            std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stdout);
            std::fflush(stdout);
        });
    try {
        receiver.setActive(true);
    } catch (const UdpError& error) {
        std::fprintf(stderr, "velmora_netprobe: %s\n", error.what());
        return 1;
    }
    std::fprintf(stderr, "listening %u\n", static_cast<unsigned>(receiver.boundPort()));
    std::fflush(stderr);

    if (args.seconds > 0) QTimer::singleShot(args.seconds * 1000, &app, &QCoreApplication::quit);
    const int result = app.exec();
    receiver.setActive(false);
    return result;
}

int send(const ProbeArgs& args) {
    const QByteArray bytes = QByteArray::fromHex(args.positional);
    // fromHex skips what is not a hex digit; a typo must not send different bytes silently.
    if (bytes.toHex() != args.positional.toLower()) {
        std::fputs("velmora_netprobe: the datagram must be given as pairs of hex digits\n", stderr);
        return 2;
    }
    UdpSender sender;
    sender.setRemoteIP(args.to);
    sender.setRemotePort(args.port);
    SendResult result = sender.setActive(true);
    if (result.sent()) result = sender.send(bytes.constData(), static_cast<int>(bytes.size()));
    if (!result.sent()) {
        std::fprintf(stderr, "velmora_netprobe: %s\n", result.reason.toLocal8Bit().constData());
        return 1;
    }
    return 0;
}

} // namespace
} // namespace velmora

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 2) return velmora::usage();
    const std::optional<velmora::ProbeArgs> parsed = velmora::parseArgs(args);
    if (!parsed) return velmora::usage();

    if (args[1] == QStringLiteral("listen") && !parsed->hasPositional)
        return velmora::listen(app, *parsed);
    if (args[1] == QStringLiteral("send") && parsed->hasPositional) return velmora::send(*parsed);
    return velmora::usage();
}
