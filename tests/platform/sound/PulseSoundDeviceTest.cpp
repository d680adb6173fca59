// Tests of the sound-server device against a private PulseAudio server, its monitor recorded.
#include "platform/sound/PulseSoundDevice.h"

#include <gtest/gtest.h>

#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/SoundServer.h"
#include "platform/sound/SdlSoundDevice.h"
#include "platform/sound/SoundBuffer.h"

using platform::PulseSoundDevice;
using platform::SoundBuffer;
using testsupport::SoundServer;

namespace {

constexpr int loopLength = 1237;  // not a multiple of any request size

std::int16_t patternSample(int i) {
    return static_cast<std::int16_t>(1000 + (i * 7919) % 20011);
}

// A recording of the looping pattern may begin anywhere in the loop: find where, then follow it
// frame by frame.
void expectTheLoopSampleForSample(const std::vector<std::int16_t>& left) {
    int offset = 0;
    while (offset < loopLength && patternSample(offset) != left[0])
        offset++;
    ASSERT_LT(offset, loopLength);
    for (std::size_t i = 0; i < left.size(); i++)
        ASSERT_EQ(left[i], patternSample(static_cast<int>((offset + i) % loopLength))) << i;
}

// Waits (never measures) up to about ten seconds for a condition.
template <typename Condition>
bool waitUntil(Condition condition) {
    for (int i = 0; i < 2000; i++) {
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return condition();
}

std::vector<std::int16_t> readSamples(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::int16_t> samples(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
}

std::uintmax_t fileSize(const std::string& path) {
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    return error ? 0 : size;
}

// The frames of the recording from its first sound on, as left samples.
std::vector<std::int16_t> soundingLeft(const std::string& path) {
    const std::vector<std::int16_t> all = readSamples(path);
    std::vector<std::int16_t> left;
    for (std::size_t i = 0; i + 1 < all.size(); i += 2)
        if (!left.empty() || all[i] != 0) left.push_back(all[i]);
    return left;
}

class PulseSoundDeviceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!SoundServer::available()) GTEST_SKIP() << "pulseaudio, pactl or parec is missing";
        ASSERT_TRUE(server.start());
        ::setenv("PULSE_SERVER", server.address().c_str(), 1);
        ::unsetenv("SDL_AUDIODRIVER");
        recording = server.place() + "/monitor.raw";
    }

    void open(PulseSoundDevice& device) {
        ASSERT_TRUE(device.createInterface());
        ASSERT_TRUE(device.createPrimaryBuffer());
        ASSERT_TRUE(device.setPrimaryFormat(2, 44100, 16));
    }

    SoundBuffer* patternBuffer(PulseSoundDevice& device) {
        SoundBuffer* buffer = device.createBuffer(2 * loopLength);
        void* region = nullptr;
        std::uint32_t bytes = 0;
        if (buffer == nullptr || !buffer->lock(&region, &bytes)) return nullptr;
        for (int i = 0; i < loopLength; i++)
            static_cast<std::int16_t*>(region)[i] = patternSample(i);
        buffer->unlock();
        return buffer;
    }

    // Whether the server lists a stream of ours and whether it is corked.
    std::string corkState() {
        const std::string list = server.pactl("list sink-inputs");
        const std::size_t at = list.find("Corked: ");
        return at == std::string::npos ? "none" : list.substr(at + 8, list.find('\n', at) - at - 8);
    }

    // Records until `frames` frames of sound have arrived after the first non-zero one.
    std::vector<std::int16_t> recordSound(int frames) {
        std::filesystem::remove(recording);
        EXPECT_TRUE(server.startRecording(recording));
        std::vector<std::int16_t> left;
        waitUntil([&] {
            if (fileSize(recording) < 4u * static_cast<std::uintmax_t>(frames)) return false;
            left = soundingLeft(recording);
            return left.size() >= static_cast<std::size_t>(frames);
        });
        server.stopRecording();
        return left;
    }

    // The same, recorded again (at most three times) while the stream ran dry during it: a
    // machine busy elsewhere can starve the server for a moment, which the device counts, and
    // a recording with that gap says nothing of how the frames were joined.
    std::vector<std::int16_t> recordWithoutUnderrun(PulseSoundDevice& device, int frames) {
        std::vector<std::int16_t> left;
        for (int attempt = 0; attempt < 3; attempt++) {
            const unsigned before = device.underruns();
            left = recordSound(frames);
            // An underrun is told a moment after it happens.
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            if (device.underruns() == before) return left;
            std::printf("the stream ran dry during recording %d: recorded again\n", attempt + 1);
        }
        return left;
    }

