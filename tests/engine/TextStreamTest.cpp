// Tests of the settings stream and the settings file: exact bytes, loading rules, sections.
#include "engine/TextStream.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "audio/AudioEngine.h"
#include "base/TextConversions.h"
#include "engine/Metronome.h"

namespace {

const char* const defaultsFile =
    "<Orvelle Settings>\r\n"
    "tempo=0.4\r\n"
    "volume=0.5\r\n"
    "beats=4\r\n"
    "sound=0\r\n"
    "beatNumbers=true\r\n"
    "fadingBeats=true\r\n"
    "animateBeatChange=true\r\n"
    "bubbles=false\r\n"
    "white=true\r\n"
    "</Orvelle Settings>\r\n";

class SettingsFileTest : public ::testing::Test {
  protected:
    AudioEngine audio;
    std::string folder;

    void SetUp() override {
        setDecimalSeparator('.');
        char pattern[] = "/tmp/brevant-settings-XXXXXX";
        folder = mkdtemp(pattern);
    }
    void TearDown() override {
        setDecimalSeparator('.');
        std::system(("rm -rf '" + folder + "'").c_str());
    }

    std::string file() const { return folder + "/settings.cfg"; }

    static void write(const std::string& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary) << bytes;
    }
    static std::string read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream all;
        all << in.rdbuf();
        return all.str();
    }

    std::unique_ptr<Metronome> loaded(const std::string& bytes) {
        write(file(), bytes);
        return std::make_unique<Metronome>(audio, SettingsPlace::only(file()));
    }
    std::unique_ptr<Metronome> withLines(const std::string& keyLines) {
        return loaded("<Orvelle Settings>\r\n" + keyLines + "</Orvelle Settings>\r\n");
    }
};

TEST_F(SettingsFileTest, NoFileGivesDefaultsAndWritesTheDefaultsFileAtTheEnd) {
    auto m = std::make_unique<Metronome>(audio, SettingsPlace::only(file()));
    EXPECT_DOUBLE_EQ(m->tempo, 0.4);
    m.reset();
    EXPECT_EQ(read(file()), defaultsFile);
}

TEST_F(SettingsFileTest, ChangedValuesSurviveARestart) {
    auto m = std::make_unique<Metronome>(audio, SettingsPlace::only(file()));
    m->tempo = 0.005;
    m->volume = 0.75;
    m->beats = 0;
    m->sound = 3;
    m->bubbles = true;
    m->white = false;
    m.reset();
    EXPECT_NE(read(file()).find("\r\ntempo=5e-3\r\n"), std::string::npos);
    m = std::make_unique<Metronome>(audio, SettingsPlace::only(file()));
    EXPECT_DOUBLE_EQ(m->tempo, 0.005);
    EXPECT_EQ(m->bpm(), 41);
    EXPECT_DOUBLE_EQ(m->volume, 0.75);
    EXPECT_EQ(m->beats, 0);
    EXPECT_EQ(m->sound, 3);
    EXPECT_TRUE(m->bubbles);
    EXPECT_FALSE(m->white);
}

TEST_F(SettingsFileTest, DecimalCommaFileReadsBackUnderADecimalPoint) {
    auto m = withLines("tempo=0,4\r\nvolume=0,25\r\n");
    EXPECT_DOUBLE_EQ(m->tempo, 0.4);
    EXPECT_DOUBLE_EQ(m->volume, 0.25);
}

TEST_F(SettingsFileTest, DecimalCommaLocaleWritesAComma) {
    setDecimalSeparator(',');
    auto m = std::make_unique<Metronome>(audio, SettingsPlace::only(file()));
    m->volume = 0.25;
    m.reset();
    EXPECT_NE(read(file()).find("\r\nvolume=0,25\r\n"), std::string::npos);
    setDecimalSeparator('.');
    m = std::make_unique<Metronome>(audio, SettingsPlace::only(file()));
    EXPECT_DOUBLE_EQ(m->volume, 0.25);
}

TEST_F(SettingsFileTest, KeysInAnyOrderAfterBlanksOnlyExactNames) {
    auto m = withLines(
        "  white=false\r\n\tbeats=7\r\ntempo =0.9\r\nTempo=0.8\r\nunknown=3\r\n"
        "novalue\r\nbeats=2\r\n");
    EXPECT_FALSE(m->white);
    EXPECT_EQ(m->beats, 7) << "the first matching line wins";
    EXPECT_DOUBLE_EQ(m->tempo, 0.4) << "a blank before = or another case is another key";
}

TEST_F(SettingsFileTest, UnreadableValuesFollowTheConversions) {
    auto m = withLines("tempo=abc\r\nbeats=x\r\nwhite=True\r\nsound=9\r\nvolume=\r\n");
    EXPECT_DOUBLE_EQ(m->tempo, 1.0);
    EXPECT_EQ(m->bpm(), 240);
    EXPECT_EQ(m->beats, 0);
    EXPECT_FALSE(m->white);
    EXPECT_EQ(m->sound, 9);
    EXPECT_DOUBLE_EQ(m->volume, 1.0);
    m = withLines("beats=7.9\r\nbubbles= true \r\n");
    EXPECT_EQ(m->beats, 7);
    EXPECT_TRUE(m->bubbles);
}

TEST_F(SettingsFileTest, OutOfRangeValuesAreClampedWhenUsed) {
    auto m = withLines("tempo=-5\r\nbeats=99\r\nsound=-4\r\n");
    m->renderBar();
    EXPECT_EQ(m->tempo, 0.0);
    EXPECT_EQ(m->beats, 9);
    EXPECT_EQ(m->barLength, 595350);
}

