#include "app/CommandLine.h"

#include "core/net/OwnAddress.h"

#include <QCommandLineOption>
#include <QCommandLineParser>

namespace velmora {

namespace {

using Action = CommandLine::Action;

QString text(const char* latin1) {
    return QString::fromLatin1(latin1);
}

CommandLine failure(const QString& what) {
    CommandLine c;
    c.action = Action::Fail;
    c.message = text("velmora: ") + what + text("; see velmora --help");
    c.exitCode = 2;
    return c;
}

// The toolkit's own options, which the application object takes out of the command line later.
// They are accepted here so that a start by the session manager (-session) or with -platform
// or -display keeps working; --help does not list them.
QList<QCommandLineOption> toolkitOptions() {
    QList<QCommandLineOption> options;
    for (const char* name :
         {"platform", "platformpluginpath", "platformtheme", "plugin", "display", "session", "name",
          "style", "stylesheet", "qwindowgeometry", "geometry", "qwindowtitle", "title",
          "qwindowicon", "icon", "qmljsdebugger"})
        options.append(QCommandLineOption(text(name), QString(), text("value")));
    for (const char* name : {"reverse", "widgetcount", "nograb", "dograb", "sync"})
        options.append(QCommandLineOption(text(name)));
    for (QCommandLineOption& o : options)
        o.setFlags(QCommandLineOption::HiddenFromHelp);
    return options;
}

} // namespace

CommandLine parseCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    // "-platform xcb" is one option, as the toolkit spells it, not the letters p, l, a, ...
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption settings(text("settings"), QString(), text("path"));
    const QCommandLineOption address(text("address"), QString(), text("address"));
    const QCommandLineOption trace(text("trace"));
    const QCommandLineOption status(text("status"), QString(), text("status"));
    const QCommandLineOption show(text("show"));
    const QCommandLineOption exit(text("exit"));
    const QCommandLineOption exitOut(text("exit-out"));
    const QCommandLineOption diagnose(text("diagnose"));
    const QCommandLineOption help(QStringList{text("h"), text("help"), text("?")});
    const QCommandLineOption version(text("version"));
    parser.addOptions(
        {settings, address, trace, status, show, exit, exitOut, diagnose, help, version});
    parser.addOptions(toolkitOptions());

    if (!parser.parse(arguments)) {
        const QStringList unknown = parser.unknownOptionNames();
        if (!unknown.isEmpty()) {
            const QString& name = unknown.first();
            return failure(
                text("unknown option '%1%2'").arg(name.size() > 1 ? text("--") : text("-"), name));
        }
        QString error = parser.errorText();
        if (error.endsWith(QLatin1Char('.'))) error.chop(1);
        if (!error.isEmpty()) error[0] = error[0].toLower();
        return failure(error);
    }
    if (!parser.positionalArguments().isEmpty())
        return failure(text("unexpected argument '%1'").arg(parser.positionalArguments().first()));

    CommandLine c;
    if (parser.isSet(help) || parser.isSet(version)) {
        c.action = Action::Print;
        c.message =
            parser.isSet(help) ? helpText() : text("velmora ") + text(VELMORA_VERSION) + text("\n");
        return c;
    }

    c.settingsPath = parser.value(settings);
    c.trace = parser.isSet(trace);
    if (parser.isSet(address)) {
        c.address = parser.value(address).toLatin1();
        // Every message to this copy is matched against this text; anything else would make it
        // deaf to them.
        if (!isDottedAddress(c.address)) {
            c.action = Action::Fail;
            c.exitCode = 2;
            c.message = text("velmora: --address needs a dotted IPv4 address such as "
                             "192.168.1.20, not \"%1\"")
                            .arg(parser.value(address));
            return c;
        }
    }