    std::vector<std::string> messages(PulseSoundDevice& device) {
        std::vector<std::string> lines;
        char line[256];
        while (device.takeMessage(line, sizeof line))
            lines.emplace_back(line);
        return lines;
    }

    static bool anyContains(const std::vector<std::string>& lines, const char* text) {
        for (const std::string& line : lines)
            if (line.find(text) != std::string::npos) return true;
        return false;
    }

    SoundServer server;
    std::string recording;
};

// Every frame of the loop reaches the server's output as it was mixed: the write callback's
// pieces join without a lost or doubled frame.
TEST_F(PulseSoundDeviceTest, CarriesALoopingBufferToTheOutputSampleForSample) {
    PulseSoundDevice device(40);
    open(device);
    EXPECT_GT(device.grantedBufferFrames(), 0);
    EXPECT_LT(device.grantedRequestFrames(), device.grantedBufferFrames());
    EXPECT_TRUE(anyContains(messages(device), "sound through the server"));
    SoundBuffer* buffer = patternBuffer(device);
    ASSERT_NE(buffer, nullptr);
    ASSERT_TRUE(buffer->play(true));
    const std::vector<std::int16_t> left = recordWithoutUnderrun(device, 20 * loopLength);
    ASSERT_GE(left.size(), 20u * loopLength);
    expectTheLoopSampleForSample(left);
    if (HasFatalFailure()) return;
    // What the server holds ahead of the ear is told, and lies near the 40 ms asked for.
    const int latency = device.latencyFrames();
    EXPECT_GT(latency, 0);
    EXPECT_LT(latency, 44100 / 10);
    buffer->release();
}

// The server's timing reports say which mixed frame was heard when, on the host's raw clock:
// never a frame not yet mixed, never a time to come, and the frames run at the output's rate.
TEST_F(PulseSoundDeviceTest, TellsWhichMixedFrameWasHeardWhenFromTheServersReports) {
    PulseSoundDevice device(40);
    open(device);
    SoundBuffer* buffer = patternBuffer(device);
    ASSERT_NE(buffer, nullptr);
    ASSERT_TRUE(buffer->play(true));
    std::vector<platform::HeardClock> readings;
    waitUntil([&] {
        platform::HeardClock reading;
        device.lock();
        const bool known = device.heardClock(reading);
        const double mixed = static_cast<double>(device.framesMixed());
        device.unlock();
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC_RAW, &now);
        if (!known || (!readings.empty() && readings.back().serial == reading.serial)) return false;
        EXPECT_LE(reading.frame, mixed);
        EXPECT_LE(reading.hostMicros, now.tv_sec * 1000000 + now.tv_nsec / 1000);
        readings.push_back(reading);
        return reading.frame - readings.front().frame > 3 * 44100;
    });
    ASSERT_GE(readings.size(), 10u);
    const platform::HeardClock& first = readings.front();
    const platform::HeardClock& last = readings.back();
    const double rate =
        (last.frame - first.frame) * 1e6 / static_cast<double>(last.hostMicros - first.hostMicros);
    EXPECT_NEAR(rate, 44100.0, 441.0);
    buffer->release();
}

// The server does no work for the program while nothing plays, and a buffer that starts makes
// the stream run again; a stop throws away what the stream still held.
TEST_F(PulseSoundDeviceTest, StreamIsCorkedExactlyWhileNothingPlays) {
    PulseSoundDevice device(40);
    open(device);
    EXPECT_TRUE(device.corked());
    EXPECT_TRUE(waitUntil([&] { return corkState() == "yes"; })) << corkState();
    SoundBuffer* buffer = patternBuffer(device);
    ASSERT_NE(buffer, nullptr);
    ASSERT_TRUE(buffer->play(true));
    EXPECT_FALSE(device.corked());
    EXPECT_TRUE(waitUntil([&] { return corkState() == "no"; })) << corkState();
    ASSERT_TRUE(buffer->stop());
    EXPECT_TRUE(device.corked());
    EXPECT_TRUE(waitUntil([&] { return corkState() == "yes"; })) << corkState();
    buffer->release();
}

