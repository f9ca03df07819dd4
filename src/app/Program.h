#pragma once
// The normal start: the application, the window, the running copy's names, the signals and the
// session's end, and the event loop.

#include "app/CommandLine.h"

namespace velmora {

int runProgram(int& argc, char** argv, const CommandLine& commandLine);

} // namespace velmora
