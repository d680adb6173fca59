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
    EXPECT_EQ(platform::programFolder(), std::string(BREVANT_BINARY_DIR) + "/tests/platform/");
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
