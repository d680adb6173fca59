// A private Xvfb for tests, on a display number the server chose itself.
#pragma once

#include <cstdlib>
#include <string>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace testsupport {

// Xvfb picks a free display number itself (-displayfd) and writes it once it accepts
// connections: a number chosen by the test could be taken by another server starting at the
// same moment (another test running beside this one), and the test would then talk to that one.
class Xvfb {
  public:
    // screen: "WIDTHxHEIGHTxDEPTH". The server keeps its resources when its last client leaves
    // (-noreset), so that a test can set them with one command and read them with another.
    explicit Xvfb(const std::string& screen) {
        int fds[2];
        if (pipe(fds) != 0) return;
        const std::string fd = std::to_string(fds[1]);
        const char* argv[] = {"Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(),
                              "-nolisten", "tcp", "-noreset", nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        if (posix_spawnp(&pid, "Xvfb", &actions, nullptr, const_cast<char**>(argv), environ) != 0)
            pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        const int number = pid > 0 ? readDisplayNumber(fds[0]) : -1;
        close(fds[0]);
        if (number < 0) {
            stop();
            return;
        }
        name = ":" + std::to_string(number);
    }

    ~Xvfb() { stop(); }
    Xvfb(const Xvfb&) = delete;
    Xvfb& operator=(const Xvfb&) = delete;

    bool running() const { return pid > 0; }
    const std::string& display() const { return name; }

    // Ends the server now, as a crash or the end of a session does: its clients lose the display.
    void stop() {
        if (pid <= 0) return;
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
        pid = -1;
    }

  private:
    // The display number the server writes to the pipe, or -1 when it writes none in 30 s.
    static int readDisplayNumber(int fd) {
        std::string text;
        char c = 0;
        pollfd waiting{fd, POLLIN, 0};
        while (text.find('\n') == std::string::npos && poll(&waiting, 1, 30000) > 0 &&
               read(fd, &c, 1) == 1)
            text += c;
        return text.empty() || text.back() != '\n' ? -1 : std::atoi(text.c_str());
    }

    pid_t pid = -1;
    std::string name;
};

}  // namespace testsupport
