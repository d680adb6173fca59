// Tests of Text_: line ends, long lines, trailing blank lines and saving.
#include "base/Text_.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Lines = std::vector<AnsiString>;

class TextFile : public ::testing::Test {
  protected:
    std::string folder;
    Text_ text;

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
    Lines loaded(const std::string& bytes, bool dropTrailingBlank) {
        if (!text.load(write(bytes), dropTrailingBlank)) return {"load failed"};
        return Lines(text.items, text.items + text.top + 1);
    }
};

}  // namespace

TEST_F(TextFile, FinalLineEndYieldsEmptyLastLineUnlessDropped) {
    EXPECT_EQ(loaded("a\nb\n", false), (Lines{"a", "b", ""}));
    EXPECT_EQ(loaded("a\nb\n", true), (Lines{"a", "b"}));
    EXPECT_EQ(loaded("", false), (Lines{""}));
    EXPECT_EQ(loaded("", true), Lines{});
    EXPECT_EQ(text.capacity, 0);
}

TEST_F(TextFile, CrLfAndLoneLfEachEndOneLineAndNoCrIsStored) {
    EXPECT_EQ(loaded("a\r\nb\nc\r\n\r\nd", false), (Lines{"a", "b", "c", "", "d"}));
}

TEST_F(TextFile, StorageFitsTheLinesAfterLoadAndThenGrowsByThousand) {
    loaded("x\ny\nz", false);
    EXPECT_EQ(text.capacity, 3);
    text.add("w");
    EXPECT_EQ(text.capacity, 1003);
}

TEST_F(TextFile, LongLinesAreSplitNeverMergedWithTheNext) {
    std::string x(9999, 'x'), y(9999, 'y');
    Lines got = loaded(std::string(25000, 'x') + "\nnext\r\n" + y + "\r\nlast", false);
    EXPECT_TRUE(got == (Lines{x, x, std::string(5002, 'x'), "next", y, "last"}));
}

TEST_F(TextFile, UnreadableFileLeavesLinesUnchanged) {
    text.add("kept");
    EXPECT_FALSE(text.load(folder + "/missing.txt", true));
    EXPECT_FALSE(text.load(folder, true));
    EXPECT_EQ(text.top, 0);
    EXPECT_EQ(text.items[0], "kept");
}

TEST_F(TextFile, DropsBlankTrailingLinesUpToOneThatIsNot) {
    EXPECT_EQ(loaded("a\n \n\t\t\n\x80\xff\n", true), (Lines{"a", " "}));
    EXPECT_EQ(loaded("\t\n\n", true), Lines{});
    // The pieces of a long line count as lines of their own: blank pieces at the end go too.
    const std::string tabs(20000, '\t');
    EXPECT_EQ(loaded("a" + tabs + "\r\n\r\n", true), (Lines{"a" + tabs.substr(0, 9998)}));
}

TEST_F(TextFile, SaveWritesCrLfAfterEveryLineAndFailsCleanly) {
    text.add("a").add("b");
    std::string path = folder + "/out.txt";
    ASSERT_TRUE(text.save(path));
    std::stringstream bytes;
    bytes << std::ifstream(path, std::ios::binary).rdbuf();
    EXPECT_EQ(bytes.str(), "a\r\nb\r\n");
    EXPECT_FALSE(text.save(folder + "/missing/out.txt"));
}
