#include "XDisplay.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <thread>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xdamage.h>

extern char** environ;

namespace robust {

namespace {

std::vector<std::string> Environment(const std::vector<std::string>& extra) {
    std::vector<std::string> entries;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        const std::string name = entry.substr(0, entry.find('='));
        bool replaced = false;
        for (const std::string& x : extra)
            replaced = replaced || x.rfind(name + "=", 0) == 0;
        if (!replaced)
            entries.push_back(entry);
    }
    entries.insert(entries.end(), extra.begin(), extra.end());
    return entries;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& text : texts)
        pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

pid_t Spawn(std::vector<std::string> argv, const std::vector<std::string>& extraEnv, int passed) {
    std::vector<std::string> env = Environment(extraEnv);
    std::vector<char*> args = Pointers(argv);
    std::vector<char*> envp = Pointers(env);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (passed >= 0)
        posix_spawn_file_actions_adddup2(&actions, passed, 3);
    pid_t pid = -1;
    const int error = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0)
        throw std::runtime_error("cannot start " + argv[0] + ": " + std::strerror(error));
    return pid;
}

// The title a window manager shows: _NET_WM_NAME (UTF-8) when the window has one, which
// may differ from the older WM_NAME, else WM_NAME.
std::string Title(::Display* display, ::Window window) {
    const Atom netName = XInternAtom(display, "_NET_WM_NAME", False);
    const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    Atom type = 0;
    int format = 0;
    unsigned long length = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    std::string title;
    if (XGetWindowProperty(display, window, netName, 0, 1024, False, utf8, &type, &format, &length,
                           &after, &data) == Success &&
        data != nullptr) {
        if (type == utf8 && format == 8)
            title.assign(reinterpret_cast<const char*>(data), length);
        XFree(data);
        if (type == utf8)
            return title;
    }
    char* name = nullptr;
    if (XFetchName(display, window, &name) != 0 && name != nullptr) {
        title = name;
        XFree(name);
    }
    return title;
}

// Windows may go away while they are looked at; that is no reason to end the test.
int IgnoreErrors(Display*, XErrorEvent*) {
    return 0;
}

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv,
                           const std::vector<std::string>& extraEnv, int passed)
    : pid_(Spawn(argv, extraEnv, passed)) {}

ChildProcess::~ChildProcess() {
    if (exitCode_ >= 0)
        return;
    ::kill(pid_, SIGTERM);
    if (!WaitForEnd(5)) {
        ::kill(pid_, SIGKILL);
        WaitForEnd(5);
    }
}

bool ChildProcess::WaitForEnd(int seconds) {
    if (exitCode_ >= 0)
        return true;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    do {
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    } while (std::chrono::steady_clock::now() < deadline);
    return false;
}

VirtualScreen::VirtualScreen() {
    // Xvfb picks a free display itself and writes its number to descriptor 3 once
    // clients can connect.
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    try {
        server_ = std::make_unique<ChildProcess>(
            std::vector<std::string>{"Xvfb", "-displayfd", "3", "-screen", "0", "1280x1024x24",
                                     "-nolisten", "tcp", "-noreset"},
            std::vector<std::string>{}, ends[1]);
    } catch (...) {
        ::close(ends[0]);
        ::close(ends[1]);
        throw;
    }
    ::close(ends[1]);
    std::string number;
    pollfd ready{ends[0], POLLIN, 0};
    char c = 0;
    while (::poll(&ready, 1, 30000) == 1 && ::read(ends[0], &c, 1) == 1 && c != '\n')
        number += c;
    ::close(ends[0]);
    if (number.empty())
        throw std::runtime_error("Xvfb did not start");
    display_ = ":" + number;
}

VirtualScreen::~VirtualScreen() = default;

struct WindowList::Connection {
    ::Display* display = nullptr;
    ~Connection() {
        if (display != nullptr)
            XCloseDisplay(display);
    }
};

WindowList::WindowList(const std::string& display) : connection_(std::make_unique<Connection>()) {
    XSetErrorHandler(IgnoreErrors);
    connection_->display = XOpenDisplay(display.c_str());
    if (connection_->display == nullptr)
        throw std::runtime_error("cannot open display " + display);
}

