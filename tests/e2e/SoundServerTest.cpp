// The real program on a desktop's sound server: a private PulseAudio server, its output recorded.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "../support/BusyProcesses.h"
#include "../support/SoundServer.h"
#include "AppRun.h"
#include "ClickTrack.h"
#include "Desk.h"
#include "WindowSizes.h"

namespace e2e {
namespace {

using testsupport::BusyProcesses;
using testsupport::SoundServer;

constexpr long kBeat120 = 22050;  // samples of one beat at 120 BPM

std::vector<long> gapsOf(const std::vector<Click>& clicks) {
    std::vector<long> gaps;
    for (size_t i = 1; i < clicks.size(); ++i)
        gaps.push_back(clicks[i].start - clicks[i - 1].start);
    return gaps;
}

class SoundServerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!desk.running()) GTEST_SKIP() << "Xvfb is not available";
        if (!haveProgram("xdotool") || !haveProgram("xwininfo"))
            GTEST_SKIP() << "xdotool or xwininfo is missing";
        if (!SoundServer::available()) GTEST_SKIP() << "pulseaudio, pactl or parec is missing";
        ASSERT_TRUE(server.start());
        recording = app.folder() + "/monitor.raw";
    }

    void startToMainWindow() {
        ASSERT_TRUE(app.startOnDesktopSound(desk, server.clientEnvironment()));
        ASSERT_TRUE(desk.waitForWindow(kMainWidth, kMainHeight, 15000, &main))
            << app.readFile("output.log");
        pause(400);
        desk.focus(main);
        ASSERT_NE(app.readFile("output.log").find("sound through the server"), std::string::npos)
            << app.readFile("output.log");
    }

    void quitWithEscape() {
        desk.focus(main);
        desk.key("Escape");
        EXPECT_EQ(app.waitForExit(10000), 0) << app.readFile("output.log");
    }

    // The clicks recorded; one that the recording's start cut (sounding from its first frame)
    // is left out, and so is one that its end cut before its pitch could be measured.
    std::vector<Click> recordedClicks() {
        ClickTrack track;
        EXPECT_TRUE(track.load(recording));
        std::vector<Click> clicks = track.clicks();
        if (!clicks.empty() && clicks.front().start < 8) clicks.erase(clicks.begin());
        if (!clicks.empty() && clicks.back().cut) clicks.pop_back();
        return clicks;
    }

    // "yes" or "no" for the program's stream, "none" when the server lists no stream.
    std::string corkState() {
        const std::string list = server.pactl("list sink-inputs");
        const size_t at = list.find("Corked: ");
        if (at == std::string::npos) return "none";
        return list.substr(at + 8, list.find('\n', at) - at - 8);
    }

    bool waitForCork(const std::string& wanted) {
        for (int i = 0; i < 100 && corkState() != wanted; ++i)
            pause(50);
        return corkState() == wanted;
    }

    SoundServer server;
    Desk desk;
    AppRun app;
    WindowInfo main;
    std::string recording;
};

TEST_F(SoundServerTest, EveryBeatIsExactForHalfAMinuteWhileFourBusyProcessesShareTheCores) {
    startToMainWindow();
    ASSERT_TRUE(server.startRecording(recording));
    pause(300);
    desk.key("space");
    {
        BusyProcesses busy(4);
        pause(30000);
    }
    // The recording ends before the stop: a stop makes the server take back what it had mixed
    // ahead, which its monitor cannot take back.
    server.stopRecording();
    desk.key("space");
    quitWithEscape();

    const std::vector<Click> clicks = recordedClicks();
    ASSERT_GE(clicks.size(), 58u);
    const std::vector<long> gaps = gapsOf(clicks);
    for (size_t i = 0; i < gaps.size(); ++i)
        EXPECT_EQ(gaps[i], kBeat120) << "interval " << i;
    // The accented first beat crosses zero about twice as often as the others; it starts the
    // recording, and comes back every fourth click.
    for (size_t i = 0; i < clicks.size(); ++i)
        EXPECT_EQ(clicks[i].crossings > 22, i % 4 == 0) << "click " << i;
    if (HasFailure()) std::printf("%s", app.readFile("output.log").c_str());
}

