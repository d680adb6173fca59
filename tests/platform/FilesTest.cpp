// Tests of the file services: folders, whole-file reading and the atomic replace.
#include "platform/Files.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
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
    void TearDown() override {
        chmod(folder.c_str(), 0755);
        std::system(("rm -rf '" + folder + "'").c_str());
    }

    void put(const std::string& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary) << bytes;
    }
    std::string read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream all;
        all << in.rdbuf();
        return all.str();
    }
    std::vector<std::string> names() {
        std::vector<std::string> found;
        DIR* dir = opendir(folder.c_str());
        while (dirent* entry = readdir(dir)) {
            std::string name = entry->d_name;
            if (name != "." && name != "..") found.push_back(name);
        }
        closedir(dir);
        return found;
    }
};

// Sets an environment variable for the length of a test.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        const char* old = std::getenv(name);
        had_ = old != nullptr;
        if (had_) old_ = old;
        if (value) {
            setenv(name, value, 1);
        } else {
            unsetenv(name);
        }
    }
    ~ScopedEnv() {
        if (had_) {
            setenv(name_, old_.c_str(), 1);
        } else {
            unsetenv(name_);
        }
    }

  private:
    const char* name_;
    bool had_ = false;
    std::string old_;
};

}  // namespace

TEST_F(Files, ProgramFolderIsTheExecutablesOwn) {
    std::string programs = platform::programFolder();
    ASSERT_FALSE(programs.empty());
    EXPECT_EQ(programs.back(), '/');
    EXPECT_EQ(programs, std::string(BREVANT_BINARY_DIR) + "/tests/platform/");
    EXPECT_TRUE(platform::isReadableFile(programs + "test_platform"));
}

TEST_F(Files, ConfigFolderPrefersAbsoluteXdgConfigHome) {
    ScopedEnv home("HOME", "/home/someone");
    {
        ScopedEnv xdg("XDG_CONFIG_HOME", "/tmp/conf");
        EXPECT_EQ(platform::configFolder(), "/tmp/conf/");
    }
    {
        ScopedEnv xdg("XDG_CONFIG_HOME", "relative/conf");
        EXPECT_EQ(platform::configFolder(), "/home/someone/.config/");
    }
    ScopedEnv xdg("XDG_CONFIG_HOME", nullptr);
    EXPECT_EQ(platform::configFolder(), "/home/someone/.config/");
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
    EXPECT_FALSE(platform::isReadableFile(folder));
    EXPECT_FALSE(platform::isReadableFile(folder + "missing"));
}

TEST_F(Files, CreatesNestedFoldersThatAreThenWritable) {
    std::string nested = folder + "a/b/c/";
    EXPECT_FALSE(platform::isFolderWritable(nested));
    ASSERT_TRUE(platform::createFolderPath(nested));
    EXPECT_TRUE(platform::isFolderWritable(nested));
    EXPECT_TRUE(platform::createFolderPath(nested));  // already there
    put(folder + "plain", "x");
    EXPECT_FALSE(platform::createFolderPath(folder + "plain/sub"));
    EXPECT_FALSE(platform::isFolderWritable(folder + "plain"));
}

TEST_F(Files, AtomicWriteReplacesContentsAndLeavesNoTemporaryFile) {
    std::string path = folder + "settings.cfg";
    ASSERT_TRUE(platform::writeFileAtomically(path, "first", 5));
    EXPECT_EQ(read(path), "first");
    ASSERT_TRUE(platform::writeFileAtomically(path, "second\r\n", 8));
    EXPECT_EQ(read(path), "second\r\n");
    ASSERT_TRUE(platform::writeFileAtomically(path, "", 0));
    EXPECT_EQ(read(path), "");
    EXPECT_EQ(names(), std::vector<std::string>{"settings.cfg"});
}

TEST_F(Files, AtomicWriteKeepsModeAndFollowsSymbolicLinks) {
    std::string path = folder + "kept";
    put(path, "old");
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    ASSERT_TRUE(platform::writeFileAtomically(path, "new", 3));
    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);

    std::string link = folder + "link";
    ASSERT_EQ(symlink(path.c_str(), link.c_str()), 0);
    ASSERT_TRUE(platform::writeFileAtomically(link, "via link", 8));
    ASSERT_EQ(lstat(link.c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    EXPECT_EQ(read(path), "via link");
}

TEST_F(Files, AtomicWriteIntoMissingFolderFails) {
    EXPECT_FALSE(platform::writeFileAtomically(folder + "missing/settings.cfg", "x", 1));
    EXPECT_FALSE(platform::writeFileAtomically("", "x", 1));
    EXPECT_FALSE(platform::writeFileAtomically(folder, "x", 1));
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

TEST_F(Files, WriteIntoReadOnlyFolderLeavesOldFile) {
    if (geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
    std::string path = folder + "settings.cfg";
    put(path, "old");
    ASSERT_EQ(chmod(folder.c_str(), 0555), 0);
    EXPECT_FALSE(platform::writeFileAtomically(path, "new", 3));
    EXPECT_EQ(read(path), "old");
}
