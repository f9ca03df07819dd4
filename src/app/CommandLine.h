#pragma once
// The program's command line: what this start is asked to do. Parsed before any application
// object exists, so that --help, --version and the commands for a running copy work without a
// display.

#include <QString>
#include <QStringList>

namespace velmora {

// A command for the copy that already runs for this user. Diagnose asks it for the report of
// its network and settings file.
enum class ControlCommand {
    None,
    StatusIn,
    StatusBusy,
    StatusOut,
    Remark,
    Show,
    Exit,
    ExitOut,
    Diagnose
};

struct CommandLine {
    enum class Action { Run, Control, Print, Fail };
    Action action = Action::Run;
    // Print: the text for stdout; Fail: the one line for stderr.
    QString message;
    int exitCode = 0;

    QString settingsPath; // empty: the default file
    QByteArray address;   // empty: worked out from the interfaces
    bool trace = false;
    ControlCommand command = ControlCommand::None;
    QString remark; // the text of --status when it is a remark
};

// `arguments` as given, the program's name first. Options of the desktop toolkit (-platform,
// -display, -session, ...) are accepted and left to it.
CommandLine parseCommandLine(const QStringList& arguments);

// What --help prints.
QString helpText();

} // namespace velmora