TEST_F(SettingsFileTest, ForeignFirstLineKeepsTheDefaults) {
    for (const char* first : {"<Orvelle Settings> ", " <Orvelle Settings>", "<Other>", ""}) {
        auto m = loaded(std::string(first) + "\r\ntempo=0.9\r\n</Orvelle Settings>\r\n");
        EXPECT_DOUBLE_EQ(m->tempo, 0.4) << '"' << first << '"';
    }
    auto m = loaded("");
    EXPECT_DOUBLE_EQ(m->tempo, 0.4);
}

TEST_F(SettingsFileTest, OpeningLineAloneCountsAsLoadedAndChangesNothing) {
    auto m = loaded("<Orvelle Settings>\r\ntempo=0.9\r\n");
    EXPECT_DOUBLE_EQ(m->tempo, 0.4);
    EXPECT_EQ(m->lines.top, 1) << "the stream keeps the file's lines";
}

TEST_F(SettingsFileTest, LoneLineFeedsAndTrailingBlankLinesAreAccepted) {
    auto m = loaded("<Orvelle Settings>\nbeats=3\n</Orvelle Settings>\n\n\t\n");
    EXPECT_EQ(m->beats, 3);
}

TEST_F(SettingsFileTest, FailedSaveLeavesTheOldFileAsItWas) {
    auto m = std::make_unique<Metronome>(audio, SettingsPlace::only(folder + "/gone/settings.cfg"));
    EXPECT_FALSE(m->saveSettings());
    write(file(), "old contents\r\n");
    chmod(folder.c_str(), 0555);
    m = std::make_unique<Metronome>(audio, SettingsPlace::only(file()));
    m->tempo = 0.9;
    const bool saved = m->saveSettings();
    chmod(folder.c_str(), 0755);
    if (!saved) {
        EXPECT_EQ(read(file()), "old contents\r\n");
    }
}

TEST_F(SettingsFileTest, UnwritableProgramFolderFallsBackToTheConfigFolder) {
    SettingsPlace place;
    place.beside = folder + "/missing/settings.cfg";
    place.fallback = folder + "/config/brevant/settings.cfg";
    auto m = std::make_unique<Metronome>(audio, place);
    m->beats = 6;
    m.reset();
    EXPECT_NE(read(place.fallback).find("\r\nbeats=6\r\n"), std::string::npos);
    m = std::make_unique<Metronome>(audio, place);
    EXPECT_EQ(m->beats, 6);
}

TEST_F(SettingsFileTest, ReadableFileBesideTheProgramWinsWhenLoading) {
    SettingsPlace place;
    place.beside = file();
    place.fallback = folder + "/config.cfg";
    write(place.beside, "<Orvelle Settings>\r\nbeats=2\r\n</Orvelle Settings>\r\n");
    write(place.fallback, "<Orvelle Settings>\r\nbeats=5\r\n</Orvelle Settings>\r\n");
    EXPECT_EQ(place.pathToLoad(), place.beside);
    EXPECT_EQ(std::make_unique<Metronome>(audio, place)->beats, 2);
    std::remove(place.beside.c_str());
    EXPECT_EQ(place.pathToLoad(), place.fallback);
    EXPECT_EQ(std::make_unique<Metronome>(audio, place)->beats, 5);
}

// A stored object of its own, kept under a tag inside another stream.
class Pair : public TextStream {
  public:
    int a = 1;
    bool b = false;
    void exchange() override {
        exchangeInt("a", a);
        exchangeBool("b", b);
    }
};

class Outer : public TextStream {
  public:
    double x = 0.5;
    Pair inner;
    void exchange() override {
        exchangeDouble("x", x);
        exchangeSection("pair", inner);
    }
};

TEST(TextStreamTest, SectionsNestAndRestore) {
    setDecimalSeparator('.');
    Outer out;
    out.x = 2.5;
    out.inner.a = -7;
    out.inner.b = true;
    ASSERT_TRUE(out.save("top", ""));
    const char* expected[] = {"<top>", "x=2.5", "<pair>", "a=-7", "b=true", "</pair>", "</top>"};
    ASSERT_EQ(out.lines.top, 6);
    for (int i = 0; i < 7; i++)
        EXPECT_EQ(out.lines.get(i), expected[i]);

    Outer back;
    back.lines = out.lines;
    ASSERT_TRUE(back.load("top", ""));
    EXPECT_DOUBLE_EQ(back.x, 2.5);
    EXPECT_EQ(back.inner.a, -7);
    EXPECT_TRUE(back.inner.b);
}

TEST(TextStreamTest, ExtractSectionTakesTheLastOpeningBeforeTheFirstClosing) {
    TextStream stream;
    Text_ source;
    for (const char* line : {"<s>", "a", "x <s> y", "b", "c", "</s> tail", "d", "</s>"})
        source.add(line);
    Text_ section;
    section.add("stale");
    ASSERT_TRUE(stream.extractSection(source, "s", section));
    ASSERT_EQ(section.top, 1);
    EXPECT_EQ(section.get(0), "b");
    EXPECT_EQ(section.get(1), "c");

    Text_ open;
    open.add("<s>");
    open.add("a");
    EXPECT_FALSE(stream.extractSection(open, "s", section));
    EXPECT_EQ(section.top, -1);
}

TEST(TextStreamTest, ValueIsEverythingAfterTheFirstEqualsSign) {
    TextStream stream;
    stream.lines.add("key=a=b ");
    AnsiString out;
    EXPECT_TRUE(stream.exchangeText("key", "", out));
    EXPECT_EQ(out, "a=b ");
    EXPECT_FALSE(stream.exchangeText("other", "", out));
    stream.writing = true;
    EXPECT_FALSE(stream.exchangeText("k", "v", out));
    EXPECT_EQ(stream.lines.get(stream.lines.top), "k=v");
}

}  // namespace
