// GoogleTest entry for the window tests that run on a real X server: a private
// Xvfb display with a window manager (frames, maximizing, focus as on a
// desktop), the xcb platform, and key presses and clicks as real events.
#include <QApplication>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

pid_t g_xvfb = 0;
pid_t g_wm = 0;

// In a child just forked: it ends with the test program, however that ends
// (a sanitizer's abort included), and holds none of the test runner's output
// pipes, so a runner never waits for a display that nobody uses any more.
void detachChild() {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    const int devnull = open("/dev/null", O_RDWR);
    dup2(devnull, 0);
    dup2(devnull, 1);
    dup2(devnull, 2);
    if (devnull > 2)
        close(devnull);
}

void stopChildren() {
    for (pid_t* p : {&g_wm, &g_xvfb}) {
        if (*p > 0) {
            kill(*p, SIGTERM);
            waitpid(*p, nullptr, 0);
            *p = 0;
        }
    }
}

// Starts Xvfb on the first free display it finds; the display number comes
// back through -displayfd once the server accepts connections.
std::string startXvfb() {
    int fds[2];
    if (pipe(fds) != 0)
        return {};
    g_xvfb = fork();
    if (g_xvfb == 0) {
        close(fds[0]);
        detachChild();
        const std::string fd = std::to_string(fds[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24",
               "-nolisten", "tcp", "-noreset", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    char buf[32] = {};
    std::size_t got = 0;
    while (got < sizeof buf - 1) {
        const ssize_t n = read(fds[0], buf + got, sizeof buf - 1 - got);
        if (n <= 0 || std::memchr(buf, '\n', got + std::size_t(n)))
            break;
        got += std::size_t(n);
    }
    close(fds[0]);
    std::string display(buf);
    while (!display.empty() && (display.back() == '\n' || display.back() == '\r'))
        display.pop_back();
    return display.empty() ? std::string() : ":" + display;
}

void startWindowManager() {
    g_wm = fork();
    if (g_wm == 0) {
        detachChild();
        execlp("openbox", "openbox", "--sm-disable", static_cast<char*>(nullptr));
        _exit(127);
    }
    // Let the window manager take the screen before the first window maps.
    usleep(400 * 1000);
}

bool listingOnly(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (std::strncmp(argv[i], "--gtest_list_tests", 18) == 0)
            return true;
    return false;
}

} // namespace

int main(int argc, char** argv) {
    if (listingOnly(argc, argv)) {
        ::testing::InitGoogleTest(&argc, argv);
        return RUN_ALL_TESTS();
    }
    const std::string display = startXvfb();
    if (display.empty()) {
        std::fprintf(stderr, "Xvfb could not be started\n");
        stopChildren();
        return 1;
    }
    setenv("DISPLAY", display.c_str(), 1);
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    unsetenv("WAYLAND_DISPLAY");
    startWindowManager();
    std::atexit(stopChildren);
    int rc = 0;
    {
        QApplication app(argc, argv);
        ::testing::InitGoogleTest(&argc, argv);
        rc = RUN_ALL_TESTS();
    }
    stopChildren();
    return rc;
}
