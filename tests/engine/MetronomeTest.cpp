// Tests of the metronome: bar synthesis, and playback and switching over the offline device.
#include "engine/Metronome.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "audio/AudioEngine.h"
#include "platform/sound/OfflineSoundDevice.h"

namespace {

using Samples = std::vector<std::int16_t>;

// Mono output at full volume, so that every output sample is a bar sample as it stands. The
// settings go to a file of the test's own.
class MetronomeTest : public ::testing::Test {
  protected:
    AudioEngine audio;
    std::string folder;
    std::unique_ptr<Metronome> m;
    Samples out;  // everything the device played

    void SetUp() override {
        ASSERT_TRUE(audio.init(nullptr, 1, std::make_unique<platform::OfflineSoundDevice>()));
        char pattern[] = "/tmp/brevant-metronome-XXXXXX";
        folder = mkdtemp(pattern);
        m = std::make_unique<Metronome>(audio, SettingsPlace::only(folder + "/settings.cfg"));
        m->volume = 1.0;
    }
    void TearDown() override {
        m.reset();
        std::system(("rm -rf '" + folder + "'").c_str());
    }

    void setBpm(int bpm) { m->tempo = (bpm - 40) / 200.0; }
    Samples bar() const { return Samples(m->pcmBar, m->pcmBar + m->barLength); }
    void start() {
        m->running = true;
        m->restart();
    }
    void play(int frames) {
        auto* device = static_cast<platform::OfflineSoundDevice*>(AudioEngine::device());
        Samples more = device->render(frames);
        out.insert(out.end(), more.begin(), more.end());
    }
    // The main loop at its finest grain: one frame, then a tick.
    void playUntilSwitched() {
        for (int i = 0; i < 200000 && m->pending; i++) {
            play(1);
            m->tick();
        }
        ASSERT_FALSE(m->pending);
    }
    // The output from `at` on, to its end, is `source` looped from `offset`.
    void expectLoop(int at, const Samples& source, int offset) {
        for (int k = at; k < int(out.size()); k++)
            ASSERT_EQ(out[k], source[(offset + k - at) % source.size()]) << "output " << k;
    }
    // Where the next click starts (its first sample is 0, at phase 0).
    int nextOnset(int from) const {
        for (int k = from; k < int(out.size()); k++)
            if (out[k] != 0) return k - 1;
        return -1;
    }
    // The click as plain double arithmetic gives it, to one step of the 16-bit scale.
    void expectClick(int start, double hz, double gain, double envelope, int n, bool fifth) {
        for (int j = 0; j < n; j++) {
            const double s = std::sin(j * 2.0 * M_PI / m->rate * hz);
            const double e = 1.0 - double(j) / n;
            const double x = (fifth ? std::pow(s, 5) : s) * gain * envelope * e * e;
            ASSERT_NEAR(m->pcmBar[start + j], std::ceil(x * 32767 * 0.99), 1.0) << start + j;
        }
        for (int k = start + n; k < start + m->barLength / m->barBeats; k++)
            ASSERT_EQ(m->pcmBar[k], 0) << k;
    }
};

// The same metronome on a device at 48000 Hz, as a JACK server often runs: the bars are made
// at the device's rate.
class MetronomeAt48000Test : public MetronomeTest {
  protected:
    void SetUp() override {
        MetronomeTest::SetUp();
        ASSERT_TRUE(audio.init(nullptr, 1,
                               std::make_unique<platform::OfflineSoundDevice>(
                                   platform::OfflineSoundDevice::noFault, 48000)));
    }
};

// The extended-precision product often lands a hair below a whole number; the sample it loses
// belongs to the bar.
TEST_F(MetronomeTest, BarLengthsFollowTheExtendedPrecisionProduct) {
    const int cases[][3] = {{120, 4, 88200}, {240, 1, 11025}, {40, 9, 595350}, {100, 3, 79380},
                            {42, 1, 62999},  {63, 3, 125999}, {125, 5, 105839}};
    for (const auto& c : cases) {
        setBpm(c[0]);
        m->beats = c[1];
        ASSERT_EQ(m->bpm(), c[0]);
        m->renderBar();
        EXPECT_EQ(m->barLength, c[2]) << c[0] << " BPM, " << c[1] << " beats";
    }
}

TEST_F(MetronomeTest, OutOfRangeValuesAreClampedWhereUsed) {
    m->tempo = -0.3;
    m->beats = 12;
    m->renderBar();
    EXPECT_EQ(m->tempo, 0.0);
    EXPECT_EQ(m->beats, 9);
    EXPECT_EQ(m->barLength, 595350);
    m->tempo = 1.7;
    EXPECT_EQ(m->bpm(), 240);
    m->tempo = NAN;
    EXPECT_EQ(m->bpm(), 40);
    m->tempo = 0.005;
    EXPECT_EQ(m->bpm(), 41);
}

// The fader shows a volume outside 0..1 at its nearer end; the gain must be that end's too.
TEST_F(MetronomeTest, VolumeOutsideZeroToOneGivesTheGainOfTheNearerEnd) {
    const double volumes[] = {0.5, -1.0, -0.2, 1.5, NAN};
    const double gains[] = {0.25, 0.0, 0.0, 1.0, 0.0};
    for (int i = 0; i < 5; i++) {
        m->volume = volumes[i];
        EXPECT_EQ(m->gain(), gains[i]) << volumes[i];
    }
    EXPECT_TRUE(std::isnan(m->volume)) << "the field keeps what it held";
}

TEST_F(MetronomeTest, ToPcmRoundsUpToNinetyNinePercentOfFullScale) {
    const float in[] = {0.5f, -0.5f, 1.0f, 0.0f};
    const int expected[] = {16220, -16219, 32440, 0};
    m->barLength = 4;
    std::copy(in, in + 4, m->floatBar);
    m->toPcm();
    for (int k = 0; k < 4; k++)
        EXPECT_EQ(m->pcmBar[k], expected[k]) << in[k];
}

TEST_F(MetronomeTest, SynthesisedClicksStartEachBeatAndTheFirstIsAccented) {
    m->renderBar();
    expectClick(0, 3400, 0.82, 0.8, 1102, false);
    for (int start : {22050, 44100, 66150})
        expectClick(start, 1700, 1.0, 0.8, 1102, false);
    m->sound = 1;
    m->beats = 0;  // one beat, no accent
    m->renderBar();
    expectClick(0, 1000, 0.65, 0.9, 2205, true);
    m->beats = 1;  // one beat, always accented
    m->renderBar();
    expectClick(0, 2000, 1.0, 0.9, 2205, true);
}

TEST_F(MetronomeTest, SampleClicksAreCutAtOneBeatAndMissingOnesAreSilent) {
    m->tempo = 1.0;  // 11025-sample beats
    m->sound = 2;
    m->renderBar();
    EXPECT_EQ(Samples(44100, 0), bar()) << "no samples loaded";
    m->samples[0].setCapacity(60000, false);
    for (int i = 0; i < 60000; i++)
        m->samples[0].add(0x11);
    m->samples[1].add(0x34).add(0x12).add(0x78);  // an odd byte count
    m->renderBar();
    EXPECT_EQ(m->pcmBar[0], 0x1234);
    EXPECT_EQ(m->pcmBar[1], 0x0078);
    EXPECT_EQ(m->pcmBar[2], 0);
    for (int k = 11025; k < 44100; k++)
        ASSERT_EQ(m->pcmBar[k], 0x1111) << k;
    for (int sound : {3, 9, -1}) {
        m->sound = sound;
        m->renderBar();
        EXPECT_EQ(Samples(44100, 0), bar()) << sound;
    }
}

TEST_F(MetronomeTest, DefaultsLoopOneBarFromItsTopAndTheBeatPositionWraps) {
    start();
    const Samples first = bar();
    for (int played = 0; played < 88200; played += 441) {
        EXPECT_DOUBLE_EQ(m->beatPosition(), played * 4.0 / 88200);
        play(441);
    }
    EXPECT_EQ(m->beatPosition(), 0.0);
    play(2 * 88200 + 500);
    expectLoop(0, first, 0);
    EXPECT_EQ(nextOnset(1102), 22050);
    EXPECT_EQ(nextOnset(66150 + 1102), 88200);
}

TEST_F(MetronomeTest, TempoChangeSwitchesAtHalfABeatOnTheSameGrid) {
    start();
    const Samples oldBar = bar();
    play(26460);  // beat 1.2
    setBpm(150);
    m->rebuild = true;
    m->tick();
    ASSERT_TRUE(m->pending);
    const Samples newBar = bar();  // 70560 samples, 17640 a beat
    play(4410);
    EXPECT_DOUBLE_EQ(m->beatPosition(), 30870 * 4.0 / 88200) << "the old bar counts";
    playUntilSwitched();
    ASSERT_EQ(out.size(), 33075u) << "at the old bar's 1.5";
    expectLoop(0, oldBar, 0);
    play(2 * 70560);
    expectLoop(33075, newBar, 26460);
    EXPECT_EQ(nextOnset(33075), 33075 + 8820) << "half a new beat later";
    EXPECT_EQ(audio.sounds.top, 0);
}

// With an output that holds 40 ms before the ear, the dial's position trails the mixer by that
// much (and shows no beat until the start is heard), while the switch still lands on the
// mixer's own sample, exactly where it lands without latency.
TEST_F(MetronomeTest, BeatPositionFollowsTheHeardSampleWhileTheSwitchKeepsTheMixers) {
    static_cast<platform::OfflineSoundDevice*>(AudioEngine::device())->setLatency(1764);
    start();
    EXPECT_EQ(m->beatPosition(), -1.0);
    play(1763);
    EXPECT_EQ(m->beatPosition(), -1.0) << "the first sample is not heard yet";
    play(1);
    EXPECT_EQ(m->beatPosition(), 0.0);
    play(26460 - 1764);
    EXPECT_DOUBLE_EQ(m->beatPosition(), (26460 - 1764) * 4.0 / 88200);
    setBpm(150);
    m->rebuild = true;
    m->tick();
    playUntilSwitched();
    EXPECT_EQ(out.size(), 33075u) << "at the old bar's 1.5, as without latency";
    EXPECT_DOUBLE_EQ(m->beatPosition(), (26460 - 1764) * 4.0 / 70560);
    play(70560 - 26460 + 100);  // the new bar's cursor at 100: the ear is in its last beat
    EXPECT_DOUBLE_EQ(m->beatPosition(), (70560 + 100 - 1764) * 4.0 / 70560);
}

// 3.6 of four beats lies in the switch window: the bar is rebuilt and switched on one tick, to
// 2.6 of three, and the accent follows 0.4 beat later. Nine cut to three at 7.6 still lies past
// the bar one beat back, so it is taken modulo three: 0.6.
TEST_F(MetronomeTest, FewerBeatsKeepTheBeatPhase) {
    const int cases[][4] = {{4, 79380, 57330}, {9, 167580, 13230}};
    for (const auto& c : cases) {
        m->beats = c[0];
        start();
        out.clear();
        play(c[1]);
        m->beats = 3;
        m->rebuild = true;
        m->tick();
        ASSERT_FALSE(m->pending);
        play(66150);
        expectLoop(c[1], bar(), c[2]);
        EXPECT_EQ(nextOnset(c[1]), c[1] + 8820);
    }
}

TEST_F(MetronomeTest, ChangesDuringASwitchMakeOneRebuildAfterIt) {
    start();
    play(26460);
    setBpm(150);
    m->rebuild = true;
    m->tick();
    play(441);  // 10 ms later, twice
    setBpm(160);
    m->rebuild = true;
    m->tick();
    setBpm(170);
    EXPECT_TRUE(m->pending && m->rebuild);
    EXPECT_EQ(m->barLength, 70560) << "not rendered again yet";
    playUntilSwitched();
    m->tick();  // renders 170 BPM, still inside the window, and switches at once
    EXPECT_FALSE(m->pending || m->rebuild);
    EXPECT_EQ(m->oldBarLength, 70560);
    EXPECT_EQ(m->barLength, 62258);
}

TEST_F(MetronomeTest, StopWhilePendingSilencesAtOnce) {
    start();
    play(26460);
    m->rebuild = true;
    m->tick();
    m->rebuild = true;
    m->running = false;
    m->restart();
    EXPECT_FALSE(m->pending || m->rebuild);
    EXPECT_EQ(audio.sounds.top, -1);
    play(30000);
    expectLoop(26460, Samples(1, 0), 0);
}

TEST_F(MetronomeTest, FailedLoadOfTheNewBarKeepsTheOldOnePlaying) {
    start();
    const Samples oldBar = bar();
    play(26460);
    static_cast<platform::OfflineSoundDevice*>(AudioEngine::device())
        ->setFaults(platform::OfflineSoundDevice::failBuffers);
    setBpm(150);
    m->rebuild = true;
    m->tick();
    EXPECT_FALSE(m->pending);
    EXPECT_EQ(m->barLength, 88200);
    play(88200);
    expectLoop(0, oldBar, 0);
}

}  // namespace

