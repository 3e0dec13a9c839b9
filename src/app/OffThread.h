#pragma once

#include <functional>

namespace korvanta {

// Runs the work on a thread of its own while the window thread goes on repainting and
// handling events, and returns when it is done, rethrowing whatever it threw. Database
// calls of the windows' handlers go through it, so a statement that waits for a lock
// never freezes the window.
void RunOffWindowThread(const std::function<void()>& work);

}  // namespace korvanta
