// Tests of bar playback and switching over the offline sound device, checked to the sample.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "audio/AudioEngine.h"
#include "engine/Metronome.h"
#include "platform/OfflineSoundDevice.h"

namespace {

// The output is mono and the volume full, so every output sample is a bar sample as it stands.
class PlaybackTest : public ::testing::Test {
  protected:
    AudioEngine audio;
    platform::OfflineSoundDevice* device = nullptr;
    std::string folder;
    std::unique_ptr<Metronome> m;
    std::vector<std::int16_t> out;  // everything the device played since the test began

    void SetUp() override {
        ASSERT_TRUE(audio.init(nullptr, 1, std::make_unique<platform::OfflineSoundDevice>()));
        device = static_cast<platform::OfflineSoundDevice*>(AudioEngine::device());
        char pattern[] = "/tmp/brevant-playback-XXXXXX";
        folder = mkdtemp(pattern);
        m = std::make_unique<Metronome>(audio, SettingsPlace::only(folder + "/settings.cfg"));
        m->volume = 1.0;
    }
    void TearDown() override {
        m.reset();
        std::system(("rm -rf '" + folder + "'").c_str());
    }

    void start() {
        m->running = true;
        m->restart();
    }
    void play(int frames) {
        std::vector<std::int16_t> more = device->render(frames);
        out.insert(out.end(), more.begin(), more.end());
    }
    // The main loop at its finest grain: one frame, then a tick.
    void playUntilSwitched(int limit = 200000) {
        for (int i = 0; i < limit && m->pending; i++) {
            play(1);
            m->tick();
        }
        ASSERT_FALSE(m->pending);
    }
    std::vector<std::int16_t> bar() const {
        return std::vector<std::int16_t>(m->pcmBar, m->pcmBar + m->barLength);
    }
    // The output from `at` on for `count` samples is `source` looped from `offset`.
    void expectLoop(int at, int count, const std::vector<std::int16_t>& source, int offset) {
        ASSERT_GE(int(out.size()), at + count);
        const int n = int(source.size());
        for (int k = 0; k < count; k++)
            ASSERT_EQ(out[at + k], source[(offset + k) % n]) << "output sample " << at + k;
    }
    // The first sample at or after `from` where a click sounds.
    int nextOnset(int from) const {
        for (int k = from; k < int(out.size()); k++)
            if (out[k] != 0) return k - 1;  // a click's first sample is 0 (phase 0)
        return -1;
    }
    void changeTempo(int bpm) {
        m->tempo = (bpm - 40) / 200.0;
        m->rebuild = true;
    }
};

TEST_F(PlaybackTest, DefaultsLoopOneBarFromItsTop) {
    start();
    const std::vector<std::int16_t> first = bar();
    ASSERT_EQ(first.size(), 88200u);
    play(3 * 88200 + 500);
    expectLoop(0, 3 * 88200 + 500, first, 0);
    EXPECT_EQ(nextOnset(1102), 22050);
    EXPECT_EQ(nextOnset(22050 + 1102), 44100);
    EXPECT_EQ(nextOnset(44100 + 1102), 66150);
    EXPECT_EQ(nextOnset(66150 + 1102), 88200);
}

TEST_F(PlaybackTest, BeatPositionGrowsThroughTheBarAndWraps) {
    start();
    EXPECT_EQ(m->beatPosition(), 0.0);
    double last = -1.0;
    for (int played = 0; played < 88200; played += 441) {
        const double p = m->beatPosition();
        EXPECT_DOUBLE_EQ(p, played * 4.0 / 88200);
        EXPECT_GT(p, last);
        EXPECT_LT(p, 4.0);
        last = p;
        play(441);
    }
    EXPECT_EQ(m->beatPosition(), 0.0);
    play(88199);
    EXPECT_DOUBLE_EQ(m->beatPosition(), 88199 * 4.0 / 88200);
}

TEST_F(PlaybackTest, TempoChangeSwitchesAtHalfABeatAndKeepsTheGrid) {
    start();
    const std::vector<std::int16_t> oldBar = bar();
    play(26460);  // beat position 1.2
    changeTempo(150);
    m->tick();
    ASSERT_TRUE(m->pending);
    EXPECT_FALSE(m->rebuild);
    const std::vector<std::int16_t> newBar = bar();
    ASSERT_EQ(newBar.size(), 70560u);  // 17640-sample beats
    playUntilSwitched();
    // The old bar sounded up to its position 1.5; the new one goes on from its own 1.5.
    const int at = 33075;
    ASSERT_EQ(int(out.size()), at);
    expectLoop(0, at, oldBar, 0);
    play(3 * 70560);
    expectLoop(at, 3 * 70560, newBar, 26460);
    EXPECT_EQ(nextOnset(at), at + 8820) << "the third beat comes half a new beat later";
    EXPECT_EQ(m->oldBarLength, 88200);
    EXPECT_EQ(audio.sounds.top, 0);
}

TEST_F(PlaybackTest, FewerBeatsContinueInTheSameBeatPhase) {
    start();
    play(79380);  // beat position 3.6 of four
    m->beats = 3;
    m->rebuild = true;
    m->tick();  // 3.6 lies in the switch window: rebuilt and switched at once
    ASSERT_FALSE(m->pending);
    const std::vector<std::int16_t> newBar = bar();
    ASSERT_EQ(newBar.size(), 66150u);
    play(2 * 66150);
    // Position 2.6 of the new bar: the third beat, whose accented first beat follows 0.4 beat
    // (8820 samples) later.
    expectLoop(79380, 2 * 66150, newBar, 57330);
    EXPECT_EQ(nextOnset(79380), 79380 + 8820);
    EXPECT_EQ(out[79380 + 8821], newBar[1]);
}

// Nine beats cut to three at 7.6: one beat back is still past the bar, so the position is
// taken modulo three, 0.6, and the grid runs on.
TEST_F(PlaybackTest, PositionPastTheNewBarWrapsByTheNewBeatCount) {
    m->beats = 9;
    start();
    play(7 * 22050 + 13230);  // 7.6
    m->beats = 3;
    m->rebuild = true;
    m->tick();
    ASSERT_FALSE(m->pending);
    const std::vector<std::int16_t> newBar = bar();
    play(66150);
    expectLoop(7 * 22050 + 13230, 66150, newBar, 13230);
}

TEST_F(PlaybackTest, SecondChangeWaitsForTheSwitchAndMakesOneRebuild) {
    start();
    play(26460);
    changeTempo(150);
    m->tick();
    ASSERT_TRUE(m->pending);
    play(441);  // 10 ms later
    changeTempo(160);
    m->tempo = (170 - 40) / 200.0;  // a third change before the next tick
    m->tick();
    EXPECT_TRUE(m->pending);
    EXPECT_TRUE(m->rebuild) << "the change waits";
    EXPECT_EQ(m->barLength, 70560) << "no second render yet";
    playUntilSwitched();
    EXPECT_TRUE(m->rebuild);
    EXPECT_EQ(m->barLength, 70560);
    // The next tick renders once, with the latest tempo (170 BPM); the new bar's position is
    // still in the switch window, so it is switched in on the same tick.
    m->tick();
    EXPECT_FALSE(m->rebuild);
    EXPECT_FALSE(m->pending);
    EXPECT_EQ(m->oldBarLength, 70560);
    EXPECT_EQ(m->barLength, 62258);
    EXPECT_EQ(audio.sounds.top, 0);
}

TEST_F(PlaybackTest, StopWhilePendingSilencesAtOnce) {
    start();
    play(26460);
    changeTempo(150);
    m->tick();
    m->rebuild = true;
    m->running = false;
    m->restart();
    EXPECT_FALSE(m->pending);
    EXPECT_FALSE(m->rebuild);
    EXPECT_EQ(audio.sounds.top, -1);
    play(30000);
    for (int k = 26460; k < int(out.size()); k++)
        ASSERT_EQ(out[k], 0) << k;
    EXPECT_EQ(m->beatPosition(), 0.0);
}

TEST_F(PlaybackTest, BeatPositionWhilePendingReadsTheOldBar) {
    start();
    play(26460);
    changeTempo(150);
    m->tick();
    ASSERT_TRUE(m->pending);
    EXPECT_DOUBLE_EQ(m->beatPosition(), 1.2);
    play(4410);
    EXPECT_DOUBLE_EQ(m->beatPosition(), 30870 * 4.0 / 88200);
}

TEST_F(PlaybackTest, RestartBeginsAgainAtTheTopOfTheBar) {
    start();
    play(30000);
    m->restart();
    play(100);
    expectLoop(30000, 100, bar(), 0);
}

TEST_F(PlaybackTest, FailedLoadOfTheNewBarKeepsTheOldOnePlaying) {
    start();
    const std::vector<std::int16_t> oldBar = bar();
    play(26460);
    device->setFaults(platform::OfflineSoundDevice::failBuffers);
    changeTempo(150);
    m->tick();
    EXPECT_FALSE(m->pending);
    EXPECT_EQ(m->barLength, 88200);
    EXPECT_EQ(m->barBeats, 4);
    play(88200);
    expectLoop(0, 26460 + 88200, oldBar, 0);
    EXPECT_DOUBLE_EQ(m->beatPosition(), 1.2);
}

TEST_F(PlaybackTest, VolumeIsTheSquareOfTheFader) {
    m->volume = 0.5;  // gain 0.25: 600 ln 0.25 = -831 hundredths of a decibel
    start();
    play(2);
    const double factor = std::pow(10.0, -831 / 2000.0);
    EXPECT_NEAR(out[1], m->pcmBar[1] * factor, 1.0);
}

// Without a sound device the metronome runs silently and never waits for a switch.
TEST(PlaybackWithoutDeviceTest, RunsSilentlyWithoutPending) {
    AudioEngine silent;
    char pattern[] = "/tmp/brevant-silent-XXXXXX";
    const std::string folder = mkdtemp(pattern);
    auto m = std::make_unique<Metronome>(silent, SettingsPlace::only(folder + "/s.cfg"));
    m->running = true;
    m->restart();
    EXPECT_EQ(m->barLength, 88200);
    m->tempo = 0.9;
    m->rebuild = true;
    m->tick();
    EXPECT_FALSE(m->pending);
    EXPECT_EQ(m->beatPosition(), 0.0);
    m.reset();
    std::system(("rm -rf '" + folder + "'").c_str());
}

}  // namespace
