// Tests of following a Link session over the offline device, with the host clock simulated.
#include "engine/Metronome.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "../support/PrivateNetwork.h"
#include "audio/AudioEngine.h"
#include "platform/sound/OfflineSoundDevice.h"
#include "platform/system/LinkSession.h"

namespace {

// One run: the sound card's clock `ppm` parts per million fast (or slow, negative) against the
// host's, the session's tempo, the device's rate, the pulses a beat, the simulated minutes.
struct Scenario {
    double ppm;
    double bpm;
    int rate;
    int pulses;
    double minutes;
};

void PrintTo(const Scenario& s, std::ostream* out) {
    *out << s.ppm << " ppm, " << s.bpm << " BPM, " << s.rate << " Hz, " << s.pulses << " pulses, "
         << s.minutes << " min";
}

// The session is joined inside a private network namespace of the test's own; the host clock is
// simulated, so that a run of minutes takes a second.
class LinkedMetronome : public ::testing::Test {
  protected:
    Scenario run{0.0, 100.0, 44100, 1, 1};
    testsupport::PrivateNetwork network;
    AudioEngine audio;
    std::string folder;
    std::unique_ptr<Metronome> m;
    double startHost = 0;
    std::int64_t frames = 0;
    double ppm = 0;
    int rate = 44100;
    std::vector<std::int64_t> onsets;  // output frames where a click starts
    std::int64_t firstSound = -1;      // the first output frame that is not zero
    int quietRun = 1000;
    int step = 256;  // frames between two main-loop passes

    void SetUp() override {
        ASSERT_TRUE(network.ready()) << "cannot make a network namespace (root is needed)";
        ASSERT_TRUE(network.enter());
        ASSERT_TRUE(audio.init(nullptr, 1, makeDevice()));
        rate = run.rate;
        ppm = run.ppm;
        char pattern[] = "/tmp/brevant-link21-XXXXXX";
        folder = mkdtemp(pattern);
        m = std::make_unique<Metronome>(audio, SettingsPlace::only(folder + "/settings.cfg"));
        m->volume = 1.0;
        startHost = static_cast<double>(m->linked.session.hostMicros());
    }
    virtual std::unique_ptr<platform::SoundDevice> makeDevice() {
        return std::make_unique<platform::OfflineSoundDevice>(platform::OfflineSoundDevice::noFault,
                                                              run.rate);
    }
    void TearDown() override {
        m.reset();
        std::system(("rm -rf '" + folder + "'").c_str());
    }

