// Tests of the file services: folders, whole-file reading and the atomic replace.
#include "platform/system/Files.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

class Files : public ::testing::Test {
  protected:
    std::string folder;  // ends with "/"

    void SetUp() override {
        char pattern[] = "/tmp/brevant-files-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder = std::string(pattern) + "/";
    }
    void TearDown() override { std::system(("rm -rf '" + folder + "'").c_str()); }

    void put(const std::string& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary) << bytes;
    }
    std::string read(const std::string& path) {
        std::stringstream all;
        all << std::ifstream(path, std::ios::binary).rdbuf();
        return all.str();
    }
    std::vector<std::string> names() {
        std::vector<std::string> found;
        DIR* dir = opendir(folder.c_str());
        while (dirent* entry = readdir(dir)) {
            if (entry->d_name[0] != '.') found.push_back(entry->d_name);
        }
        closedir(dir);
        return found;
    }
};

}  // namespace

TEST_F(Files, ProgramFolderIsTheExecutablesOwn) {
    EXPECT_EQ(platform::programFolder(), std::string(BREVANT_BINARY_DIR) + "/tests/platform/system/");
}

TEST_F(Files, ConfigFolderPrefersAbsoluteXdgConfigHome) {
    const char* oldXdg = std::getenv("XDG_CONFIG_HOME");
    std::string savedXdg = oldXdg ? oldXdg : "";
    setenv("XDG_CONFIG_HOME", "/tmp/conf", 1);
    EXPECT_EQ(platform::configFolder(), "/tmp/conf/");
    setenv("XDG_CONFIG_HOME", "relative/conf", 1);
    std::string fallback = platform::configFolder();
    unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(platform::configFolder(), fallback);
    EXPECT_EQ(fallback, std::string(std::getenv("HOME")) + "/.config/");
    if (oldXdg) setenv("XDG_CONFIG_HOME", savedXdg.c_str(), 1);
}

TEST_F(Files, ReadsExactBytesAndFailsOnMissingOrFolder) {
    std::string bytes("a\0b\r\n\xff", 6);
    put(folder + "bin", bytes);
    std::vector<unsigned char> got;
    ASSERT_TRUE(platform::readFileBytes(folder + "bin", got));
    EXPECT_EQ(std::string(got.begin(), got.end()), bytes);
    EXPECT_FALSE(platform::readFileBytes(folder + "missing", got));
    EXPECT_TRUE(got.empty());
    EXPECT_FALSE(platform::readFileBytes(folder, got));
    EXPECT_TRUE(platform::isReadableFile(folder + "bin"));
    EXPECT_FALSE(platform::isReadableFile(folder));
}

// A FIFO without a writer would block a plain open for ever, and a huge file would be read whole:
// neither is read at all.
TEST_F(Files, ReadingUpToALimitNeverWaitsAndNeverReadsPastIt) {
    using platform::ReadOutcome;
    std::vector<unsigned char> got;
    put(folder + "ten", "0123456789");
    EXPECT_EQ(platform::readFileUpTo(folder + "ten", 10, got), ReadOutcome::read);
    EXPECT_EQ(got.size(), 10u);
    EXPECT_EQ(platform::readFileUpTo(folder + "ten", 9, got), ReadOutcome::tooLarge);
    EXPECT_TRUE(got.empty());
    const std::string huge = folder + "huge";  // 50 MB, sparse: no disk space taken
    put(huge, "");
    ASSERT_EQ(truncate(huge.c_str(), 50'000'000), 0);
    EXPECT_EQ(platform::readFileUpTo(huge, 1 << 20, got), ReadOutcome::tooLarge);
    ASSERT_EQ(mkfifo((folder + "fifo").c_str(), 0644), 0);
    EXPECT_EQ(platform::readFileUpTo(folder + "fifo", 100, got), ReadOutcome::notRegular);
    ASSERT_EQ(symlink((folder + "none").c_str(), (folder + "dangling").c_str()), 0);
    EXPECT_EQ(platform::readFileUpTo(folder + "dangling", 100, got), ReadOutcome::notRegular);
    EXPECT_EQ(platform::readFileUpTo(folder, 100, got), ReadOutcome::notRegular);
    EXPECT_EQ(platform::readFileUpTo(folder + "none", 100, got), ReadOutcome::missing);
    EXPECT_EQ(platform::readFileUpTo(folder + "ten/x", 100, got), ReadOutcome::missing);
    ASSERT_EQ(symlink((folder + "loop").c_str(), (folder + "loop").c_str()), 0);
    EXPECT_EQ(platform::readFileUpTo(folder + "loop", 100, got), ReadOutcome::unreadable);
    EXPECT_EQ(errno, ELOOP);
}

TEST_F(Files, CreatesNestedFoldersThatAreThenWritable) {
    std::string nested = folder + "a/b/c/";
    EXPECT_FALSE(platform::isFolderWritable(nested));
    ASSERT_TRUE(platform::createFolderPath(nested));
    EXPECT_TRUE(platform::isFolderWritable(nested));
    EXPECT_TRUE(platform::createFolderPath(nested));
    put(folder + "plain", "x");
    EXPECT_FALSE(platform::createFolderPath(folder + "plain/sub"));
}

