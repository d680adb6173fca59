// Tests of the SDL sound device: a looping buffer through SDL's "disk" driver, read back from the
// file.
#include "platform/sound/SdlSoundDevice.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include <unistd.h>

#include "platform/sound/SoundBuffer.h"

using platform::SdlSoundDevice;
using platform::SoundBuffer;

namespace {

constexpr int loopLength = 1237;  // not a multiple of any period SDL grants
constexpr int volume = -600;

// A pattern with no shorter period, so a lost or doubled sample cannot pass for a repetition.
std::int16_t patternSample(int i) {
    return static_cast<std::int16_t>(1000 + (i * 7919) % 20011);
}

std::filesystem::path diskFile() {
    return std::filesystem::temp_directory_path() /
           ("brevant-disk-" + std::to_string(::getpid()) + ".raw");
}

std::uintmax_t fileSize(const std::filesystem::path& path) {
    std::error_code error;
    std::uintmax_t size = std::filesystem::file_size(path, error);
    return error ? 0 : size;
}

// The disk driver writes in real time, so wait (not measure) until enough has been written.
bool waitForSize(const std::filesystem::path& path, std::uintmax_t size) {
    for (int i = 0; i < 3000 && fileSize(path) < size; i++)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return fileSize(path) >= size;
}

std::vector<std::int16_t> readSamples(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::int16_t> samples(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
}

SoundBuffer* patternBuffer(SdlSoundDevice& device) {
    SoundBuffer* buffer = device.createBuffer(2 * loopLength);
    void* region = nullptr;
    std::uint32_t bytes = 0;
    if (buffer == nullptr || !buffer->lock(&region, &bytes)) return nullptr;
    for (int i = 0; i < loopLength; i++)
        static_cast<std::int16_t*>(region)[i] = patternSample(i);
    buffer->unlock();
    return buffer;
}

}  // namespace

TEST(SdlSoundDevice, DiskDriverReceivesTheLoopSampleForSampleAtTheAskedLevel) {
    std::filesystem::path path = diskFile();
    ::setenv("SDL_AUDIODRIVER", "disk", 1);
    ::setenv("SDL_DISKAUDIOFILE", path.c_str(), 1);
    SdlSoundDevice device;
    ASSERT_TRUE(device.createInterface());
    ASSERT_STREQ(device.driverName(), "disk");
    ASSERT_TRUE(device.createPrimaryBuffer());
    ASSERT_TRUE(device.setPrimaryFormat(2, 44100, 16));
    EXPECT_GT(device.periodFrames(), 0);
    SoundBuffer* buffer = patternBuffer(device);
    ASSERT_NE(buffer, nullptr);
    ASSERT_TRUE(buffer->setVolume(volume));
    ASSERT_TRUE(waitForSize(path, 4 * 2 * 512));  // the output runs: some silence first
    ASSERT_TRUE(buffer->play(true));
    std::uintmax_t started = fileSize(path);
    bool written = waitForSize(path, started + 4 * (8 * loopLength + 4 * device.periodFrames()));
    buffer->release();  // from here on the output is silence
    device.releasePrimaryBuffer();
    ASSERT_TRUE(written);

    std::vector<std::int16_t> out = readSamples(path);
    std::filesystem::remove(path);
    std::size_t frames = out.size() / 2, start = 0;
    while (start < frames && out[2 * start] == 0)
        start++;
    ASSERT_LT(start, frames);
    // The first pass through the loop sounds at the level the volume asks for, on both sides.
    for (int i = 0; i < loopLength; i++) {
        double expected = patternSample(i) * std::pow(10.0, volume / 2000.0);
        ASSERT_NEAR(out[2 * (start + i)], expected, 1.0) << "sample " << i;
        ASSERT_EQ(out[2 * (start + i) + 1], out[2 * (start + i)]);
    }
    // Then every frame repeats the one a loop earlier, until the release leaves only silence.
    std::size_t k = start + loopLength;
    while (k < frames && out[2 * k] == out[2 * (k - loopLength)] &&
           out[2 * k + 1] == out[2 * (k - loopLength) + 1])
        k++;
    EXPECT_GE(k - start, 8u * loopLength);
    for (std::size_t j = k; j < frames; j++)
        ASSERT_EQ(out[2 * j], 0) << "frame " << j << " after the loop broke at " << k;
}

TEST(SdlSoundDevice, UnknownDriverFailsToCreateTheInterface) {
    ::setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    SdlSoundDevice device;
    EXPECT_FALSE(device.createInterface());
    EXPECT_FALSE(device.createPrimaryBuffer());
    EXPECT_FALSE(device.setPrimaryFormat(2, 44100, 16));
}

// Nothing is mixed while no buffer plays; a buffer that starts wakes the output. Nobody hears
// the dummy driver, so nothing lies between the mixer and the ear.
TEST(SdlSoundDevice, MixerRestsWhileNothingPlays) {
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    SdlSoundDevice device;
    ASSERT_TRUE(device.createInterface());
    ASSERT_TRUE(device.createPrimaryBuffer());
    ASSERT_TRUE(device.setPrimaryFormat(2, 44100, 16));
    EXPECT_EQ(device.latencyFrames(), 0);
    SoundBuffer* buffer = patternBuffer(device);
    ASSERT_NE(buffer, nullptr);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(device.framesMixed(), 0u);
    ASSERT_TRUE(buffer->play(true));
    for (int i = 0; i < 2000 && device.framesMixed() == 0; i++)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_GT(device.framesMixed(), 0u);
    buffer->release();
}
