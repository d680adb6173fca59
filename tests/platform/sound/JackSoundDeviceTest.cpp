// JackSoundDevice on a dummy JACK server of the test's own, recorded by a client of ours.
#include "platform/sound/JackSoundDevice.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "../../support/JackServer.h"
#include "platform/sound/SoundBuffer.h"

namespace {

using platform::JackSoundDevice;
using platform::SoundBuffer;
using testsupport::JackRecorder;
using testsupport::JackServer;
using testsupport::MidiByte;

constexpr int beatFrames = 24000;  // one beat at 120 BPM and 48000 Hz

void pause(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// The frames where a click begins: a non-zero sample after a silent one.
std::vector<long> onsets(const std::vector<std::int16_t>& track) {
    std::vector<long> found;
    for (std::size_t i = 1; i < track.size(); i++)
        if (track[i] != 0 && track[i - 1] == 0) found.push_back(static_cast<long>(i));
    return found;
}

// Every interval between two clicks is one beat. A click is 40 samples, so a period the server
// skipped can take it whole: an interval with such a period anywhere in it is left out.
void expectIntervals(const JackRecorder& recorder, const std::vector<long>& clicks) {
    int judged = 0;
    for (std::size_t i = 1; i < clicks.size(); i++) {
        if (!recorder.undisturbed(clicks[i - 1], clicks[i])) continue;
        judged++;
        EXPECT_EQ(clicks[i] - clicks[i - 1], beatFrames) << "interval " << i;
    }
    EXPECT_GE(judged, 2) << "too few intervals clear of xruns";
}

class JackSoundDeviceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!JackServer::available()) GTEST_SKIP() << "jackd is missing";
        ASSERT_TRUE(server.start());
        // On a loaded machine libjack now and then fails to start its own listener thread for a
        // new client ("Cannot start Jack client listener"); the test tries again a second
        // later, as the device does after losing its server.
        bool opened = device.createInterface();
        for (int i = 0; i < 3 && !opened; i++) {
            pause(1000);
            opened = device.createInterface();
        }
        ASSERT_TRUE(opened);
        ASSERT_EQ(device.nativeRate(), JackServer::rate);
        ASSERT_TRUE(device.createPrimaryBuffer());
        ASSERT_TRUE(device.setPrimaryFormat(2, JackServer::rate, 16));
        beat = clickLoop(beatFrames);
        ASSERT_NE(beat, nullptr);
    }

    // A loop of `frames` frames whose first 40 samples are a click.
    SoundBuffer* clickLoop(int frames) {
        SoundBuffer* loop = device.createBuffer(2u * static_cast<std::uint32_t>(frames));
        void* region = nullptr;
        std::uint32_t bytes = 0;
        if (loop == nullptr || !loop->lock(&region, &bytes)) return nullptr;
        for (int i = 0; i < 40; i++)
            static_cast<std::int16_t*>(region)[i] = static_cast<std::int16_t>(1000 + 100 * i);
        loop->unlock();
        return loop;
    }

    // Starts the loop; holding the lock a while longer makes the start wait through periods
    // mixed from the last state.
    void play(int holdMs = 0) {
        device.lock();
        ASSERT_TRUE(beat->play(true));
        device.setClockBuffer(beat, 24);
        pause(holdMs);
        device.unlock();
    }

    JackServer server{"device"};
    JackSoundDevice device;
    SoundBuffer* beat = nullptr;
};

