// Tests of the settings stream and the settings file: exact bytes, loading rules, places.
#include "engine/TextStream.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

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
              "bubbles=false\r\nwhite=true\r\nsubdivision=1\r\n"
              "accents=3/32/322/3222/32222/322222/3222222/32222222/322222222\r\n"
              "trainer=false\r\ntrainerStep=5\r\ntrainerBars=4\r\ntrainerTarget=160\r\n"
              "silentBars=false\r\nplayBars=2\r\nmuteBars=1\r\nmidiClock=true\r\nfollowTransport=false\r\nlink=false\r\n</Orvelle Settings>\r\n");
}

// A reader that knows only the first nine keys, as the program before practice patterns did.
struct NineKeyReader : TextStream {
    double tempo = 0, volume = 0;
    int beats = 0, sound = 0;
    bool flags[5] = {};
    void exchange() override {
        exchangeDouble("tempo", tempo);
        exchangeDouble("volume", volume);
        exchangeInt("beats", beats);
        exchangeInt("sound", sound);
        const char* names[] = {"beatNumbers", "fadingBeats", "animateBeatChange", "bubbles",
                               "white"};
        for (int i = 0; i < 5; i++)
            exchangeBool(names[i], flags[i]);
    }
};

// A file with practice patterns reads in that reader as the same nine values, and a hand-edited
// file's practice values out of range are clamped where they are used.
TEST_F(SettingsFileTest, PracticeKeysLeaveTheNineOldKeysReadableAndBadValuesAreClamped) {
    auto m = open(SettingsPlace::only(file()));
    m->tempo = 0.25;
    m->beats = 7;
    m->white = false;
    m->subdivision = 4;
    m->accents = "0/00/000/0000/00000/000000/0000000/00000000/000000000";
    m.reset();
    NineKeyReader old;
    ASSERT_TRUE(old.load("Orvelle Settings", file()));
    EXPECT_DOUBLE_EQ(old.tempo, 0.25);
    EXPECT_EQ(old.beats, 7);
    EXPECT_FALSE(old.flags[4]);
    m = loaded("<Orvelle Settings>\r\nsubdivision=-7\r\ntrainerStep=99\r\n"
               "trainerTarget=2147483647\r\nplayBars=0\r\nmuteBars=-2147483648\r\n"
               "silentBars=true\r\naccents=3/32/3\r\n</Orvelle Settings>\r\n");
    EXPECT_EQ(m->pulsesPerBeat(), 1);
    EXPECT_EQ(m->trainerNext(230), 240) << "step 20, target 240";
    EXPECT_EQ(m->beatLevel(3, 2), 2) << "a short group is the default";
    const bool expected[] = {false, true, false, true};  // one played, one muted
    for (int bar = 0; bar < 4; bar++)
        EXPECT_EQ(m->silentAt(bar), expected[bar]) << bar;
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

// A folder with a click sample that can be written is a portable program's: the file lives
// beside it. Any other program is installed: its file lives in the config folder, and a file
// beside it only gives the first values.
TEST_F(SettingsFileTest, PortableProgramsKeepTheFileBesideThemInstalledOnesInTheConfigFolder) {
    const std::string program = folder + "/bin/", config = folder + "/config/";
    ASSERT_EQ(mkdir(program.c_str(), 0755), 0);
    SettingsPlace place = SettingsPlace::forProgramIn(program, config);
    EXPECT_EQ(place.path, config + "brevant/settings.cfg");
    EXPECT_EQ(place.seed, program + "settings.cfg");
    write(program + "2a.wav", "RIFF");
    place = SettingsPlace::forProgramIn(program, config);
    EXPECT_EQ(place.path, program + "settings.cfg");
    EXPECT_EQ(place.seed, "");
    EXPECT_EQ(SettingsPlace::forProgramIn(program, "").path, program + "settings.cfg");
    EXPECT_EQ(SettingsPlace::forProgramIn("", config).path, config + "brevant/settings.cfg");
    if (geteuid() != 0) {  // permissions do not stop root
        ASSERT_EQ(chmod(program.c_str(), 0555), 0);
        EXPECT_EQ(SettingsPlace::forProgramIn(program, config).path,
                  config + "brevant/settings.cfg");
    }
    // The test programs lie in a build folder without samples: installed.
    const char* before = std::getenv("XDG_CONFIG_HOME");
    const std::string saved = before ? before : "";
    setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
    place = SettingsPlace::standard();
    before ? setenv("XDG_CONFIG_HOME", saved.c_str(), 1) : unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(place.path, folder + "/brevant/settings.cfg");
    EXPECT_EQ(place.seed, std::string(BREVANT_BINARY_DIR) + "/tests/engine/settings.cfg");
}

// Loading and saving use the one path: what was saved is what the next run reads, and the file
// beside an installed program is never written.
TEST_F(SettingsFileTest, AnInstalledProgramSeedsFromBesideItAndThenUsesOnlyItsOwnFile) {
    const std::string seed = folder + "/seed.cfg";
    const std::string shipped = "<Orvelle Settings>\r\nbeats=2\r\n</Orvelle Settings>\r\n";
    write(seed, shipped);
    SettingsPlace place;
    place.path = folder + "/config/brevant/settings.cfg";
    place.seed = seed;
    auto m = open(place);
    EXPECT_EQ(m->beats, 2);
    m->beats = 6;
    m.reset();
    EXPECT_EQ(read(seed), shipped);
    EXPECT_NE(read(place.path).find("\r\nbeats=6\r\n"), std::string::npos);
    write(seed, "<Orvelle Settings>\r\nbeats=3\r\n</Orvelle Settings>\r\n");
    EXPECT_EQ(open(place)->beats, 6) << "the user's own file wins once it exists";
}

// Whatever the name holds, when it is no settings file the program can read (a folder, a link
// to nothing or to itself, a FIFO, a file over 1 MiB, a file it may not read), the defaults
// stay, it is said once, and the thing is left exactly as it was.
TEST_F(SettingsFileTest, WhatCannotBeReadRunsOnDefaultsSaysSoOnceAndIsLeftAlone) {
    std::string big = "<Orvelle Settings>\r\nbeats=2\r\n</Orvelle Settings>\r\n";
    big.resize(Metronome::maxSettingsBytes + 1, ' ');
    const std::string loop = folder + "/loop";
    ASSERT_EQ(symlink(loop.c_str(), loop.c_str()), 0);
    const std::string fifo = folder + "/fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    const std::string noAccess = folder + "/private.cfg";
    write(noAccess, "<Orvelle Settings>\r\nbeats=2\r\n</Orvelle Settings>\r\n");
    ASSERT_EQ(chmod(noAccess.c_str(), 0), 0);
    write(folder + "/big.cfg", big);
    ASSERT_EQ(mkdir((folder + "/folder.cfg").c_str(), 0755), 0);
    ASSERT_EQ(symlink((folder + "/nothing").c_str(), (folder + "/dangling").c_str()), 0);
    std::vector<std::string> paths = {folder + "/big.cfg", folder + "/folder.cfg", loop, fifo,
                                      folder + "/dangling"};
    if (geteuid() != 0) paths.push_back(noAccess);
    for (const std::string& path : paths) {
        struct stat before {};
        lstat(path.c_str(), &before);
        testing::internal::CaptureStderr();
        auto m = open(SettingsPlace::only(path));
        EXPECT_EQ(m->beats, 4) << path;
        EXPECT_FALSE(m->settingsWritable()) << path;
        m->beats = 7;
        m.reset();
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_NE(said.find(path), std::string::npos) << said;
        EXPECT_EQ(said.find(path), said.rfind(path)) << "said once: " << said;
        struct stat after {};
        lstat(path.c_str(), &after);
        EXPECT_EQ(after.st_ino, before.st_ino) << path;
        EXPECT_EQ(after.st_mode, before.st_mode) << path;
    }
    EXPECT_EQ(read(folder + "/big.cfg"), big);
    EXPECT_EQ(access((folder + "/nothing").c_str(), F_OK), -1);
}

TEST_F(SettingsFileTest, AFileOfExactlyOneMebibyteIsStillASettingsFile) {
    std::string full = "<Orvelle Settings>\r\nbeats=2\r\n</Orvelle Settings>\r\n";
    full.resize(Metronome::maxSettingsBytes, '\n');
    auto m = loaded(full);
    EXPECT_EQ(m->beats, 2);
    EXPECT_TRUE(m->settingsWritable());
}

// A save that cannot be completed (here the file size limit stops the write part of the way,
// as a full disk would) leaves the old file byte for byte and says so.
TEST_F(SettingsFileTest, AFailedSaveKeepsTheOldFileAndSaysSo) {
    const std::string old = "<Orvelle Settings>\r\nbeats=2\r\n</Orvelle Settings>\r\n";
    auto m = loaded(old);
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 16;
    void (*previous)(int) = signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    // What is said goes through a pipe: a captured file would fall under the size limit too.
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    const int stderrCopy = dup(2);
    dup2(pipeEnds[1], 2);
    const bool written = m->saveSettings();
    dup2(stderrCopy, 2);
    close(stderrCopy);
    close(pipeEnds[1]);
    char text[4096] = {};
    const std::string said(text, std::max<ssize_t>(0, ::read(pipeEnds[0], text, sizeof text)));
    close(pipeEnds[0]);
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, previous);
    EXPECT_FALSE(written);
    EXPECT_EQ(read(file()), old);
    EXPECT_NE(said.find("settings not saved to " + file()), std::string::npos) << said;
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

// While the fields are read the stream holds only the section; afterwards it holds the file's
// lines again, all of them and in their order, wherever the section stood.
TEST(TextStreamTest, LoadingReadsOnlyTheSectionAndKeepsEveryLineInItsPlace) {
    const char* file[] = {"<h>", "a=1", "<h>", "b=0", "a=3", "</h>", "a=4", "</h>", "tail"};
    Pair pair;
    for (const char* line : file)
        pair.lines.add(line);
    ASSERT_TRUE(pair.load("h", ""));
    EXPECT_EQ(pair.a, 3);
    ASSERT_EQ(pair.lines.top, 8);
    for (int i = 0; i < 9; i++)
        EXPECT_EQ(pair.lines.get(i), file[i]) << i;
    pair.lines.get(5) = "a=9";  // no closing line after the opening: an empty section
    pair.lines.get(7) = "";
    pair.a = 5;
    ASSERT_TRUE(pair.load("h", ""));
    EXPECT_EQ(pair.a, 5);
    EXPECT_EQ(pair.lines.get(8), "tail");
}

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
