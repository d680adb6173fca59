// Opening a web address with the desktop's opener, started as a process of its own.
#include "platform/system/Shell.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <mutex>
#include <thread>

extern char** environ;

namespace platform {

namespace {

std::mutex openerLock;
std::string opener = "xdg-open";

std::string currentOpener() {
    std::lock_guard<std::mutex> guard(openerLock);
    return opener;
}

// The opener reads nothing and its messages must not reach the terminal; it runs in a process
// group of its own so that a Ctrl+C meant for this program does not reach the browser.
bool prepare(posix_spawn_file_actions_t& actions, posix_spawnattr_t& attributes) {
    if (posix_spawn_file_actions_init(&actions) != 0) return false;
    for (int fd = 0; fd <= 2; fd++) {
        posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY,
                                         0);
    }
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(
        &attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);
    return true;
}

// The opener may live as long as the browser it starts; wait for it away from the caller.
void reapInBackground(pid_t child) {
    try {
        std::thread([child] {
            while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
            }
        }).detach();
    } catch (...) {
        // Without a thread the finished opener stays a zombie until this program ends; the
        // page is opened all the same.
    }
}

}  // namespace

bool openWebAddress(const std::string& address) {
    if (address.empty() || address[0] == '-') return false;
    std::string program = currentOpener();
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    if (!prepare(actions, attributes)) return false;
    char* argv[] = {program.data(), const_cast<char*>(address.c_str()), nullptr};
    pid_t child = 0;
    int failed = posix_spawnp(&child, program.c_str(), &actions, &attributes, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (failed != 0) return false;
    reapInBackground(child);
    return true;
}

void setWebOpener(const std::string& program) {
    std::lock_guard<std::mutex> guard(openerLock);
    opener = program.empty() ? "xdg-open" : program;
}

}  // namespace platform