TEST_F(Files, AtomicWriteReplacesContentsKeepsModeAndLeavesNoTemporaryFile) {
    std::string path = folder + "settings.cfg";
    ASSERT_TRUE(platform::writeFileAtomically(path, "first", 5));
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    ASSERT_TRUE(platform::writeFileAtomically(path, "second\r\n", 8));
    EXPECT_EQ(read(path), "second\r\n");
    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(names(), std::vector<std::string>{"settings.cfg"});
    EXPECT_FALSE(platform::writeFileAtomically(folder + "missing/settings.cfg", "x", 1));
}

TEST_F(Files, AtomicWriteThroughSymbolicLinkReplacesTheTarget) {
    std::string path = folder + "target", link = folder + "link";
    put(path, "old");
    ASSERT_EQ(symlink(path.c_str(), link.c_str()), 0);
    ASSERT_TRUE(platform::writeFileAtomically(link, "new", 3));
    struct stat info {};
    ASSERT_EQ(lstat(link.c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    EXPECT_EQ(read(path), "new");
}

// Only a regular file is ever replaced: not a FIFO or device of that name, and not a link to one,
// to a folder, to nothing or to itself. Each stays exactly what it was.
TEST_F(Files, AtomicWriteLeavesAnythingButARegularFileAlone) {
    const std::string fifo = folder + "fifo", device = folder + "device";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    std::vector<std::string> names = {fifo};
    std::vector<std::pair<std::string, std::string>> links = {{fifo, "to-fifo"},
                                                              {folder + "none", "dangling"},
                                                              {folder + "self", "self"},
                                                              {folder, "to-folder"}};
    // Root can make a device node (here one like /dev/null's) to try the same on.
    if (mknod(device.c_str(), S_IFCHR | 0644, makedev(1, 3)) == 0) {
        names.push_back(device);
        links.push_back({device, "to-device"});
    }
    for (const auto& [target, name] : links) {
        ASSERT_EQ(symlink(target.c_str(), (folder + name).c_str()), 0);
        names.push_back(folder + name);
    }
    for (const std::string& name : names) {
        struct stat before {};
        lstat(name.c_str(), &before);
        EXPECT_FALSE(platform::writeFileAtomically(name, "x", 1)) << name;
        struct stat after {};
        lstat(name.c_str(), &after);
        EXPECT_EQ(after.st_ino, before.st_ino) << name;
        EXPECT_EQ(after.st_mode, before.st_mode) << name;
    }
    for (const std::string& left : this->names())
        EXPECT_EQ(left.find(".tmp."), std::string::npos) << left;
    EXPECT_EQ(access((folder + "none").c_str(), F_OK), -1);
}

// A save whose process died left its temporary file; the next save of that file removes it.
// A temporary file of a live process may be its save in progress, and stays.
TEST_F(Files, AtomicWriteRemovesTemporaryFilesOfDeadSaves) {
    const pid_t child = fork();
    if (child == 0) _exit(0);
    ASSERT_GT(child, 0);
    waitpid(child, nullptr, 0);
    const std::string path = folder + "settings.cfg";
    const std::string dead = path + ".tmp." + std::to_string(child) + ".0";
    const std::string live = path + ".tmp." + std::to_string(getppid()) + ".3";
    const std::string other = folder + "other.cfg.tmp." + std::to_string(child) + ".0";
    for (const std::string& name : {dead, live, other})
        put(name, "half");
    ASSERT_TRUE(platform::writeFileAtomically(path, "new", 3));
    EXPECT_EQ(access(dead.c_str(), F_OK), -1);
    EXPECT_EQ(access(live.c_str(), F_OK), 0);
    EXPECT_EQ(access(other.c_str(), F_OK), 0);
    // The same for a file named relative to the working folder.
    put(dead, "half");
    char* before = getcwd(nullptr, 0);
    ASSERT_EQ(chdir(folder.c_str()), 0);
    const bool written = platform::writeFileAtomically("settings.cfg", "newer", 5);
    ASSERT_EQ(chdir(before), 0);
    std::free(before);
    EXPECT_TRUE(written);
    EXPECT_EQ(access(dead.c_str(), F_OK), -1);
    EXPECT_EQ(read(path), "newer");
}

TEST_F(Files, WriteFailingHalfWayLeavesOldFileByteIdentical) {
    std::string path = folder + "settings.cfg";
    std::string old = "old contents\r\n";
    put(path, old);
    std::string big(200000, 'n');
    // A file size limit makes the write fall short part of the way, for root as well.
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 4096;
    void (*previous)(int) = signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    bool written = platform::writeFileAtomically(path, big.data(), big.size());
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, previous);

    EXPECT_FALSE(written);
    EXPECT_EQ(read(path), old);
    EXPECT_EQ(names(), std::vector<std::string>{"settings.cfg"});
}
