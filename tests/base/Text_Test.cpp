// Tests of Text_: line ends, long lines, trailing blank lines and saving.
#include "base/Text_.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

class TextFile : public ::testing::Test {
  protected:
    std::string folder;

    void SetUp() override {
        char pattern[] = "/tmp/brevant-text-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder = pattern;
    }
    void TearDown() override { std::system(("rm -rf '" + folder + "'").c_str()); }

    std::string write(const std::string& bytes) {
        std::string path = folder + "/file.txt";
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    std::string read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream all;
        all << in.rdbuf();
        return all.str();
    }
};

std::vector<AnsiString> lines(const Text_& text) {
    return std::vector<AnsiString>(text.items, text.items + text.top + 1);
}

}  // namespace

TEST_F(TextFile, FinalLineEndYieldsEmptyLastLineUnlessDropped) {
    std::string path = write("a\nb\n");
    Text_ text;
    ASSERT_TRUE(text.load(path, false));
    EXPECT_EQ(lines(text), (std::vector<AnsiString>{"a", "b", ""}));
    ASSERT_TRUE(text.load(path, true));
    EXPECT_EQ(lines(text), (std::vector<AnsiString>{"a", "b"}));
}

TEST_F(TextFile, CrLfAndLoneLfEachEndOneLineAndNoCrIsStored) {
    Text_ text;
    ASSERT_TRUE(text.load(write("a\r\nb\nc\r\n\r\nd"), false));
    EXPECT_EQ(lines(text), (std::vector<AnsiString>{"a", "b", "c", "", "d"}));
}

TEST_F(TextFile, EmptyFileIsOneEmptyLineOrNone) {
    std::string path = write("");
    Text_ text;
    ASSERT_TRUE(text.load(path, false));
    EXPECT_EQ(lines(text), (std::vector<AnsiString>{""}));
    ASSERT_TRUE(text.load(path, true));
    EXPECT_EQ(text.top, -1);
    EXPECT_EQ(text.capacity, 0);
}

TEST_F(TextFile, StorageFitsTheLinesAfterLoadAndThenGrowsByThousand) {
    Text_ text;
    ASSERT_TRUE(text.load(write("x\ny\nz"), false));
    EXPECT_EQ(text.capacity, 3);
    EXPECT_EQ(text.step, 1000);
    text.add("w");
    EXPECT_EQ(text.capacity, 1003);
}

TEST_F(TextFile, LongLinesAreSplitNeverMergedWithTheNext) {
    std::string longLine(25000, 'x');
    std::string exact(Text_::maxLineBytes, 'y');
    Text_ text;
    ASSERT_TRUE(text.load(write(longLine + "\nnext\r\n" + exact + "\r\nlast"), false));
    ASSERT_EQ(text.top, 5);
    EXPECT_TRUE(text.items[0] == std::string(9999, 'x'));
    EXPECT_TRUE(text.items[1] == std::string(9999, 'x'));
    EXPECT_TRUE(text.items[2] == std::string(5002, 'x'));
    EXPECT_EQ(text.items[3], "next");
    EXPECT_TRUE(text.items[4] == exact);
    EXPECT_EQ(text.items[5], "last");
}

TEST_F(TextFile, UnreadableFileLeavesLinesUnchanged) {
    Text_ text;
    text.add("kept");
    EXPECT_FALSE(text.load(folder + "/missing.txt", true));
    EXPECT_FALSE(text.load(folder, true));
    EXPECT_EQ(lines(text), (std::vector<AnsiString>{"kept"}));
}

TEST_F(TextFile, DropsBlankTrailingLinesUpToOneThatIsNot) {
    Text_ text;
    text.add("a").add(" ").add("\t\t").add("\x80\xff").add("");
    text.dropTrailingBlankLines();
    EXPECT_EQ(lines(text), (std::vector<AnsiString>{"a", " "}));
    Text_ allBlank;
    allBlank.add("\t").add("");
    allBlank.dropTrailingBlankLines();
    EXPECT_EQ(allBlank.top, -1);
}

TEST_F(TextFile, SaveWritesCrLfAfterEveryLineAndReadsBack) {
    Text_ text;
    text.add("a").add("b");
    std::string path = folder + "/out.txt";
    ASSERT_TRUE(text.save(path));
    EXPECT_EQ(read(path), "a\r\nb\r\n");
    Text_ back;
    ASSERT_TRUE(back.load(path, true));
    EXPECT_EQ(lines(back), (std::vector<AnsiString>{"a", "b"}));
}

TEST_F(TextFile, FailedSaveReportsFalseAndKeepsTheOldFile) {
    Text_ text;
    text.add("new");
    EXPECT_FALSE(text.save(folder + "/missing/out.txt"));
    std::string path = write("old\r\n");
    ASSERT_EQ(chmod(folder.c_str(), 0555), 0);
    bool saved = text.save(path);
    chmod(folder.c_str(), 0755);
    if (geteuid() == 0) return;  // root writes into read-only folders
    EXPECT_FALSE(saved);
    EXPECT_EQ(read(path), "old\r\n");
}