// Triplets in four-beat bars, the trainer climbing from 100 to 120 BPM by 5 every 2 bars: every
// pulse of the recording lies on its exact sample of the bars as they follow one another, each
// step on a bar's first sample, the beats full and the pulses between them soft.
TEST_F(SoundServerTest, TrainerStepsOnBarBoundariesAndEveryTripletPulseIsExactUnderLoad) {
    std::string settings = withSetting(settingsFile("0.3", "4"), "subdivision", "3");
    for (auto [key, value] : {std::pair<const char*, const char*>{"trainer", "true"},
                              {"trainerBars", "2"},
                              {"trainerTarget", "120"}})
        settings = withSetting(settings, key, value);
    app.writeFile("settings.cfg", settings);
    startToMainWindow();
    ASSERT_TRUE(server.startRecording(recording));
    pause(300);
    desk.key("space");
    {
        BusyProcesses busy(4);
        pause(22000);
    }
    server.stopRecording();
    desk.key("space");
    quitWithEscape();

    const std::vector<Click> clicks = recordedClicks();
    const std::vector<long> expected =
        pulseStarts({100, 100, 105, 105, 110, 110, 115, 115, 120, 120, 120}, 4, 3);
    ASSERT_GE(clicks.size(), 8u * 12 + 12);
    for (size_t i = 0; i < clicks.size() && i < expected.size(); ++i) {
        EXPECT_EQ(clicks[i].start - clicks[0].start, expected[i]) << "pulse " << i;
        const bool beat = i % 3 == 0;
        EXPECT_EQ(clicks[i].peak * 2 < clicks[i - i % 3].peak, !beat) << "pulse " << i;
        EXPECT_EQ(clicks[i].crossings > 22, i % 12 == 0) << "pulse " << i;
    }
    EXPECT_NE(app.readFile("settings.cfg").find("tempo=0.4\r\n"), std::string::npos)
        << "the saved tempo followed the trainer to 120";
    if (HasFailure()) std::printf("%s", app.readFile("output.log").c_str());
}

// 120 BPM raised by five: every interval lies between the two beat lengths, and the new tempo
// settles at 21168 samples a beat.
TEST_F(SoundServerTest, TempoKeysDuringPlayMoveTheBeatWithoutGapOrDoubledClick) {
    startToMainWindow();
    ASSERT_TRUE(server.startRecording(recording));
    pause(300);
    desk.key("space");
    pause(2300);
    for (int i = 0; i < 5; ++i)
        desk.key("plus");
    pause(3000);
    // The recording ends before the stop: a stop makes the server take back what it had mixed
    // ahead, which its monitor cannot take back.
    server.stopRecording();
    desk.key("space");
    quitWithEscape();

    const std::vector<Click> clicks = recordedClicks();
    ASSERT_GE(clicks.size(), 10u);
    const std::vector<long> gaps = gapsOf(clicks);
    for (long gap : gaps) {
        EXPECT_GE(gap, 21168);
        EXPECT_LE(gap, kBeat120);
    }
    EXPECT_EQ(gaps.front(), kBeat120);
    EXPECT_EQ(gaps.back(), 21168);
}

// The server goes away while the bar plays and a new one starts: the program lives through it,
// plays on a whole beat grid within two seconds of the new server, and quits as always.
TEST_F(SoundServerTest, ProgramLivesThroughAServerRestartAndPlaysOnTheGridAgain) {
    startToMainWindow();
    desk.key("space");
    pause(1500);
    server.stop();
    pause(2000);
    ASSERT_TRUE(app.alive());
    ASSERT_TRUE(server.start());
    ASSERT_TRUE(server.startRecording(recording));
    pause(5000);
    server.stopRecording();
    ASSERT_TRUE(app.alive());

    const std::vector<Click> clicks = recordedClicks();
    ASSERT_GE(clicks.size(), 4u);
    EXPECT_LT(clicks.front().start, 2 * 44100) << "the first click after the new server";
    for (long gap : gapsOf(clicks))
        EXPECT_EQ(gap, kBeat120);
    const std::string log = app.readFile("output.log");
    EXPECT_NE(log.find("sound server lost"), std::string::npos) << log;
    EXPECT_NE(log.find("sound back"), std::string::npos) << log;

    app.removeFile("settings.cfg");
    quitWithEscape();
    EXPECT_NE(app.readFile("settings.cfg").find("<Orvelle Settings>"), std::string::npos);
}

// While the program is stopped the server does no work for it: its stream is corked.
TEST_F(SoundServerTest, StoppedProgramKeepsItsStreamCorked) {
    startToMainWindow();
    EXPECT_TRUE(waitForCork("yes")) << corkState();
    desk.key("space");
    EXPECT_TRUE(waitForCork("no")) << corkState();
    desk.key("space");
    EXPECT_TRUE(waitForCork("yes")) << corkState();
    quitWithEscape();
}

}  // namespace
}  // namespace e2e