    int commands = 0;
    for (const QCommandLineOption* o : {&status, &show, &exit, &exitOut, &diagnose})
        commands += parser.isSet(*o) ? 1 : 0;
    if (commands > 1)
        return failure(text("give only one of --status, --show, --exit, --exit-out, --diagnose"));
    if (commands == 1) {
        c.action = Action::Control;
        if (parser.isSet(diagnose)) {
            c.command = ControlCommand::Diagnose;
        } else if (parser.isSet(show)) {
            c.command = ControlCommand::Show;
        } else if (parser.isSet(exit)) {
            c.command = ControlCommand::Exit;
        } else if (parser.isSet(exitOut)) {
            c.command = ControlCommand::ExitOut;
        } else {
            const QString value = parser.value(status);
            const auto is = [&value](const char* word) {
                return value.compare(text(word), Qt::CaseInsensitive) == 0;
            };
            c.command = is("in")     ? ControlCommand::StatusIn
                        : is("busy") ? ControlCommand::StatusBusy
                        : is("out")  ? ControlCommand::StatusOut
                                     : ControlCommand::Remark;
            if (c.command == ControlCommand::Remark) c.remark = value;
        }
    }
    return c;
}

QString helpText() {
    return text("Usage: velmora [options]\n"
                "Dazuviz Velmora: the office in/out board and messenger.\n"
                "\n"
                "Options:\n"
                "  --settings PATH        Use this settings file instead of the default one.\n"
                "  --address A.B.C.D      This computer's IPv4 address as the other copies see it\n"
                "                         (default: the address of the interface with the default\n"
                "                         route).\n"
                "  --trace                Print every datagram sent and handled to stderr.\n"
                "  --status in|busy|out|TEXT\n"
                "                         Set the running copy's status: in, busy and out as\n"
                "                         its In, Busy and Out buttons do; any other TEXT as a\n"
                "                         remark, as if typed into its remark box and confirmed:\n"
                "                         line breaks, other control characters and the\n"
                "                         division sign are dropped.\n"
                "  --show                 Bring the running copy's window into view.\n"
                "  --exit                 End the running copy, as its menu's Exit does.\n"
                "  --exit-out             Set the running copy's status to Out and end it.\n"
                "  --diagnose             Print what the running copy's network and settings\n"
                "                         file do: its address and where it came from, the\n"
                "                         interface, where datagrams go, whether the last one\n"
                "                         left, the copies heard in the last ten minutes by\n"
                "                         subnet, the settings file and its last save, the\n"
                "                         computer's defaults file. With no copy running, what\n"
                "                         a copy would use, and exit code 1.\n"
                "  -h, --help             Show this help.\n"
                "  --version              Show the program's name and version.\n"
                "\n"
                "--status, --show, --exit, --exit-out and --diagnose go to the copy that this\n"
                "user runs on this computer, through a socket in $XDG_RUNTIME_DIR (without one,\n"
                "in this network namespace); they never start one and send nothing on the\n"
                "network themselves.\n"
                "\n"
                "Settings file, the first that applies:\n"
                "  /var/lib/dazuviz-velmora/vlx.ini, when that folder exists and is writable;\n"
                "  $XDG_CONFIG_HOME/dazuviz-velmora/vlx.ini (default\n"
                "  ~/.config/dazuviz-velmora/vlx.ini).\n"
                "\n"
                "The computer's defaults for every user: dazuviz-velmora/defaults.ini in the\n"
                "first folder of $XDG_CONFIG_DIRS that holds one (default /etc/xdg). Its keys\n"
                "are where every user's settings start; those listed in its [Locked] section\n"
                "cannot be changed on the Options page. A line it cannot use is named on stderr\n"
                "and ignored.\n"
                "\n"
                "Network: UDP port 55555; every copy listens on it and broadcasts to\n"
                "255.255.255.255 port 55555.\n"
                "\n"
                "Signals:\n"
                "  SIGTERM, SIGHUP        Log-off: the last announcement (\"Out <shut down>\" or\n"
                "                         \"Out (off-line)\"), then the settings are saved. So\n"
                "                         is the end of the desktop session.\n"
                "  SIGINT                 An ordinary exit, as the menu's Exit.\n"
                "\n"
                "Exit codes:\n"
                "  0  the program ended normally, or the running copy did what it was asked;\n"
                "  1  the program could not start (UDP port 55555 in use by another program or\n"
                "     another user's copy), or no copy runs for this user, or it did not confirm\n"
                "     the command;\n"
                "  2  the command line is wrong.\n");
}

} // namespace velmora
