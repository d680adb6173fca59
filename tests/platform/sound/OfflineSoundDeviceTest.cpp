// Tests of sound buffers on the offline device: levels, pan, cursor rules, duplicates, failures.
#include "platform/sound/OfflineSoundDevice.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "platform/sound/SoundBuffer.h"

using platform::OfflineSoundDevice;
using platform::SoundBuffer;

namespace {

OfflineSoundDevice* openDevice(int channels) {
    auto* device = new OfflineSoundDevice;
    EXPECT_TRUE(device->createInterface());
    EXPECT_TRUE(device->createPrimaryBuffer());
    EXPECT_TRUE(device->setPrimaryFormat(channels, 44100, 16));
    return device;
}

SoundBuffer* constantBuffer(OfflineSoundDevice& device, int length, std::int16_t value) {
    SoundBuffer* buffer = device.createBuffer(2 * length);
    void* region = nullptr;
    std::uint32_t bytes = 0;
    EXPECT_TRUE(buffer->lock(&region, &bytes));
    EXPECT_EQ(bytes, 2u * length);
    auto* samples = static_cast<std::int16_t*>(region);
    for (int i = 0; i < length; i++)
        samples[i] = value;
    buffer->unlock();
    return buffer;
}

// The level a sample should have after the given attenuation in hundredths of a decibel.
double level(double sample, int hundredths) {
    return sample * std::pow(10.0, hundredths / 2000.0);
}

}  // namespace

TEST(OfflineSoundDevice, VolumeAndPanFollowTheDecibelScale) {
    std::unique_ptr<OfflineSoundDevice> device(openDevice(2));
    SoundBuffer* buffer = constantBuffer(*device, 64, 20000);
    ASSERT_TRUE(buffer->setVolume(-600));
    ASSERT_TRUE(buffer->play(true));
    std::vector<std::int16_t> out = device->render(4);
    EXPECT_NEAR(out[0], level(20000, -600), 1.0);  // -6 dB: about half the amplitude
    EXPECT_EQ(out[0], out[1]);

    ASSERT_TRUE(buffer->setPan(1000));  // towards the right: the left channel loses 10 dB
    out = device->render(4);
    EXPECT_NEAR(out[0], level(20000, -1600), 1.0);
    EXPECT_NEAR(out[1], level(20000, -600), 1.0);

    ASSERT_TRUE(buffer->setPan(-10000));  // fully left: the right channel is silent
    out = device->render(4);
    EXPECT_NEAR(out[0], level(20000, -600), 1.0);
    EXPECT_EQ(out[1], 0);

    ASSERT_TRUE(buffer->setVolume(-10000));
    out = device->render(4);
    EXPECT_EQ(out[0], 0);
    buffer->release();
}

TEST(OfflineSoundDevice, ValuesOutsideTheirScalesAreRefusedAndChangeNothing) {
    std::unique_ptr<OfflineSoundDevice> device(openDevice(2));
    SoundBuffer* buffer = constantBuffer(*device, 64, 1);
    ASSERT_TRUE(buffer->setVolume(-1234) && buffer->setPan(-300) && buffer->setFrequency(22050));
    EXPECT_FALSE(buffer->setVolume(1) || buffer->setVolume(-10001) || buffer->setPan(10001) ||
                 buffer->setFrequency(99) || buffer->setFrequency(100001));
    EXPECT_EQ(buffer->volume(), -1234);
    EXPECT_EQ(buffer->pan(), -300);
    EXPECT_EQ(buffer->frequency(), 22050u);
    EXPECT_EQ(device->createBuffer(0), nullptr);
    buffer->release();
}

TEST(OfflineSoundDevice, CursorAlignsDownRefusesTheEndAndStaysWhenStopped) {
    std::unique_ptr<OfflineSoundDevice> device(openDevice(2));
    SoundBuffer* buffer = constantBuffer(*device, 100, 1);
    EXPECT_TRUE(buffer->setPosition(21));
    EXPECT_EQ(buffer->position(), 20u);
    EXPECT_FALSE(buffer->setPosition(200));
    EXPECT_FALSE(buffer->setPosition(5000));
    EXPECT_EQ(buffer->position(), 20u);
    EXPECT_TRUE(buffer->setPosition(199));
    EXPECT_EQ(buffer->position(), 198u);

    ASSERT_TRUE(buffer->setPosition(20));
    ASSERT_TRUE(buffer->play(true));
    device->render(30);
    ASSERT_TRUE(buffer->stop());
    device->render(30);
    EXPECT_EQ(buffer->position(), 2u * 40);
    ASSERT_TRUE(buffer->play(true));  // resumes where it stopped
    device->render(70);
    EXPECT_EQ(buffer->position(), 2u * 10);
    buffer->release();
}

TEST(OfflineSoundDevice, DuplicateSharesDataThatOutlivesTheSource) {
    std::unique_ptr<OfflineSoundDevice> device(openDevice(1));
    SoundBuffer* source = constantBuffer(*device, 32, 100);
    SoundBuffer* copy = source->duplicate();
    ASSERT_NE(copy, nullptr);
    void* region = nullptr;
    std::uint32_t bytes = 0;
    ASSERT_TRUE(source->lock(&region, &bytes));
    static_cast<std::int16_t*>(region)[0] = 777;
    source->unlock();
    ASSERT_TRUE(source->setPosition(10));
    source->release();
    EXPECT_EQ(copy->position(), 0u);  // the cursor is the copy's own
    ASSERT_TRUE(copy->play(false));
    std::vector<std::int16_t> out = device->render(3);
    EXPECT_EQ(out[0], 777);
    EXPECT_EQ(out[1], 100);
    copy->release();
}
