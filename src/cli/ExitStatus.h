#pragma once

namespace korvanta::cli {

// Exit statuses of the command line.
inline constexpr int kExitOk = 0;       // every row landed
inline constexpr int kExitRefused = 1;  // rows were refused, everything else went well
inline constexpr int kExitFailed = 2;   // a table, connection or verification failed, or stopped
inline constexpr int kExitUsage = 64;   // unknown verb or option, missing argument
inline constexpr int kExitInterrupted = 130;  // a second Ctrl-C ended the program at once

}  // namespace korvanta::cli