// The loop starts whole although the lock was held across its start, and repeats on its exact
// frames, also while the window thread holds the lock for many periods (the last state plays
// on); the clock starts on the first click's frame with 24 pulses a beat, each on its frame, and
// stops with the loop.
TEST_F(JackSoundDeviceTest, LoopAndClockKeepTheServersFramesEvenWhileTheLockIsHeld) {
    // Five seconds of loop: a skipped period may take a click whole, and enough must remain.
    JackRecorder recorder(8);
    ASSERT_TRUE(recorder.start());
    pause(300);
    play(50);
    pause(2500);
    device.lock();
    pause(200);
    device.unlock();
    pause(2500);
    device.lock();
    beat->stop();
    device.unlock();
    pause(300);
    recorder.stop();
    EXPECT_GT(device.missedLocks(), 10u);

    // What lies near a period the server skipped or ran late is left out: a skipped period
    // loses its samples (a click after it is found where its samples resume) and its pulses,
    // which go out late. Every other click and pulse is on its exact frame.
    const std::vector<std::int16_t> track = recorder.recorded();
    const std::vector<long> clicks = onsets(track);
    ASSERT_GE(clicks.size(), 6u);
    auto clean = [&](long frame) { return recorder.undisturbed(frame, frame); };
    const long first = clicks.front();
    if (clean(first)) {
        EXPECT_EQ(track[first], 1000) << "the first click begins with its first sample";
    }
    expectIntervals(recorder, clicks);

    const std::vector<MidiByte> midi = recorder.midiBytes();
    ASSERT_GE(midi.size(), 3u);
    EXPECT_EQ(midi.front().byte, 0xFA);
    if (clean(first)) {
        EXPECT_EQ(static_cast<long>(midi.front().frame), first);
    }
    EXPECT_EQ(midi.back().byte, 0xFC);
    // Pulses fall every 1000 frames from the first click, 24 in every beat.
    std::vector<int> perBeat(clicks.size());
    for (std::size_t i = 1; i + 1 < midi.size(); i++) {
        ASSERT_EQ(midi[i].byte, 0xF8) << "byte " << i;
        const long at = static_cast<long>(midi[i].frame) - first;
        if (at >= 0 && at / beatFrames < static_cast<long>(perBeat.size()))
            perBeat[at / beatFrames]++;
        if (clean(first) && clean(first + at)) {
            EXPECT_EQ(at % 1000, 0) << "pulse at " << at;
        }
    }
    const long beats = (clicks.back() - first) / beatFrames;
    for (long i = 0; i < beats; i++) {
        const long from = first + beatFrames * i;
        if (clean(first) && recorder.undisturbed(from, from + beatFrames)) {
            EXPECT_EQ(perBeat[i], 24) << "beat " << i;
        }
    }
    // The stop goes out at most a period after the pulse the stopped loop no longer sent: the
    // period in which it stopped may be mixed from the last state, which the stop gave up.
    EXPECT_LE(midi.back().frame, midi[midi.size() - 2].frame + 1000 + JackServer::period);
}

// The clock moves to a loop of twice the tempo while the real-time thread mixes from the copy of
// the voices, as it does whenever the window thread holds the lock: switched in at once at the same
// place in the beat (as a tempo key does), or queued to start where the sounding loop ends (as the
// trainer does). The copies played and clocked the old loop meanwhile; a receiver that counts 24
// pulses to a beat must still find every click on a beat, across the change too.
class JackClockChangeTest : public JackSoundDeviceTest,
                            public ::testing::WithParamInterface<bool> {};

