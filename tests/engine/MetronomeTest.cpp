// Tests of the metronome: bar synthesis, and playback and switching over the offline device.
#include "engine/Metronome.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "audio/AudioEngine.h"
#include "audio/WavLoader.h"
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
    // Each case is {BPM, beats, frames}: the bar rendered at that tempo and count has that length.
    void expectBarLengths(const std::vector<std::array<int, 3>>& cases) {
        for (const auto& c : cases) {
            setBpm(c[0]);
            m->beats = c[1];
            ASSERT_EQ(m->bpm(), c[0]);
            m->renderBar();
            EXPECT_EQ(m->barLength, c[2]) << c[0] << " BPM, " << c[1] << " beats";
        }
    }

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
    const std::vector<std::array<int, 3>> cases = {
        {120, 4, 88200}, {240, 1, 11025}, {40, 9, 595350}, {100, 3, 79380},
        {42, 1, 62999},  {63, 3, 125999}, {125, 5, 105839}};
    expectBarLengths(cases);
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

// The main loop sleeps until the switch's window opens, read from the play position, while the
// device mixes 10 ms requests: one wake-up, and the new bar takes over on the same beat grid,
// from the mapped sample, as a loop polling every frame would have it.
TEST_F(MetronomeTest, SleepingUntilTheSwitchWindowLandsTheSwitchOnTheMappedSample) {
    start();
    play(26000);  // beat 1.18
    setBpm(150);
    m->rebuild = true;
    EXPECT_EQ(m->msUntilTickWork(), 0u) << "a requested bar is rendered at once";
    m->tick();
    const Samples newBar = bar();
    int passes = 0;
    while (m->pending && ++passes < 20) {
        const std::uint32_t ms = m->msUntilTickWork();
        ASSERT_NE(ms, UINT32_MAX);
        play(static_cast<int>(std::ceil(ms * 44.1 / 441)) * 441);
        m->tick();
    }
    EXPECT_EQ(passes, 1);
    const int at = static_cast<int>(out.size());  // 26000 + 17 requests = 33497
    EXPECT_GE(at, 33075) << "not before the old bar's 1.5";
    EXPECT_LE(at, 38587) << "nor after its 1.75";
    play(70560);
    expectLoop(at, newBar, at * 4 / 5);
    EXPECT_EQ(m->msUntilTickWork(), UINT32_MAX) << "nothing left to do";
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

// Practice patterns. The click of each level is taken from a bar of one beat at 40 BPM, where
// nothing cuts it; a pulse must be that click, cut where the next pulse starts.
class PracticeTest : public MetronomeTest {
  protected:
    Samples clickOf(int level) {
        m->tempo = 0.0;
        m->beats = 1;
        m->setBeatLevel(1, 0, level);
        m->renderBar();
        m->accents = Metronome::defaultAccents;
        return bar();
    }
    void loadWavs() {
        for (int slot = 0; slot < 4; slot++)
            loadWavSamples(
                std::string(BREVANT_SOURCE_DIR "/data/") + Metronome::sampleFileNames[slot],
                m->samples[slot]);
    }
    // Plays `bars` whole bars' worth of frames with a tick every 441 frames.
    void playTicking(int frames) {
        for (int done = 0; done < frames; done += 441) {
            play(441);
            m->tick();
        }
    }
};

std::uint64_t fnv(const Samples& samples) {
    std::uint64_t h = 1469598103934665603ULL;
    for (std::int16_t v : samples)
        for (int shift : {0, 8})
            h = (h ^ ((static_cast<std::uint16_t>(v) >> shift) & 0xFF)) * 1099511628211ULL;
    return h;
}

// The bars of every sound as the program made them before practice patterns existed.
TEST_F(PracticeTest, DefaultBarsAreTheOldBarsByteForByte) {
    loadWavs();
    const std::uint64_t cases[][4] = {
        {0, 40, 0, 0xbecc62a7002ff389ULL},  {0, 40, 1, 0x5180d4291a0fca71ULL},
        {0, 40, 5, 0x358912fc3bb197d9ULL},  {0, 40, 9, 0x7b68eba5a3578b01ULL},
        {0, 125, 0, 0xcf1b555d15ffbcd9ULL}, {0, 125, 1, 0x7db3f89feb41c041ULL},
        {0, 125, 5, 0xade7431f6a915981ULL}, {0, 125, 9, 0x464bb4a5439321e9ULL},
        {0, 240, 0, 0x08c742002810ecc1ULL}, {0, 240, 1, 0xf71a41535183a869ULL},
        {0, 240, 5, 0x65e9a77270209c31ULL}, {0, 240, 9, 0xa72e806f02c908f9ULL},
        {1, 40, 0, 0x785745f91d49af41ULL},  {1, 40, 1, 0x59ddf055b26dcde4ULL},
        {1, 40, 5, 0x233e0103278e1594ULL},  {1, 40, 9, 0x5b5a529939a6f9c4ULL},
        {1, 125, 0, 0xf56c0fe4c422ae11ULL}, {1, 125, 1, 0x032c5edda7863f24ULL},
        {1, 125, 5, 0x7d6b0ecd201f60f4ULL}, {1, 125, 9, 0xe23730cfda2456e4ULL},
        {1, 240, 0, 0x9d9a42726a1c1eb9ULL}, {1, 240, 1, 0x760d8d3a21bf54c4ULL},
        {1, 240, 5, 0x13f003feecd98394ULL}, {1, 240, 9, 0x2d08ca31eedcd864ULL},
        {2, 40, 0, 0xee92ea39c9c86321ULL},  {2, 40, 1, 0xf1556c384e0ad53aULL},
        {2, 40, 5, 0x7b5bd9a1c4d65b4aULL},  {2, 40, 9, 0xcf3350632005b19aULL},
        {2, 125, 0, 0xdcae0648981847f1ULL}, {2, 125, 1, 0x3e8317f2f7ebf85aULL},
        {2, 125, 5, 0x119e52b742bbfb5aULL}, {2, 125, 9, 0xdcca3c4fc006f8aaULL},
        {2, 240, 0, 0xf12b2d12e6720399ULL}, {2, 240, 1, 0xdcc2655e3923d26aULL},
        {2, 240, 5, 0xeb0008c07f40089aULL}, {2, 240, 9, 0xb21a3f5f4269b90aULL},
        {3, 40, 0, 0x62466c8998f6cb0aULL},  {3, 40, 1, 0x46fd01bd8f8b8d2bULL},
        {3, 40, 5, 0xb354659a73bbde73ULL},  {3, 40, 9, 0xe1171a8feb1bcc3bULL},
        {3, 125, 0, 0x4dcebb23fce6c72aULL}, {3, 125, 1, 0x63acf97f7b7e9e1bULL},
        {3, 125, 5, 0x23e5e3baba551d0bULL}, {3, 125, 9, 0xceb7808c65e03873ULL},
        {3, 240, 0, 0x5071ccc3c67f51baULL}, {3, 240, 1, 0xb69e8ece49e13c53ULL},
        {3, 240, 5, 0xed401a2e750af1abULL}, {3, 240, 9, 0x7c5fa21084b09383ULL},
    };
    for (const auto& c : cases) {
        m->sound = int(c[0]);
        m->beats = int(c[2]);
        setBpm(int(c[1]));
        m->renderBar();
        EXPECT_EQ(fnv(bar()), c[3]) << c[0] << " " << c[1] << " BPM " << c[2] << " beats";
    }
}

struct PulseCase {
    int sound, subdivision, bpm, beats;
};

class PulseTest : public PracticeTest, public ::testing::WithParamInterface<PulseCase> {};

// Beats 3 and 5 of nine are soft and silent; their pulses between beats still sound.
TEST_P(PulseTest, EveryPulseIsItsLevelsClickOnItsSampleCutAtTheNext) {
    const PulseCase c = GetParam();
    if (c.sound >= 2) loadWavs();
    m->sound = c.sound;
    const Samples click[4] = {Samples(66150, 0), clickOf(1), clickOf(2), clickOf(3)};
    EXPECT_EQ(click[1][1], std::lround(click[2][1] / 4.0)) << "soft is -12 dB";
    m->setBeatLevel(9, 2, 1);
    m->setBeatLevel(9, 4, 0);
    m->subdivision = c.subdivision;
    m->beats = c.beats;
    setBpm(c.bpm);
    m->renderBar();
    const int pulses = c.beats * c.subdivision;
    for (int p = 0; p < pulses; p++) {
        const int start = int(std::int64_t{m->barLength} * p / pulses);
        const int end = int(std::int64_t{m->barLength} * (p + 1) / pulses);
        int level = p % c.subdivision ? 1 : (p == 0 ? 3 : 2);
        if (c.beats == 9 && p == 2 * c.subdivision) level = 1;
        if (c.beats == 9 && p == 4 * c.subdivision) level = 0;
        for (int k = start; k < end; k++) {
            ASSERT_EQ(m->pcmBar[k], click[level][k - start]) << "pulse " << p << " +" << k - start;
        }
    }
}

std::vector<PulseCase> pulseCases() {
    std::vector<PulseCase> cases;
    for (int sound : {0, 1, 2})
        for (int s = 1; s <= 6; s++)
            for (int bpm : {40, 240})
                for (int beats : {1, 9})
                    cases.push_back({sound, s, bpm, beats});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(AllSubdivisions, PulseTest, ::testing::ValuesIn(pulseCases()));

// Hand-edited accents: a malformed group is its count's default, the others stay; cycling and
// setting rewrite the whole text valid, and each count keeps its own pattern.
TEST_F(PracticeTest, AccentGroupsParseCycleAndStayPerBeatCount) {
    m->accents = "1/x2/321/30/";
    EXPECT_EQ(m->beatLevel(1, 0), 1);
    EXPECT_EQ(m->beatLevel(2, 1), 2) << "wrong character";
    EXPECT_EQ(m->beatLevel(3, 2), 1);
    EXPECT_EQ(m->beatLevel(4, 0), 3) << "wrong length";
    EXPECT_EQ(m->beatLevel(9, 8), 2) << "missing";
    m->beats = 3;
    const int expected[] = {1, 0, 3, 2, 1};
    for (int level : expected) {
        EXPECT_EQ(m->beatLevel(3, 2), level);
        m->cycleBeatLevel(2);
    }
    EXPECT_EQ(m->accents, "1/32/320/3222/32222/322222/3222222/32222222/322222222");
    m->beats = 0;
    EXPECT_FALSE(m->cycleBeatLevel(0)) << "no pattern without beats";
    m->subdivision = 99;
    EXPECT_EQ(m->pulsesPerBeat(), 6);
}

// 100 -> 120 BPM in steps of 5 every 2 bars, with triplets: the output is exactly the bars one
// after another, each step on a bar's first sample, and the top tempo held.
TEST_F(PracticeTest, TrainerStepsExactlyOnBarBoundariesAndHoldsAtTheTarget) {
    m->subdivision = 3;
    setBpm(100);
    m->trainer = true;
    m->trainerStep = 5;
    m->trainerBars = 2;
    m->trainerTarget = 120;
    start();
    Samples expected;
    for (int bpm : {100, 100, 105, 105, 110, 110, 115, 115, 120, 120, 120}) {
        const double tempo = m->tempo;
        setBpm(bpm);
        m->renderBar();
        m->tempo = tempo;
        expected.insert(expected.end(), m->pcmBar, m->pcmBar + m->barLength);
    }
    m->renderBar();
    playTicking(int(expected.size()) - 441);
    ASSERT_GE(out.size(), expected.size() - 441);
    for (std::size_t k = 0; k + 441 < expected.size(); k++)
        ASSERT_EQ(out[k], expected[k]) << "frame " << k;
    EXPECT_EQ(m->bpm(), 120);
    EXPECT_TRUE(m->tempoStepped);
    setBpm(121);
    m->endTrainer();
    EXPECT_FALSE(m->trainer);
    EXPECT_FALSE(m->trainerNote.empty());
}

// Two bars played, one silent, over and over: the silent bar is all zero and the click after
// it is the bar's first sample.
TEST_F(PracticeTest, SilentBarsAreZeroAndTheNextClickIsOnTheGrid) {
    m->silentBars = true;
    m->subdivision = 2;
    m->tempo = 1.0;
    start();
    const Samples played = bar();
    const int length = m->barLength;
    playTicking(7 * length);
    for (int k = 0; k < 7 * length - 441; k++) {
        const bool silent = (k / length) % 3 == 2;
        ASSERT_EQ(out[k], silent ? 0 : played[k % length]) << "frame " << k;
    }
    EXPECT_FALSE(m->heardBarSilent()) << "bar 7 plays";
}

}  // namespace

TEST_F(MetronomeAt48000Test, BarLengthsAndClicksFollowTheDeviceRate) {
    const std::vector<std::array<int, 3>> cases = {
        {120, 4, 96000}, {240, 1, 12000}, {40, 9, 648000}, {100, 3, 86400},
        {42, 1, 68571},  {63, 3, 137142}, {125, 5, 115199}};
    expectBarLengths(cases);
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

namespace {

// An offline device with a rolling transport whose master the test moves, as the JACK device
// reports it: the master's bar start in the mixer's frames.
class TransportDevice : public platform::OfflineSoundDevice {
  public:
    TransportDevice() : OfflineSoundDevice(noFault, 48000) {}
    bool readTransport(platform::SoundTransport& out) override {
        out = transport;
        return true;
    }
    platform::SoundTransport transport{true, true, 120.0, 4, -1000, 128};
};

// A grid that lost output periods sees the master's bar start that many frames earlier in its
// own frames; one that gained them, later.
struct BarMove {
    const char* name;
    double bpm;    // the master's tempo
    int by;        // frames the master's bar start moves by
    int readings;  // readings that show it moved, before it goes back
    bool placed;   // whether the bar moves onto it
};

void PrintTo(const BarMove& move, std::ostream* out) {
    *out << move.name;
}

class TransportBarTest : public MetronomeTest, public ::testing::WithParamInterface<BarMove> {};

TEST_P(TransportBarTest, ABarOffTheMastersByMoreThanTheSlackMovesOntoItOnceTwoReadingsAgree) {
    const BarMove& move = GetParam();
    auto owned = std::make_unique<TransportDevice>();
    TransportDevice& device = *owned;
    ASSERT_TRUE(audio.init(nullptr, 1, std::move(owned)));
    device.transport.beatsPerMinute = move.bpm;
    m->followTransport = true;
    ASSERT_TRUE(m->syncToTransport());  // starts 1000 frames into the master's bar
    play(5000);
    device.transport.barStartFrame += move.by;
    for (int i = 0; i < 2; i++, play(256)) {
        if (i == move.readings) device.transport.barStartFrame -= move.by;
        m->syncToTransport();
    }
    play(30000);
    EXPECT_EQ(nextOnset(10000), 23000 + (move.placed ? move.by : 0));
}

INSTANTIATE_TEST_SUITE_P(Moves, TransportBarTest,
                         ::testing::Values(BarMove{"aPeriodLost", 120.0, -256, 2, true},
                                           BarMove{"twoPeriodsGained", 120.0, 512, 2, true},
                                           BarMove{"withinTheSlack", 120.0, 100, 2, false},
                                           BarMove{"oneReadingAlone", 120.0, 256, 1, false},
                                           BarMove{"masterBetweenWholeBpm", 120.4, 256, 2, false}),
                         [](const ::testing::TestParamInfo<BarMove>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
