#pragma once

#include "cli/ExitStatus.h"

namespace korvanta::cli {

// The program run with arguments: argv[1] on are a verb and its options. Needs no display
// and no application object beyond QCoreApplication. Returns the exit status.
int RunCommandLine(int argc, char* argv[]);

}  // namespace korvanta::cli