TEST_P(JackClockChangeTest, ClicksAndPulseCountsStayOnTheBeatWhenTheTempoChangesUnderABusyLock) {
    const bool queued = GetParam();
    constexpr int fastFrames = beatFrames / 2;
    SoundBuffer* fast = clickLoop(fastFrames);
    ASSERT_NE(fast, nullptr);
    JackRecorder recorder(8);
    ASSERT_TRUE(recorder.start());
    pause(300);
    play();
    pause(1200);
    // Halfway into a beat the change, and the old loop's end, fall well inside the hold.
    device.lock();
    std::uint32_t at = beat->position() / 2;
    for (int i = 0; i < 500 && (at < 12000 || at >= 14000); i++) {
        device.unlock();
        pause(2);
        device.lock();
        at = beat->position() / 2;
    }
    ASSERT_TRUE(at >= 12000 && at < 14000);
    pause(300);
    at = beat->position() / 2;  // the copies played on; the voices are where they were
    if (queued) {
        ASSERT_TRUE(beat->play(false));
        ASSERT_TRUE(fast->playAfter(beatFrames - at));
        device.queueClockBuffer(fast, 24);
    } else {
        // The same place in the beat, on the same side of the pulse before it.
        ASSERT_TRUE(fast->setPosition(2 * ((at + 1) / 2)));
        ASSERT_TRUE(fast->play(true));
        ASSERT_TRUE(beat->stop());
        device.setClockBuffer(fast, 24);
    }
    device.unlock();
    pause(2000);
    device.lock();
    fast->stop();
    device.unlock();
    pause(300);
    recorder.stop();

    // Beats of the old tempo, one interval across the change, then beats of the new tempo; the
    // pulses between two clicks a receiver's whole beats.
    const std::vector<long> clicks = onsets(recorder.recorded());
    const std::vector<MidiByte> midi = recorder.midiBytes();
    const long across = queued ? 0 : static_cast<long>(at - (at + 1) / 2) % fastFrames;
    bool changed = false;
    int judged = 0;
    for (std::size_t i = 1; i < clicks.size(); i++) {
        const long from = clicks[i - 1], to = clicks[i];
        if (!recorder.undisturbed(from, to)) continue;
        long pulses = 0;
        for (const MidiByte& byte : midi)
            pulses += byte.byte == 0xF8 && static_cast<long>(byte.frame) >= from &&
                      static_cast<long>(byte.frame) < to;
        if (!changed && to - from == beatFrames) {
            EXPECT_EQ(pulses, 24) << "old beat from " << from;
            continue;
        }
        if (!changed) {
            changed = true;
            EXPECT_EQ((to - from) % fastFrames, across) << "across the change from " << from;
            EXPECT_EQ(pulses % 24, 0) << "across the change from " << from;
            continue;
        }
        judged++;
        EXPECT_EQ(to - from, fastFrames) << "new beat from " << from;
        EXPECT_EQ(pulses, 24) << "new beat from " << from;
    }
    EXPECT_GE(judged, 3) << "too few new beats clear of xruns";
}

INSTANTIATE_TEST_SUITE_P(SwitchedOrQueued, JackClockChangeTest, ::testing::Bool());

// The server is killed while the loop plays and a new one starts: the device lives through it,
// connects again on its own within two seconds, and the loop sounds on its grid at once.
TEST_F(JackSoundDeviceTest, ComesBackToANewServerWithinTwoSecondsAndPlaysOn) {
    play();
    pause(500);
    server.stop();
    for (int i = 0; i < 50; i++, pause(20))
        device.service();
    EXPECT_FALSE(device.connected());
    ASSERT_TRUE(server.start());
    int waited = 0;
    for (; waited < 2000 && !device.connected(); waited += 20, pause(20))
        device.service();
    ASSERT_TRUE(device.connected()) << "not back within 2 s";
    JackRecorder recorder(5);
    ASSERT_TRUE(recorder.start());
    pause(4500);
    recorder.stop();
    const std::vector<long> clicks = onsets(recorder.recorded());
    ASSERT_GE(clicks.size(), 4u);
    // A click the server skipped whole is not there to be the first.
    if (recorder.undisturbed(0, clicks.front())) {
        EXPECT_LT(clicks.front(), beatFrames + 1);
    }
    expectIntervals(recorder, clicks);
    char line[256];
    std::string log;
    while (device.takeMessage(line, sizeof line))
        log += std::string(line) + "\n";
    EXPECT_NE(log.find("JACK server lost"), std::string::npos) << log;
    EXPECT_NE(log.find("sound back"), std::string::npos) << log;
}

// A server with no room for the client's three ports refuses it until another client leaves; the
// device tries again meanwhile rather than staying without sound for the whole run.
TEST(JackSoundDeviceOpenTest, TriesAgainWhileTheServerHasNoRoomForItsPorts) {
    if (!JackServer::available()) GTEST_SKIP() << "jackd is missing";
    JackServer server("full", 8);  // room for three ports besides the driver's
    ASSERT_TRUE(server.start());
    JackRecorder holder(1);
    ASSERT_FALSE(holder.start("nobody"));  // keeps its client and two ports all the same
    JackSoundDevice device;
    bool opened = false;
    std::thread opener([&] { opened = device.createInterface(); });
    std::string log;
    char line[256];
    for (int i = 0; i < 500 && log.find("trying again") == std::string::npos; i++, pause(10))
        while (device.takeMessage(line, sizeof line))
            log += std::string(line) + "\n";
    holder.stop();
    opener.join();
    EXPECT_NE(log.find("trying again"), std::string::npos) << log;
    EXPECT_TRUE(opened);
    EXPECT_EQ(device.nativeRate(), JackServer::rate);
}

}  // namespace
