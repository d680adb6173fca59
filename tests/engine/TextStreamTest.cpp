// Tests of the settings stream and the settings file: exact bytes, loading rules, places.
#include "engine/TextStream.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "audio/AudioEngine.h"
#include "base/TextConversions.h"
#include "engine/Metronome.h"

namespace {

class SettingsFileTest : public ::testing::Test {
  protected:
    AudioEngine audio;  // never opened: playback is not needed here
    std::string folder;

    void SetUp() override {
        setDecimalSeparator('.');
        char pattern[] = "/tmp/brevant-settings-XXXXXX";
        folder = mkdtemp(pattern);
    }
    void TearDown() override { std::system(("rm -rf '" + folder + "'").c_str()); }

    std::string file() const { return folder + "/settings.cfg"; }
    static void write(const std::string& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary) << bytes;
    }
    static std::string read(const std::string& path) {
        std::stringstream all;
        all << std::ifstream(path, std::ios::binary).rdbuf();
        return all.str();
    }
    std::unique_ptr<Metronome> open(const SettingsPlace& place) {
        return std::make_unique<Metronome>(audio, place);
    }
    std::unique_ptr<Metronome> loaded(const std::string& bytes) {
        write(file(), bytes);
        return open(SettingsPlace::only(file()));
    }
};

TEST_F(SettingsFileTest, NoFileGivesTheDefaultsAndTheDefaultsFileIsWrittenAtTheEnd) {
    auto m = open(SettingsPlace::only(file()));
    EXPECT_DOUBLE_EQ(m->tempo, 0.4);
    m.reset();
    EXPECT_EQ(read(file()),
              "<Orvelle Settings>\r\ntempo=0.4\r\nvolume=0.5\r\nbeats=4\r\nsound=0\r\n"
              "beatNumbers=true\r\nfadingBeats=true\r\nanimateBeatChange=true\r\n"
              "bubbles=false\r\nwhite=true\r\n</Orvelle Settings>\r\n");
}

TEST_F(SettingsFileTest, SmallTempoIsWrittenScientificAndDecimalCommasReadBack) {
    auto m = open(SettingsPlace::only(file()));
    m->tempo = 0.005;
    m.reset();
    EXPECT_NE(read(file()).find("\r\ntempo=5e-3\r\n"), std::string::npos);
    EXPECT_DOUBLE_EQ(open(SettingsPlace::only(file()))->tempo, 0.005);
    m = loaded("<Orvelle Settings>\r\ntempo=0,4\r\nvolume=0,25\r\n</Orvelle Settings>\r\n");
    EXPECT_DOUBLE_EQ(m->tempo, 0.4);
    EXPECT_DOUBLE_EQ(m->volume, 0.25);
}

TEST_F(SettingsFileTest, LinesAreMatchedByExactKeyAfterLeadingBlanks) {
    auto m = loaded(
        "<Orvelle Settings>\n  white=false\n\tbeats=7.9\ntempo =0.9\nTempo=0.8\nunknown=3\n"
        "novalue\nbeats=2\nsound=9\nbubbles= true \nfadingBeats=True\nvolume=abc\n"
        "</Orvelle Settings>\n\n\t\n");
    EXPECT_FALSE(m->white);
    EXPECT_EQ(m->beats, 7) << "the first line of a key wins; digits up to the first other";
    EXPECT_DOUBLE_EQ(m->tempo, 0.4) << "a blank before = or another case is another key";
    EXPECT_EQ(m->sound, 9);
    EXPECT_TRUE(m->bubbles);
    EXPECT_FALSE(m->fadingBeats);
    EXPECT_DOUBLE_EQ(m->volume, 1.0);
}

TEST_F(SettingsFileTest, OnlyTheExactOpeningLineIsAccepted) {
    for (const char* first : {"<Orvelle Settings> ", " <Orvelle Settings>", "<Other>", ""}) {
        auto m = loaded(std::string(first) + "\r\nbeats=2\r\n</Orvelle Settings>\r\n");
        EXPECT_EQ(m->beats, 4) << '"' << first << '"';
    }
    EXPECT_EQ(loaded("")->beats, 4);
    auto m = loaded("<Orvelle Settings>\r\nbeats=2\r\n");  // no closing line: loaded, unchanged
    EXPECT_EQ(m->beats, 4);
    EXPECT_EQ(m->lines.top, 1) << "the stream keeps the file's lines";
}

TEST_F(SettingsFileTest, ConfigFolderTakesTheFileWhenTheProgramFolderCannot) {
    SettingsPlace place{folder + "/missing/settings.cfg", folder + "/config/brevant/s.cfg"};
    auto m = open(place);
    m->beats = 6;
    m.reset();
    EXPECT_EQ(open(place)->beats, 6);
    EXPECT_FALSE(open(SettingsPlace::only(place.beside))->saveSettings());

    place.beside = file();  // a readable file beside the program wins
    write(file(), "<Orvelle Settings>\r\nbeats=2\r\n</Orvelle Settings>\r\n");
    EXPECT_EQ(open(place)->beats, 2);
}

TEST_F(SettingsFileTest, StandardPlaceIsBesideTheProgramThenInTheConfigFolder) {
    const char* before = std::getenv("XDG_CONFIG_HOME");
    const std::string saved = before ? before : "";
    setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
    const SettingsPlace place = SettingsPlace::standard();
    before ? setenv("XDG_CONFIG_HOME", saved.c_str(), 1) : unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(place.beside, std::string(BREVANT_BINARY_DIR) + "/tests/engine/settings.cfg");
    EXPECT_EQ(place.fallback, folder + "/brevant/settings.cfg");
}

// A stored object of its own, nested under a tag inside another stream.
struct Pair : TextStream {
    int a = 1;
    void exchange() override { exchangeInt("a", a); }
};
struct Outer : TextStream {
    double x = 0.5;
    Pair inner;
    void exchange() override {
        exchangeDouble("x", x);
        exchangeSection("pair", inner);
    }
};

TEST(TextStreamTest, SectionsNestAndTheLastOpeningBeforeTheFirstClosingCounts) {
    Outer out;
    out.x = 2.5;
    out.inner.a = -7;
    ASSERT_TRUE(out.save("top", ""));
    const char* expected[] = {"<top>", "x=2.5", "<pair>", "a=-7", "</pair>", "</top>"};
    ASSERT_EQ(out.lines.top, 5);
    for (int i = 0; i < 6; i++)
        EXPECT_EQ(out.lines.get(i), expected[i]);
    Outer back;
    back.lines = out.lines;
    back.lines.insert("<pair>", 2).insert("a=3", 3);  // an earlier opening line loses
    ASSERT_TRUE(back.load("top", ""));
    EXPECT_DOUBLE_EQ(back.x, 2.5);
    EXPECT_EQ(back.inner.a, -7);

    Text_ open;
    open.add("<s>");
    Text_ section;
    section.add("stale");
    EXPECT_FALSE(back.extractSection(open, "s", section));
    EXPECT_EQ(section.top, -1);
}

}  // namespace
