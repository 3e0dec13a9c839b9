#pragma once

#include <functional>

namespace korvanta {

// Ends the process at once: closing either window ends the program, even in the middle
// of a transfer that is letting window events through. Every setting was already saved
// when its box changed; open connections are dropped with the process.
[[noreturn]] void EndProgram();

// What a window runs when it is closed; tests put a recorder in its place.
using ProgramEnd = std::function<void()>;

}  // namespace korvanta