    double hostOf(std::int64_t frame) const {
        return startHost + static_cast<double>(frame) * 1e6 / (rate * (1.0 + ppm * 1e-6));
    }
    // Plays `seconds` of output in steps of `step` frames, a main-loop pass after each.
    void play(double seconds) {
        auto* device = static_cast<platform::OfflineSoundDevice*>(AudioEngine::device());
        const std::int64_t end = frames + static_cast<std::int64_t>(seconds * rate);
        while (frames < end) {
            for (std::int16_t s : device->render(step)) {
                if (s != 0 && firstSound < 0) firstSound = frames;
                // A click's first sample is 0, its second far above the quiet level of a tail.
                const bool loud = std::abs(s) >= 32;
                if (loud && quietRun >= 50) onsets.push_back(frames - 1);
                quietRun = loud ? 0 : quietRun + 1;
                frames++;
            }
            m->tickAt(static_cast<std::int64_t>(hostOf(frames)));
        }
    }
    // Joins at `bpm` and starts.
    void startAt(double bpm) {
        m->link = true;
        m->tickAt(static_cast<std::int64_t>(startHost));
        // The library sets its session up on its own thread once enabled, from the tempo it had
        // then: a tempo set before that is done may be lost, so it is set until it stays.
        for (int kept = 0, tries = 0; kept < 3 && tries < 200; tries++) {
            if (kept == 0) m->linked.session.setTempo(bpm, static_cast<std::int64_t>(startHost));
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            m->linked.session.capture();
            kept = m->linked.session.tempo() == bpm ? kept + 1 : 0;
        }
        m->tickAt(static_cast<std::int64_t>(startHost));
        m->running = true;
        m->restart();
    }
};

class Metronome_linkTest : public LinkedMetronome, public ::testing::WithParamInterface<Scenario> {
  protected:
    void SetUp() override {
        run = GetParam();
        LinkedMetronome::SetUp();
    }
};

// Ten minutes with the sound card's clock 200 ppm fast or slow, and fractional tempos with the
// clocks agreeing, at 44100 and 48000 Hz, with and without pulses between the beats: every
// click (pulses included) is heard within 1 ms of its place on the session's grid, and with
// the clocks agreeing every click lies within a sample of its exact time and every beat
// interval is the exact beat length to within one sample, with nothing adding up. Alone in the
// session, the start sounds at once and the session's bar is put where it is heard.
TEST_P(Metronome_linkTest, ClicksStayOnTheSessionGrid) {
    const double bpm = run.bpm;
    const int pulses = run.pulses;
    m->subdivision = pulses;
    startAt(bpm);
    play(run.minutes * 60);
    ASSERT_GT(onsets.size(), 100u);
    EXPECT_EQ(onsets.front(), 0) << "alone, a start sounds at once";
    m->linked.session.capture();
    const double exactPulse = 60.0 * rate / bpm / pulses;
    double worst = 0;
    for (std::size_t i = 0; i < onsets.size(); i++) {
        const double pulse =
            m->linked.session.beatAt(static_cast<std::int64_t>(hostOf(onsets[i])), 4) * pulses;
        const double ms = (pulse - std::round(pulse)) * 60000.0 / bpm / pulses;
        worst = std::max(worst, std::abs(ms));
        ASSERT_LT(std::abs(ms), 1.0) << "click " << i << " at frame " << onsets[i];
        if (ppm != 0) continue;
        // A pulse lies within a sample of its exact time; a beat, to which the cursor is moved,
        // is the exact beat length after the one before to within one sample.
        ASSERT_LT(std::abs(ms) * rate / 1000.0, 1.0) << "click " << i;
        if (i >= static_cast<std::size_t>(pulses) && i % pulses == 0) {
            ASSERT_NEAR(onsets[i] - onsets[i - pulses], exactPulse * pulses, 1.0) << "beat " << i;
        }
    }
    const double expected = (hostOf(frames) - hostOf(onsets.front())) / 60e6 * bpm * pulses;
    EXPECT_NEAR(onsets.size(), expected, 1.5);
    std::printf("%zu clicks, worst %.3f ms from the session's beats\n", onsets.size(), worst);
}

INSTANTIATE_TEST_SUITE_P(DriftAndFractions, Metronome_linkTest,
                         ::testing::Values(Scenario{200.0, 100.0, 44100, 1, 10},
                                           Scenario{-200.0, 100.0, 44100, 1, 10},
                                           Scenario{0.0, 133.5, 44100, 1, 2},
                                           Scenario{0.0, 97.3, 48000, 3, 2},
                                           Scenario{-200.0, 133.5, 48000, 2, 10}));

}  // namespace

