// SPDX-License-Identifier: GPL-3.0-or-later
// The program takes no options: started with arguments, the toolkit's own
// among them, it shows the very same window, pixel for pixel, under the same
// title, and ends with 0 when the window manager closes it.

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/support/x11/x_server.h"

extern char** environ;

namespace zr8::x_test {
namespace {

struct Shown {
    std::string title;
    WindowPicture picture;
    int exitCode = -1;
};

// Runs zr8-setup with `arguments`, waits until its window has stopped
// changing, takes its picture and closes it as a window manager does.
Shown runProgram(const std::vector<std::string>& arguments) {
    Shown shown;
    std::vector<char*> argv{const_cast<char*>(ZR8_SETUP_PATH)};
    for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, ZR8_SETUP_PATH, nullptr, nullptr, argv.data(), environ) != 0) {
        ADD_FAILURE() << "cannot start " << ZR8_SETUP_PATH;
        return shown;
    }
    WindowManager manager(qEnvironmentVariable("DISPLAY").toStdString());
    uint32_t window = 0;
    QElapsedTimer clock;
    clock.start();
    WindowPicture last;
    int sameInARow = 0;
    while (clock.elapsed() < 20000 && sameInARow < 3) {
        QTest::qSleep(100);
        if (window == 0) window = manager.windowOf(pid);
        if (window == 0) continue;
        WindowPicture now = manager.picture(window);
        sameInARow = !now.pixels.empty() && now == last ? sameInARow + 1 : 0;
        last = std::move(now);
    }
    if (window != 0) {
        shown.title = manager.title(window);
        shown.picture = std::move(last);
        EXPECT_TRUE(manager.close(window));
    } else {
        ADD_FAILURE() << "no window of " << ZR8_SETUP_PATH << " on "
                      << qEnvironmentVariable("DISPLAY").toStdString();
        kill(pid, SIGKILL);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    shown.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return shown;
}

TEST(CommandLine, ArgumentsChangeNothing) {
    const Shown plain = runProgram({});
    ASSERT_EQ(plain.exitCode, 0);
    ASSERT_FALSE(plain.picture.pixels.empty());
    const std::vector<std::vector<std::string>> commandLines = {
        {"-reverse", "-style", "fusion"},
        {"-style", "windows", "-stylesheet", "/dev/null", "-qwindowgeometry", "320x200+3+4",
         "-qwindowtitle", "other", "-platform", "offscreen", "-reverse"},
        {"--help", "COM3", "-baud", "115200"},
    };
    for (const auto& arguments : commandLines) {
        std::string line;
        for (const std::string& a : arguments) line += " " + a;
        const Shown shown = runProgram(arguments);
        EXPECT_EQ(shown.exitCode, 0) << line;
        EXPECT_EQ(shown.title, plain.title) << line;
        EXPECT_EQ(shown.picture.width, plain.picture.width) << line;
        EXPECT_EQ(shown.picture.height, plain.picture.height) << line;
        EXPECT_TRUE(shown.picture == plain.picture) << line << ": the window looks different";
    }
}

}  // namespace
}  // namespace zr8::x_test
