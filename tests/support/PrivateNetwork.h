// A private network namespace for tests of Link: its own loopback, with multicast, and nothing
// else.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

namespace testsupport {

// Link sends multicast on every interface it finds; a test that joins a session must do so
// where no other machine can hear it. The namespace is made with `ip netns` under a name of its
// own (with "21" and the process id), so that the programs a test starts can enter it through
// `ip netns exec`; enter() moves the calling thread (and the threads it starts later) into it,
// and the destructor moves it back and removes the namespace. Needs root, as the tests have.
class PrivateNetwork {
  public:
    PrivateNetwork()
        : name("brevant21-" + std::to_string(getpid()) + "-" + std::to_string(serial()++)) {
        const std::string n = " " + name;
        ok = run("ip netns add" + n) && run("ip -n" + n + " link set lo up") &&
             run("ip -n" + n + " link set lo multicast on") &&
             run("ip -n" + n + " route add 224.0.0.0/4 dev lo");
    }
    ~PrivateNetwork() {
        leave();
        run("ip netns delete " + name);
    }
    PrivateNetwork(const PrivateNetwork&) = delete;
    PrivateNetwork& operator=(const PrivateNetwork&) = delete;

    bool ready() const { return ok; }
    // The command prefix that runs a program inside the namespace.
    std::string exec() const { return "ip netns exec " + name + " "; }
    const std::string& id() const { return name; }

    // Moves the calling thread into the namespace; false (and nothing moved) on failure.
    bool enter() {
        if (!ok || home >= 0) return false;
        home = open("/proc/self/ns/net", O_RDONLY | O_CLOEXEC);
        const int fd = open(("/var/run/netns/" + name).c_str(), O_RDONLY | O_CLOEXEC);
        const bool moved = home >= 0 && fd >= 0 && setns(fd, CLONE_NEWNET) == 0;
        if (fd >= 0) close(fd);
        if (!moved && home >= 0) {
            close(home);
            home = -1;
        }
        return moved;
    }
    void leave() {
        if (home < 0) return;
        setns(home, CLONE_NEWNET);
        close(home);
        home = -1;
    }

  private:
    std::string name;
    bool ok = false;
    int home = -1;

    static int& serial() {
        static int count = 0;
        return count;
    }
    static bool run(const std::string& command) {
        return std::system((command + " > /dev/null 2>&1").c_str()) == 0;
    }
};

}  // namespace testsupport
