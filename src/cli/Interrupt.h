#pragma once

namespace korvanta::cli {

// Ctrl-C and SIGTERM during a send: the first asks the send to stop after the current run
// of rows, a second ends the program at once (exit status 130), on a line of its own.
void InstallInterruptHandlers(bool terminal);
bool Interrupted();

}  // namespace korvanta::cli
