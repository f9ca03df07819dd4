// Program entry: reads the command line without any display, then prints what was asked,
// hands a command to the running copy, or starts the program.

#include "app/CommandLine.h"
#include "app/Program.h"
#include "app/RunningCopy.h"

#include "core/NetworkReport.h"
#include "core/settings/Session.h"
#include "core/settings/SystemDefaults.h"

#include <cstdio>

using namespace velmora;

namespace {

// The running copy's report; without one, what a copy would use, and 1.
int diagnose(const CommandLine& commandLine) {
    QByteArray report;
    const int status = sendToRunningCopy(ControlCommand::Diagnose, {}, &report);
    if (status != 0) {
        const NetworkState state = networkStateWithoutCopy(
            commandLine.address,
            commandLine.settingsPath.isEmpty() ? defaultSettingsPath() : commandLine.settingsPath,
            SystemDefaults::find(qgetenv("XDG_CONFIG_DIRS")));
        report = networkReport(state).join(QLatin1Char('\n')).toUtf8() + '\n';
    }
    std::fputs(report.constData(), stdout);
    return status;
}

} // namespace

int main(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const CommandLine commandLine = parseCommandLine(arguments);
    switch (commandLine.action) {
    case CommandLine::Action::Print:
        std::fputs(commandLine.message.toLocal8Bit().constData(), stdout);
        return 0;
    case CommandLine::Action::Fail:
        std::fprintf(stderr, "%s\n", commandLine.message.toLocal8Bit().constData());
        return commandLine.exitCode;
    case CommandLine::Action::Control:
        if (commandLine.command == ControlCommand::Diagnose) return diagnose(commandLine);
        return sendToRunningCopy(commandLine.command, commandLine.remark);
    case CommandLine::Action::Run:
        break;
    }
    return runProgram(argc, argv, commandLine);
}
