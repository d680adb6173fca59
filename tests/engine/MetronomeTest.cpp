// Tests of the metronome model: tempo, clamping, bar lengths and the rendered clicks.
#include "engine/Metronome.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <memory>
#include <string>

#include "audio/AudioEngine.h"

namespace {

// Every metronome here keeps its settings in a file of its own that does not exist, so the
// defaults hold and nothing outside the test's folder is written.
class MetronomeTest : public ::testing::Test {
  protected:
    AudioEngine audio;
    std::string folder;
    std::unique_ptr<Metronome> m;

    void SetUp() override {
        char pattern[] = "/tmp/brevant-metronome-XXXXXX";
        folder = mkdtemp(pattern);
        m = std::make_unique<Metronome>(audio, SettingsPlace::only(folder + "/settings.cfg"));
    }
    void TearDown() override {
        m.reset();
        std::system(("rm -rf '" + folder + "'").c_str());
    }

    void setBpm(int bpm) { m->tempo = (bpm - 40) / 200.0; }

    // The click as plain double arithmetic gives, to within one step of the 16-bit scale: a sine
    // (or its fifth power) of the given frequency from phase 0, scaled by the gain and by the
    // envelope factor times the square of a ramp from 1 down over n samples.
    void expectClick(int start, double hz, double gain, double envelope, int n, bool fifth) {
        const double w = 2.0 * M_PI / 44100.0;
        for (int j = 0; j < n; j++) {
            const double s = std::sin(j * w * hz);
            const double e = 1.0 - double(j) / n;
            const double x = (fifth ? std::pow(s, 5) : s) * gain * envelope * e * e;
            ASSERT_NEAR(m->pcmBar[start + j], std::ceil(x * 32767 * 0.99), 1.0)
                << "sample " << j << " of the click at " << start;
        }
    }

    bool silent(int from, int to) {
        for (int k = from; k < to; k++)
            if (m->pcmBar[k] != 0) return false;
        return true;
    }

