// Program entry: reads the command line without any display, then prints what was asked,
// hands a command to the running copy, or starts the program.

#include "app/CommandLine.h"
#include "app/Program.h"
#include "app/RunningCopy.h"

#include <cstdio>

using namespace velmora;

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
        return sendToRunningCopy(commandLine.command, commandLine.remark);
    case CommandLine::Action::Run:
        break;
    }
    return runProgram(argc, argv, commandLine);
}
