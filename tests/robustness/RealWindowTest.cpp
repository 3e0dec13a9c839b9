// The built program in a real X window, driven with the mouse and the keyboard as a user
// would drive it: it lands on the table window, sends a table to PostgreSQL, and ends
// when its window is closed.
#include <chrono>
#include <cstdlib>
#include <functional>
#include <thread>

#include "RobustnessSupport.h"
#include "XDisplay.h"
#include "app/Twips.h"

using korvanta::Twips;
using Rows = std::vector<std::string>;

namespace {

// Checks the condition every tenth of a second until it holds or the time is up.
bool WaitFor(const std::function<bool()>& condition, int seconds = 30) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return true;
}

std::string Describe(const std::vector<robust::WindowList::Window>& windows) {
    std::string text;
    for (const auto& w : windows)
        text +=
            "'" + w.title + "' " + std::to_string(w.width) + "x" + std::to_string(w.height) + "; ";
    return text;
}

TEST(RealWindow, StartsOnTheTableWindowSendsATableWithTheMouseAndEndsWhenClosed) {
    // A table that sorts first in the SQL Anywhere list, so it is the first row.
    const std::string table = testdb::uniqueName("aaa");
    testdb::sqlite("CREATE TABLE " + robust::Ident(table) +
                   "(n INTEGER, label TEXT); INSERT INTO " + robust::Ident(table) +
                   " VALUES(1, 'one'), (2, 'two');");
    QTemporaryDir home;
    robust::StoreTestDatabases(home.filePath("config/Quillmere.ini"));

    robust::VirtualScreen screen;
    robust::WindowList windows(screen.Display());
    const std::string display = "DISPLAY=" + screen.Display();
    robust::ChildProcess program({"timeout", "120", KV_PROGRAM},
                                 {display, "QT_QPA_PLATFORM=xcb",
                                  "XDG_CONFIG_HOME=" + home.filePath("config").toStdString()});

    // The table window is the only window on screen: 8040 twips wide, and as high as the
    // bottom of "< Back" plus 580 twips (without a window manager there is no frame).
    // The connection window, 5175 twips high, never shows.
    const int width = Twips(8040);
    const int height = Twips(4980) + Twips(405) + Twips(580);
    std::vector<robust::WindowList::Window> shown;
    ASSERT_TRUE(WaitFor([&] {
        shown = windows.Viewable();
        return shown.size() == 1 && shown[0].title == "Korvanta" && shown[0].width == width &&
               shown[0].height == height;
    })) << Describe(shown);
    const std::string window = std::to_string(shown[0].id);
    const auto xdotool = [&](const std::string& arguments) {
        return std::system(("env " + display + " xdotool " + arguments).c_str());
    };

    // A click on the first row of List1 (group at 120,120 twips, list at 240,360 inside it);
    // typing the name then picks the table whatever else the list holds.
    const int listX = Twips(120 + 240) + 6;
    const int listY = Twips(120 + 360) + 4;
    ASSERT_EQ(xdotool("mousemove --window " + window + " " + std::to_string(listX) + " " +
                      std::to_string(listY) + " click 1"),
              0);
    ASSERT_EQ(xdotool("type --delay 30 " + table), 0);
    // "Send Table/s To PostgreSQL": in the group at 240,2638 twips, 3330 by 405.
    const int sendX = Twips(120 + 240 + 3330 / 2);
    const int sendY = Twips(120 + 2638 + 405 / 2);
    ASSERT_EQ(xdotool("mousemove --window " + window + " " + std::to_string(sendX) + " " +
                      std::to_string(sendY) + " click 1"),
              0);

    const std::string count = "SELECT count(*) FROM pg_tables WHERE tablename = '" + table + "'";
    EXPECT_TRUE(WaitFor([&] {
        return testdb::psql(count) == Rows{"1"} &&
               testdb::psql("SELECT count(*) FROM " + robust::Ident(table)) == Rows{"2"};
    })) << "the table did not arrive";
    EXPECT_EQ(testdb::psql("SELECT n, label FROM " + robust::Ident(table) + " ORDER BY n"),
              (Rows{"1|one", "2|two"}));
    // No message box came up: the table window is still the only window.
    shown = windows.Viewable();
    EXPECT_EQ(shown.size(), 1u) << Describe(shown);

    windows.RequestClose(shown[0].id);
    ASSERT_TRUE(program.WaitForEnd(30)) << "the program did not end when its window closed";
    EXPECT_EQ(program.ExitCode(), 0);
    testdb::psql("DROP TABLE " + robust::Ident(table));
    testdb::sqlite("DROP TABLE " + robust::Ident(table));
}

}  // namespace
