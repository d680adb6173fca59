// Our own Link peer (tools/linkpeer) run inside a test's private network namespace, driven by
// lines.
#pragma once

#include <cstdio>
#include <sstream>
#include <string>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "PrivateNetwork.h"

namespace testsupport {

// Each command is one line to the peer and one line back ("peers N tempo T beat B playing P
// host H" for most); see tools/linkpeer/linkpeer.cpp.
class LinkPeer {
  public:
    struct Shown {
        int peers = -1;
        double tempo = 0;
        double beat = 0;
        bool playing = false;
    };

    LinkPeer(const PrivateNetwork& network, const std::string& program, double bpm) {
        int toPeer[2], fromPeer[2];
        if (pipe(toPeer) != 0 || pipe(fromPeer) != 0) return;
        pid = fork();
        if (pid == 0) {
            dup2(toPeer[0], 0);
            dup2(fromPeer[1], 1);
            close(toPeer[1]);
            close(fromPeer[0]);
            const std::string tempo = std::to_string(bpm);
            execl("/usr/sbin/ip", "ip", "netns", "exec", network.id().c_str(), program.c_str(),
                  tempo.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        close(toPeer[0]);
        close(fromPeer[1]);
        in = fdopen(toPeer[1], "w");
        out = fdopen(fromPeer[0], "r");
    }
    ~LinkPeer() { leave(); }
    LinkPeer(const LinkPeer&) = delete;
    LinkPeer& operator=(const LinkPeer&) = delete;

    // Sends a command and returns the peer's answer (empty when it is gone).
    std::string ask(const std::string& command) {
        if (in == nullptr || out == nullptr) return "";
        std::fprintf(in, "%s\n", command.c_str());
        std::fflush(in);
        char line[256];
        if (std::fgets(line, sizeof line, out) == nullptr) return "";
        return line;
    }
    Shown show(const std::string& command = "show") {
        Shown shown;
        std::istringstream answer(ask(command));
        std::string word;
        int playing = 0;
        answer >> word >> shown.peers >> word >> shown.tempo >> word >> shown.beat >> word >>
            playing;
        shown.playing = playing != 0;
        return shown;
    }
    // Asks until the peer sees `count` peers, at most `ms` milliseconds.
    bool waitForPeers(int count, int ms) {
        for (int waited = 0; waited < ms; waited += 100) {
            if (show().peers == count) return true;
            usleep(100000);
        }
        return false;
    }
    // Leaves the session and ends.
    void leave() {
        if (pid <= 0) return;
        if (in) std::fprintf(in, "quit\n");
        if (in) std::fclose(in);
        if (out) std::fclose(out);
        in = out = nullptr;
        waitpid(pid, nullptr, 0);
        pid = -1;
    }

  private:
    pid_t pid = -1;
    std::FILE* in = nullptr;
    std::FILE* out = nullptr;
};

}  // namespace testsupport
