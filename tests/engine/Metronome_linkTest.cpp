// Tests of following a Link session over the offline device, with the host clock simulated.
#include "engine/Metronome.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "../support/PrivateNetwork.h"
#include "audio/AudioEngine.h"
#include "platform/sound/OfflineSoundDevice.h"

namespace {

// The session is joined inside a private network namespace of the test's own. The sound card's
// clock is simulated against the host's: `ppm` parts per million fast (or slow, negative).
class Metronome_linkTest : public ::testing::TestWithParam<std::tuple<double, double>> {
  protected:
    testsupport::PrivateNetwork network;
    AudioEngine audio;
    std::string folder;
    std::unique_ptr<Metronome> m;
    double startHost = 0;
    std::int64_t frames = 0;
    double ppm = 0;
    std::vector<std::int64_t> onsets;  // output frames where a click starts
    int quietRun = 1000;

    void SetUp() override {
        ASSERT_TRUE(network.ready()) << "cannot make a network namespace (root is needed)";
        ASSERT_TRUE(network.enter());
        ASSERT_TRUE(audio.init(nullptr, 1, std::make_unique<platform::OfflineSoundDevice>()));
        char pattern[] = "/tmp/brevant-link21-XXXXXX";
        folder = mkdtemp(pattern);
        m = std::make_unique<Metronome>(audio, SettingsPlace::only(folder + "/settings.cfg"));
        m->volume = 1.0;
        startHost = static_cast<double>(m->linked.session.hostMicros());
    }
    void TearDown() override {
        m.reset();
        std::system(("rm -rf '" + folder + "'").c_str());
    }

    double hostOf(std::int64_t frame) const {
        return startHost + static_cast<double>(frame) * 1e6 / (44100.0 * (1.0 + ppm * 1e-6));
    }
    // Plays `seconds` of output in steps of 256 frames, a main-loop pass after each.
    void play(double seconds) {
        auto* device = static_cast<platform::OfflineSoundDevice*>(AudioEngine::device());
        const std::int64_t end = frames + static_cast<std::int64_t>(seconds * 44100);
        while (frames < end) {
            for (std::int16_t s : device->render(256)) {
                // A click's first sample is 0, its second far above the quiet level of a tail.
                const bool loud = std::abs(s) >= 32;
                if (loud && quietRun >= 100) onsets.push_back(frames - 1);
                quietRun = loud ? 0 : quietRun + 1;
                frames++;
            }
            m->tickAt(static_cast<std::int64_t>(hostOf(frames)));
        }
    }
};

// Ten minutes with the sound card's clock 200 ppm fast or slow, and a fractional tempo with the
// clocks agreeing: every click is heard within 1 ms of a session beat, and at the fractional
// tempo every interval is the exact beat length to within one sample, with nothing adding up.
TEST_P(Metronome_linkTest, ClicksStayOnTheSessionGrid) {
    ppm = std::get<0>(GetParam());
    const double bpm = std::get<1>(GetParam());
    m->link = true;
    m->tickAt(static_cast<std::int64_t>(startHost));
    m->linked.session.setTempo(bpm, static_cast<std::int64_t>(startHost));
    m->running = true;
    m->restart();
    play(ppm == 0 ? 120 : 600);
    ASSERT_GT(onsets.size(), 100u);
    m->linked.session.capture();
    const double exactBeat = 60.0 * 44100.0 / bpm;
    double worst = 0;
    for (std::size_t i = 0; i < onsets.size(); i++) {
        const double beat =
            m->linked.session.beatAt(static_cast<std::int64_t>(hostOf(onsets[i])), 4);
        const double ms = (beat - std::round(beat)) * 60000.0 / bpm;
        worst = std::max(worst, std::abs(ms));
        ASSERT_LT(std::abs(ms), 1.0) << "click " << i << " at frame " << onsets[i];
        if (ppm == 0 && i > 0) {
            ASSERT_NEAR(onsets[i] - onsets[i - 1], exactBeat, 1.0) << "interval " << i;
        }
    }
    const double expected = (hostOf(frames) - hostOf(onsets.front())) / 60e6 * bpm;
    EXPECT_NEAR(onsets.size(), expected, 1.5);
    std::printf("%zu clicks, worst %.3f ms from the session's beats\n", onsets.size(), worst);
}

INSTANTIATE_TEST_SUITE_P(DriftAndFractions, Metronome_linkTest,
                         ::testing::Values(std::make_tuple(200.0, 100.0),
                                           std::make_tuple(-200.0, 100.0),
                                           std::make_tuple(0.0, 133.5)));

}  // namespace