WindowList::~WindowList() = default;

std::vector<WindowList::Window> WindowList::Viewable() const {
    ::Display* display = connection_->display;
    ::Window root = 0;
    ::Window parent = 0;
    ::Window* children = nullptr;
    unsigned int count = 0;
    std::vector<Window> windows;
    if (XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count) == 0)
        return windows;
    for (unsigned int i = 0; i < count; ++i) {
        XWindowAttributes attributes{};
        if (XGetWindowAttributes(display, children[i], &attributes) == 0 ||
            attributes.map_state != IsViewable) {
            continue;
        }
        windows.push_back(
            {children[i], Title(display, children[i]), attributes.width, attributes.height});
    }
    if (children != nullptr)
        XFree(children);
    return windows;
}

void WindowList::RequestClose(unsigned long id) const {
    ::Display* display = connection_->display;
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = id;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, id, False, NoEventMask, &event);
    XFlush(display);
}

struct RepaintWatch::Connection {
    ::Display* display = nullptr;
    ::Window window = 0;
    Damage damage = 0;
    int damageEvent = 0;
    ~Connection() {
        if (damage != 0)
            XDamageDestroy(display, damage);
        if (display != nullptr)
            XCloseDisplay(display);
    }
};

RepaintWatch::RepaintWatch(const std::string& display, unsigned long window)
    : connection_(std::make_unique<Connection>()) {
    Connection& c = *connection_;
    c.display = XOpenDisplay(display.c_str());
    if (c.display == nullptr)
        throw std::runtime_error("cannot open display " + display);
    int damageError = 0;
    if (XDamageQueryExtension(c.display, &c.damageEvent, &damageError) == 0)
        throw std::runtime_error("the X server has no DAMAGE extension");
    c.window = window;
    // One report each time the window goes from clean to drawn on; Watch cleans it again.
    c.damage = XDamageCreate(c.display, window, XDamageReportNonEmpty);
    XSync(c.display, False);
}

RepaintWatch::~RepaintWatch() = default;

RepaintWatch::Result RepaintWatch::Watch(std::chrono::milliseconds duration,
                                         std::chrono::milliseconds interval) {
    using Clock = std::chrono::steady_clock;
    Connection& c = *connection_;
    // Drawings from before the watch count for nothing.
    XDamageSubtract(c.display, c.damage, None, None);
    XSync(c.display, False);
    XEvent event;
    while (XPending(c.display) > 0)
        XNextEvent(c.display, &event);

    const Clock::time_point start = Clock::now();
    const Clock::time_point end = start + duration;
    Clock::time_point nextAsk = start;
    Clock::time_point lastDrawing = start;
    Clock::duration longest{};
    int repaints = 0;
    for (Clock::time_point now = start; now < end; now = Clock::now()) {
        if (now >= nextAsk) {
            // Width and height 0: the whole window. The program's windows have no
            // background of their own, so the server draws nothing here; only the
            // program's answer to the Expose event does.
            XClearArea(c.display, c.window, 0, 0, 0, 0, True);
            XFlush(c.display);
            nextAsk += interval;
        }
        while (XPending(c.display) > 0) {
            XNextEvent(c.display, &event);
            if (event.type != c.damageEvent + XDamageNotify)
                continue;
            const Clock::time_point at = Clock::now();
            longest = std::max(longest, at - lastDrawing);
            lastDrawing = at;
            ++repaints;
            XDamageSubtract(c.display, c.damage, None, None);
            XFlush(c.display);
        }
        const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::min(nextAsk, end) - Clock::now());
        pollfd readable{ConnectionNumber(c.display), POLLIN, 0};
        ::poll(&readable, 1, static_cast<int>(std::max<std::int64_t>(wait.count(), 0)));
    }
    longest = std::max(longest, Clock::now() - lastDrawing);
    return {std::chrono::duration_cast<std::chrono::milliseconds>(longest), repaints};
}

}  // namespace robust