namespace {

// The trainer in a session steps the session's tempo, and from a bar start: two bars of 100 BPM,
// two of 105, then 110 to the end, every interval the exact beat of its tempo to one sample.
TEST_F(LinkedMetronome, TheTrainerStepsTheSessionsTempoFromABarStart) {
    m->tempo = 0.3;
    m->trainer = true;
    m->trainerStep = 5;
    m->trainerBars = 2;
    m->trainerTarget = 110;
    startAt(100);
    play(30);
    m->linked.session.capture();
    EXPECT_DOUBLE_EQ(m->linked.session.tempo(), 110.0);
    EXPECT_EQ(m->bpm(), 110);
    ASSERT_GT(onsets.size(), 40u);
    const double beats[] = {60.0 * 44100 / 100, 60.0 * 44100 / 105, 60.0 * 44100 / 110};
    std::vector<int> counts(3, 0);
    int tempo = 0;
    for (std::size_t i = 1; i < onsets.size(); i++) {
        const double interval = static_cast<double>(onsets[i] - onsets[i - 1]);
        while (tempo < 2 && std::abs(interval - beats[tempo]) > 1.0) {
            EXPECT_EQ((i - 1) % 4, 0u) << "a tempo changed within a bar at interval " << i;
            tempo++;
        }
        ASSERT_NEAR(interval, beats[tempo], 1.0) << "interval " << i;
        counts[tempo]++;
    }
    EXPECT_EQ(counts[0], 8);
    EXPECT_EQ(counts[1], 8);
}

// With a peer in the session a start is silent until the bar sits on the session's grid, and the
// bar is made heard where its last beat has fallen silent: the first sound is a whole click, not
// the faint end of the last beat's. Passes every 16 frames find the last beat's quiet tail as
// soon as it begins, where that faint end still sounds.
TEST_F(LinkedMetronome, WithAPeerTheFirstSoundHeardIsAWholeClick) {
    platform::LinkSession peer(100.0);
    peer.enable(true);
    startAt(100);
    m->running = false;
    m->restart();
    for (int i = 0; i < 100 && m->linked.session.peers() == 0; i++)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_EQ(m->linked.session.peers(), 1);
    step = 16;
    m->running = true;
    m->restart();
    play(8);
    ASSERT_FALSE(onsets.empty());
    EXPECT_GT(onsets.front(), 0) << "with a peer, the start waits for the session's grid";
    EXPECT_EQ(firstSound, onsets.front() + 1);
}

// Silent bars in a session fall on the session's bars: two bars of four clicks, one without,
// over and over, every click on a session beat to within a sample.
TEST_F(LinkedMetronome, SilentBarsFallOnTheSessionsBars) {
    m->silentBars = true;
    m->playBars = 2;
    m->muteBars = 1;
    startAt(133.5);
    play(40);
    m->linked.session.capture();
    ASSERT_GT(onsets.size(), 40u);
    std::vector<int> clicksInBar;
    double first = 0;
    for (std::size_t i = 0; i < onsets.size(); i++) {
        const double beat =
            m->linked.session.beatAt(static_cast<std::int64_t>(hostOf(onsets[i])), 4);
        ASSERT_LT(std::abs(beat - std::round(beat)) * 60.0 * rate / 133.5, 1.0) << "click " << i;
        if (i == 0) first = std::round(beat);
        const auto bar = static_cast<std::size_t>((std::round(beat) - first) / 4);
        clicksInBar.resize(std::max(clicksInBar.size(), bar + 1), 0);
        clicksInBar[bar]++;
    }
    clicksInBar.pop_back();  // the last bar may be cut by the end of the run
    for (std::size_t bar = 0; bar < clicksInBar.size(); bar++)
        EXPECT_EQ(clicksInBar[bar], bar % 3 == 2 ? 0 : 4) << "bar " << bar;
}

}  // namespace

namespace {

// An offline output that reports, as a sound server does, which frame was heard when: every
// report exact but the first after the start, which lies `firstMicros` off (early when
// negative), and every fourth, which came 2 ms late.
class ReportingDevice : public platform::OfflineSoundDevice {
  public:
    ReportingDevice(std::function<double(std::int64_t)> hostOf, double firstMicros)
        : hostOf(std::move(hostOf)), firstMicros(firstMicros) {}
    bool heardClock(platform::HeardClock& out) override {
        const auto frame = static_cast<std::int64_t>(framesMixed());
        if (frame == 0) return false;
        const double error = serial == 0 ? firstMicros : serial % 4 == 3 ? 2000.0 : 0.0;
        out.frame = static_cast<double>(frame);
        out.hostMicros = std::llround(hostOf(frame) + error);
        out.serial = ++serial;
        return true;
    }

  private:
    std::function<double(std::int64_t)> hostOf;
    double firstMicros;
    std::uint64_t serial = 0;
};

class ReportedClock : public LinkedMetronome, public ::testing::WithParamInterface<double> {
  protected:
    std::unique_ptr<platform::SoundDevice> makeDevice() override {
        return std::make_unique<ReportingDevice>([this](std::int64_t f) { return hostOf(f); },
                                                 GetParam());
    }
};

// A first report off by milliseconds either way, and late ones now and then, leave every click
// within a sample of its exact time and every interval the exact beat: the placement never
// rests on the first report against all that follow it.
TEST_P(ReportedClock, AFirstReportOffEitherWayLeavesEveryClickOnTheGrid) {
    startAt(100);
    play(20);
    m->linked.session.capture();
    ASSERT_GT(onsets.size(), 30u);
    EXPECT_EQ(onsets.front(), 0);
    for (std::size_t i = 0; i < onsets.size(); i++) {
        const double beat =
            m->linked.session.beatAt(static_cast<std::int64_t>(hostOf(onsets[i])), 4);
        ASSERT_LT(std::abs(beat - std::round(beat)) * 26460.0, 1.0) << "click " << i;
        if (i == 0) continue;
        ASSERT_NEAR(onsets[i] - onsets[i - 1], 26460, 1) << "interval " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(EarlyAndLate, ReportedClock, ::testing::Values(-3000.0, -12000.0, 2500.0));

}  // namespace
