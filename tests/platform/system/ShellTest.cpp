// Tests of the web-address opener: what it is handed, silence on the terminal, no zombies.
#include "platform/system/Shell.h"

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/system/Clock.h"

namespace {

class Shell : public ::testing::Test {
  protected:
    std::string folder;
    std::string script;
    std::string marker;

    // A stand-in for the browser opener: it records its argument, talks on both output
    // streams, and only then signals that it is done.
    void SetUp() override {
        char pattern[] = "/tmp/brevant-shell-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder = pattern;
        script = folder + "/opener";
        marker = folder + "/opened";
        std::ofstream(script) << "#!/bin/sh\n"
                                 "echo noise; echo noise >&2\n"
                                 "printf '%s' \"$1\" > '"
                              << marker << ".part'\nmv '" << marker << ".part' '" << marker
                              << "'\n";
        chmod(script.c_str(), 0755);
        platform::setWebOpener(script);
    }
    void TearDown() override {
        platform::setWebOpener("");
        std::system(("rm -rf '" + folder + "'").c_str());
    }

    // Polls for a condition; the generous limit only guards against a hang.
    template <typename Condition>
    bool eventually(Condition condition) {
        for (int i = 0; i < 1000; i++) {
            if (condition()) return true;
            platform::sleepMilliseconds(10);
        }
        return false;
    }

    std::string read(const std::string& path) {
        std::stringstream all;
        all << std::ifstream(path, std::ios::binary).rdbuf();
        return all.str();
    }
};

// Children of this process still in the process table, finished (zombies) or not.
int childProcesses() {
    int count = 0;
    DIR* proc = opendir("/proc");
    while (dirent* entry = readdir(proc)) {
        std::ifstream stat(std::string("/proc/") + entry->d_name + "/stat");
        std::string line;
        if (!std::getline(stat, line)) continue;
        std::istringstream fields(line.substr(line.rfind(')') + 2));
        char state = 0;
        int parent = 0;
        fields >> state >> parent;
        if (parent == getpid()) count++;
    }
    closedir(proc);
    return count;
}

}  // namespace

TEST_F(Shell, HandsTheAddressOverSilentlyAndLeavesNoZombie) {
    // Catch anything written to this process's terminal streams while the opener runs.
    std::string captured = folder + "/terminal";
    fflush(stdout);
    fflush(stderr);
    int savedOut = dup(1), savedErr = dup(2);
    int capture = open(captured.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(capture, 1);
    dup2(capture, 2);

    bool started = platform::openWebAddress("http://www.brevant.example/brevant.html");
    bool opened = eventually([&] { return access(marker.c_str(), F_OK) == 0; });
    bool reaped = eventually([] { return childProcesses() == 0; });

    dup2(savedOut, 1);
    dup2(savedErr, 2);
    close(savedOut);
    close(savedErr);
    close(capture);

    EXPECT_TRUE(started);
    ASSERT_TRUE(opened);
    EXPECT_EQ(read(marker), "http://www.brevant.example/brevant.html");
    EXPECT_TRUE(reaped);
    EXPECT_EQ(read(captured), "");
}

TEST_F(Shell, RefusesEmptyAddressesOptionsAndMissingOpener) {
    EXPECT_FALSE(platform::openWebAddress(""));
    EXPECT_FALSE(platform::openWebAddress("--help"));
    platform::setWebOpener(folder + "/no-such-opener");
    EXPECT_FALSE(platform::openWebAddress("http://www.brevant.example/"));
    EXPECT_NE(access(marker.c_str(), F_OK), 0);
}