TEST_F(MetronomeAt48000Test, BarLengthsAndClicksFollowTheDeviceRate) {
    const int cases[][3] = {{120, 4, 96000}, {240, 1, 12000}, {40, 9, 648000}, {100, 3, 86400},
                            {42, 1, 68571},  {63, 3, 137142}, {125, 5, 115199}};
    for (const auto& c : cases) {
        setBpm(c[0]);
        m->beats = c[1];
        m->renderBar();
        EXPECT_EQ(m->barLength, c[2]) << c[0] << " BPM, " << c[1] << " beats";
    }
    setBpm(120);
    m->beats = 4;
    m->renderBar();
    expectClick(0, 3400, 0.82, 0.8, 1200, false);
    for (int start : {24000, 48000, 72000})
        expectClick(start, 1700, 1.0, 0.8, 1200, false);
    m->sound = 1;
    m->renderBar();
    expectClick(24000, 1000, 0.65, 0.9, 2400, true);
}

TEST_F(MetronomeAt48000Test, EveryBeatIs24000FramesAndATempoChangeKeepsTheGrid) {
    start();
    const Samples oldBar = bar();
    play(28800);  // beat 1.2
    EXPECT_EQ(nextOnset(0), 0);
    EXPECT_EQ(nextOnset(1200), 24000);
    setBpm(150);
    m->rebuild = true;
    m->tick();
    ASSERT_TRUE(m->pending);
    const Samples newBar = bar();  // 76800 samples, 19200 a beat
    playUntilSwitched();
    ASSERT_EQ(out.size(), 36000u) << "at the old bar's 1.5";
    expectLoop(0, oldBar, 0);
    play(2 * 76800);
    expectLoop(36000, newBar, 28800);
    EXPECT_EQ(nextOnset(36000), 36000 + 9600) << "half a new beat later";
}
