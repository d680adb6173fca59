// Processes that only spin, one per core and more, as a build beside the program would.
#pragma once

#include <vector>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace testsupport {

class BusyProcesses {
  public:
    explicit BusyProcesses(int count) {
        for (int i = 0; i < count; ++i) {
            pid_t pid = fork();
            if (pid == 0) {
                volatile unsigned long n = 0;
                for (;;)
                    n = n + 1;
            }
            if (pid > 0) pids_.push_back(pid);
        }
    }
    ~BusyProcesses() {
        for (pid_t pid : pids_)
            kill(pid, SIGKILL);
        for (pid_t pid : pids_)
            waitpid(pid, nullptr, 0);
    }
    BusyProcesses(const BusyProcesses&) = delete;
    BusyProcesses& operator=(const BusyProcesses&) = delete;

  private:
    std::vector<pid_t> pids_;
};

}  // namespace testsupport
