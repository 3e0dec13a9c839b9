#pragma once

#include <sys/types.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace robust {

// A process of the test's own, ended (SIGTERM, then SIGKILL) if it is still running when
// the object goes.
class ChildProcess {
  public:
    // Runs argv[0] (searched in PATH) with the environment of the test plus the given
    // NAME=VALUE entries; a descriptor given as passed becomes the child's descriptor 3.
    ChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv,
                 int passed = -1);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Waits up to the given time; true once the process has ended.
    bool WaitForEnd(int seconds);
    // The exit status after WaitForEnd returned true: the exit code, or 128 + signal.
    int ExitCode() const { return exitCode_; }

  private:
    pid_t pid_ = -1;
    int exitCode_ = -1;
};

// A virtual X server of the test's own on a free display, ended with the object.
class VirtualScreen {
  public:
    VirtualScreen();
    ~VirtualScreen();
    VirtualScreen(const VirtualScreen&) = delete;
    VirtualScreen& operator=(const VirtualScreen&) = delete;

    const std::string& Display() const { return display_; }

  private:
    std::unique_ptr<ChildProcess> server_;
    std::string display_;
};

// The top-level windows of a display, seen as a window manager sees them.
class WindowList {
  public:
    explicit WindowList(const std::string& display);
    ~WindowList();
    WindowList(const WindowList&) = delete;
    WindowList& operator=(const WindowList&) = delete;

    struct Window {
        unsigned long id;
        std::string title;
        int width;
        int height;
    };
    // The windows on screen (mapped), in stacking order, with the title a window manager
    // shows.
    std::vector<Window> Viewable() const;
    // Asks the window to close, as its title bar's close box does (WM_DELETE_WINDOW).
    void RequestClose(unsigned long id) const;

  private:
    struct Connection;
    std::unique_ptr<Connection> connection_;
};

// Asks a window to repaint from outside, as uncovering it would (Expose events), and sees
// through the DAMAGE extension when the program's drawing reaches the window.
class RepaintWatch {
  public:
    RepaintWatch(const std::string& display, unsigned long window);
    ~RepaintWatch();
    RepaintWatch(const RepaintWatch&) = delete;
    RepaintWatch& operator=(const RepaintWatch&) = delete;

    struct Result {
        std::chrono::milliseconds longestGap;  // without any drawing: from the start,
                                               // between drawings, or up to the end
        int repaints;                          // drawings that reached the window
    };
    // For the given time, asks for a repaint of the whole window every interval.
    Result Watch(std::chrono::milliseconds duration, std::chrono::milliseconds interval);

  private:
    struct Connection;
    std::unique_ptr<Connection> connection_;
};

}  // namespace robust