    void fillSample(int slot, int count, unsigned char value) {
        m->samples[slot].setCapacity(0, true);
        m->samples[slot].setCapacity(count, false);
        for (int i = 0; i < count; i++)
            m->samples[slot].add(value);
    }
};

TEST_F(MetronomeTest, StartsWithTheDefaultsAndNoBar) {
    EXPECT_EQ(m->header, "Orvelle Settings");
    EXPECT_DOUBLE_EQ(m->tempo, 0.4);
    EXPECT_DOUBLE_EQ(m->volume, 0.5);
    EXPECT_EQ(m->beats, 4);
    EXPECT_EQ(m->sound, 0);
    EXPECT_TRUE(m->beatNumbers && m->fadingBeats && m->animateBeatChange && m->white);
    EXPECT_FALSE(m->bubbles || m->running || m->pending || m->rebuild);
    EXPECT_EQ(m->barLength, 1);
    EXPECT_EQ(m->barBeats, 0);
    EXPECT_EQ(m->oldBarLength, 1);
    EXPECT_EQ(m->oldBarBeats, 0);
    for (auto& list : m->samples) {
        EXPECT_EQ(list.top, -1);
        EXPECT_EQ(list.capacity, 0);
    }
    EXPECT_DOUBLE_EQ(m->gain(), 0.25);
}

TEST_F(MetronomeTest, BpmRoundsHalfUpAndClampsTempo) {
    EXPECT_EQ(m->bpm(), 120);
    m->tempo = 0.005;
    EXPECT_EQ(m->bpm(), 41);
    m->tempo = -0.3;
    EXPECT_EQ(m->bpm(), 40);
    EXPECT_EQ(m->tempo, 0.0);
    m->tempo = 1.7;
    EXPECT_EQ(m->bpm(), 240);
    EXPECT_EQ(m->tempo, 1.0);
    m->tempo = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(m->bpm(), 40);
    EXPECT_EQ(m->tempo, 0.0);
}

// The extended-precision product sometimes lands just below a whole number; that lost sample
// is part of the expected length.
TEST_F(MetronomeTest, BarLengthsMatchTheExtendedPrecisionProduct) {
    struct Case {
        int bpm, beats, length;
    };
    const Case cases[] = {{120, 4, 88200}, {240, 1, 11025}, {40, 9, 595350}, {100, 3, 79380},
                          {42, 1, 62999},  {63, 3, 125999}, {125, 5, 105839}};
    for (const Case& c : cases) {
        setBpm(c.bpm);
        m->beats = c.beats;
        ASSERT_EQ(m->bpm(), c.bpm);
        m->renderBar();
        EXPECT_EQ(m->barLength, c.length) << c.bpm << " BPM, " << c.beats << " beats";
        EXPECT_EQ(m->barBeats, c.beats);
    }
}

TEST_F(MetronomeTest, ToPcmRoundsUpToNinetyNinePercentOfFullScale) {
    const float in[] = {0.5f, -0.5f, 1.0f, 0.0f, -1.0f};
    const int out[] = {16220, -16219, 32440, 0, -32439};
    m->barLength = 5;
    for (int k = 0; k < 5; k++)
        m->floatBar[k] = in[k];
    m->toPcm();
    for (int k = 0; k < 5; k++)
        EXPECT_EQ(m->pcmBar[k], out[k]) << in[k];
}

TEST_F(MetronomeTest, DefaultBarHasAnAccentedClickAndThreeNormalOnes) {
    m->renderBar();
    ASSERT_EQ(m->barLength, 88200);
    const int starts[] = {0, 22050, 44100, 66150};
    for (int i = 0; i < 4; i++) {
        const int s = starts[i];
        EXPECT_EQ(m->pcmBar[s], 0) << "a click starts at phase 0";
        expectClick(s, i == 0 ? 3400 : 1700, i == 0 ? 0.82 : 1.0, 0.8, 1102, false);
        EXPECT_TRUE(silent(s + 1102, s + 22050)) << "click " << i << " lasts 1102 samples";
    }
}

TEST_F(MetronomeTest, SecondSynthesisedSoundIsLongerAndAccentsHigher) {
    m->sound = 1;
    m->renderBar();
    expectClick(0, 2000, 1.0, 0.9, 2205, true);
    expectClick(22050, 1000, 0.65, 0.9, 2205, true);
    EXPECT_TRUE(silent(2205, 22050));
    EXPECT_TRUE(silent(22050 + 2205, 44100));
}

TEST_F(MetronomeTest, BeatsZeroAccentsNothingAndOneAccentsEveryClick) {
    m->beats = 0;
    m->renderBar();
    EXPECT_EQ(m->barBeats, 1);
    EXPECT_EQ(m->barLength, 22050);
    expectClick(0, 1700, 1.0, 0.8, 1102, false);
    m->beats = 1;
    m->renderBar();
    EXPECT_EQ(m->barBeats, 1);
    expectClick(0, 3400, 0.82, 0.8, 1102, false);
}

TEST_F(MetronomeTest, BeatsAboveNineAreClampedAndStored) {
    m->beats = 12;
    m->renderBar();
    EXPECT_EQ(m->beats, 9);
    EXPECT_EQ(m->barBeats, 9);
    m->beats = -3;
    m->renderBar();
    EXPECT_EQ(m->beats, 0);
    EXPECT_EQ(m->barBeats, 1);
}

TEST_F(MetronomeTest, UnknownSoundsRenderSilence) {
    for (int sound : {9, 4, -1}) {
        m->renderBar();  // leave clicks of sound 0 behind in both buffers
        m->sound = sound;
        m->renderBar();
        EXPECT_TRUE(silent(0, m->barLength)) << sound;
        m->sound = 0;
    }
}

TEST_F(MetronomeTest, SampleSoundWithoutSamplesIsSilent) {
    m->renderBar();
    m->sound = 2;
    m->renderBar();
    EXPECT_TRUE(silent(0, m->barLength));
}

TEST_F(MetronomeTest, SampleLongerThanABeatIsCutAtTheBeat) {
    m->tempo = 1.0;  // 240 BPM: 11025-sample beats
    m->sound = 2;
    fillSample(0, 60000, 0x11);  // 30000 samples of 0x1111
    fillSample(1, 4, 0x22);      // a two-sample accent
    m->renderBar();
    ASSERT_EQ(m->barLength, 44100);
    EXPECT_EQ(m->pcmBar[0], 0x2222);
    EXPECT_EQ(m->pcmBar[1], 0x2222);
    EXPECT_TRUE(silent(2, 11025));
    for (int beat = 1; beat < 4; beat++)
        for (int k = 0; k < 11025; k++)
            ASSERT_EQ(m->pcmBar[beat * 11025 + k], 0x1111) << beat << " " << k;
}

TEST_F(MetronomeTest, HiHatUsesTheSecondPairOfSlots) {
    m->sound = 3;
    m->beats = 2;
    fillSample(0, 2, 0x01);
    fillSample(1, 2, 0x02);
    fillSample(2, 2, 0x03);
    fillSample(3, 2, 0x04);
    m->renderBar();
    EXPECT_EQ(m->pcmBar[0], 0x0404);
    EXPECT_EQ(m->pcmBar[m->barLength / 2], 0x0303);
}

// An odd byte count leaves the last sample's high byte as the cleared bar had it.
TEST_F(MetronomeTest, SampleBytesAreCopiedLowByteFirst) {
    m->sound = 2;
    m->beats = 0;
    m->samples[0].add(0x34).add(0x12).add(0x78);
    m->renderBar();
    EXPECT_EQ(m->pcmBar[0], 0x1234);
    EXPECT_EQ(m->pcmBar[1], 0x0078);
}

TEST_F(MetronomeTest, LongestBarOfTheLongestClicksStaysInsideTheBuffer) {
    m->tempo = 0.0;
    m->beats = 9;
    m->sound = 1;
    m->renderBar();
    EXPECT_EQ(m->barLength, 595350);
    for (int i = 0; i < 9; i++)
        EXPECT_NE(m->pcmBar[i * 66150 + 1], 0) << i;
}

}  // namespace
