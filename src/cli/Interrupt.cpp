#include "cli/Interrupt.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>

#include "cli/ExitStatus.h"

namespace korvanta::cli {

namespace {

// Set by the first SIGINT or SIGTERM; a send's StopRequested() answers with it.
std::atomic<bool> g_interrupted{false};
volatile sig_atomic_t g_signals = 0;
volatile sig_atomic_t g_terminal = 0;  // standard error is a terminal
static_assert(std::atomic<bool>::is_always_lock_free, "read from a signal handler");

extern "C" void OnInterrupt(int) {
    // Only async-signal-safe calls here: write and _exit.
    if (g_signals != 0) {
        // The shell's prompt starts on a line of its own, not after the progress line.
        if (g_terminal != 0)
            (void)!write(STDERR_FILENO, "\n", 1);
        _exit(kExitInterrupted);
    }
    g_signals = 1;
    g_interrupted.store(true);
    static const char kText[] =
        "\nkorvanta: stopping after the current run of rows; interrupt again to end at once\n";
    (void)!write(STDERR_FILENO, kText, sizeof kText - 1);
}

}  // namespace

void InstallInterruptHandlers(bool terminal) {
    g_terminal = terminal ? 1 : 0;
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no SA_RESTART: a question waiting for an answer gives up
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool Interrupted() {
    return g_interrupted.load();
}

}  // namespace korvanta::cli