// The server goes away while a loop plays and comes back: nothing the window thread calls
// waits for it meanwhile, and the loop sounds again, whole, on the new server.
TEST_F(PulseSoundDeviceTest, PlaysOnWhenTheServerComesBack) {
    PulseSoundDevice device(40);
    open(device);
    SoundBuffer* buffer = patternBuffer(device);
    ASSERT_NE(buffer, nullptr);
    ASSERT_TRUE(buffer->play(true));
    ASSERT_TRUE(waitUntil([&] { return device.framesMixed() > 44100; }));
    server.stop();
    std::vector<std::string> lines;
    ASSERT_TRUE(waitUntil([&] {
        for (const std::string& line : messages(device))
            lines.push_back(line);
        return anyContains(lines, "sound server lost");
    }));
    EXPECT_TRUE(buffer->playing());
    EXPECT_TRUE(buffer->setPosition(2 * 100));
    EXPECT_EQ(buffer->position(), 200u);

    ASSERT_TRUE(server.start());
    ASSERT_TRUE(waitUntil([&] { return device.streamReady(); }));
    EXPECT_TRUE(anyContains(messages(device), "sound back"));
    const std::vector<std::int16_t> left = recordWithoutUnderrun(device, 4 * loopLength);
    ASSERT_GE(left.size(), 4u * loopLength);
    expectTheLoopSampleForSample(left);
    buffer->release();
}

// A mixer kept from running (here: the device lock held for 300 ms) lets the stream run dry;
// the device counts it and asks the server for a longer buffer. On a loaded machine the stream
// may already have run dry while it started, which grows the buffer the same way.
TEST_F(PulseSoundDeviceTest, RunningDryGrowsTheBuffer) {
    PulseSoundDevice device(40);
    open(device);
    const int before = device.grantedBufferFrames();
    SoundBuffer* buffer = patternBuffer(device);
    ASSERT_NE(buffer, nullptr);
    ASSERT_TRUE(buffer->play(true));
    ASSERT_TRUE(waitUntil([&] { return device.framesMixed() > 22050; }));
    device.lock();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    device.unlock();
    ASSERT_TRUE(waitUntil([&] { return device.grantedBufferFrames() > before; }));
    EXPECT_GE(device.underruns(), 1u);
    EXPECT_GT(device.grantedBufferFrames(), before * 5 / 4);
    const std::vector<std::string> lines = messages(device);
    EXPECT_TRUE(anyContains(lines, "ran dry"));
    EXPECT_TRUE(anyContains(lines, "sound buffer raised"));
    buffer->release();
}

// A forced SDL driver wins over a server that answers; without one the server is taken; with
// no server answering, SDL's own order.
TEST_F(PulseSoundDeviceTest, DefaultDeviceIsTheServerUnlessSdlIsForcedOrNoServerAnswers) {
    auto chosen = platform::SoundDevice::createDefault();
    EXPECT_NE(dynamic_cast<PulseSoundDevice*>(chosen.get()), nullptr);
    chosen.reset();
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    chosen = platform::SoundDevice::createDefault();
    EXPECT_NE(dynamic_cast<platform::SdlSoundDevice*>(chosen.get()), nullptr);
    chosen.reset();
    ::unsetenv("SDL_AUDIODRIVER");
    server.stop();
    PulseSoundDevice lonely(40);
    EXPECT_FALSE(lonely.createInterface());
    chosen = platform::SoundDevice::createDefault();
    EXPECT_NE(dynamic_cast<platform::SdlSoundDevice*>(chosen.get()), nullptr);
}

}  // namespace

TEST(PulseSoundDeviceLatency, EnvironmentAsksForTenToTwoHundredMilliseconds) {
    const std::pair<const char*, int> cases[] = {{"", 80},   {"25", 25},  {"5", 10},   {"500", 200},
                                                 {"-3", 10}, {"abc", 80}, {"30ms", 80}};
    for (const auto& [text, expected] : cases) {
        ::setenv("BREVANT_LATENCY_MS", text, 1);
        EXPECT_EQ(PulseSoundDevice::latencyFromEnvironment(), expected) << text;
    }
    ::unsetenv("BREVANT_LATENCY_MS");
    EXPECT_EQ(PulseSoundDevice::latencyFromEnvironment(), 80);
}
