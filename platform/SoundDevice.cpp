// SoundDevice: an output device at 44100 Hz, 16 bits, with buffers and one mixer behind it.
#include "platform/SoundDevice.h"

#include <algorithm>
#include <new>

#include "platform/SoundBuffer.h"

namespace platform {

SoundDevice::~SoundDevice() {
    freeBuffers();
}

bool SoundDevice::setCooperativeLevel(void* /*window*/) {
    return true;
}

SoundBuffer* SoundDevice::createBuffer(std::uint32_t bytes) {
    if (bytes < 4 || bytes > maxBufferBytes || bytes % 2 != 0) return nullptr;
    if (!mayCreateBuffer(false)) return nullptr;
    std::uint32_t length = bytes / 2;
    std::shared_ptr<std::int16_t[]> data(new (std::nothrow) std::int16_t[length]());
    if (!data) return nullptr;
    auto* buffer = new (std::nothrow) SoundBuffer(*this, std::move(data), length);
    if (buffer != nullptr) attach(buffer);
    return buffer;
}

SoundBuffer* SoundDevice::duplicate(const SoundBuffer& source) {
    if (!mayCreateBuffer(true)) return nullptr;
    auto* buffer = new (std::nothrow) SoundBuffer(*this, source.data, source.length);
    if (buffer != nullptr) attach(buffer);
    return buffer;
}

// The lists may grow here; that happens on the window thread, under the lock, never in the mixer.
void SoundDevice::attach(SoundBuffer* buffer) {
    lock();
    buffers.push_back(buffer);
    mixer.add(&buffer->voice);
    unlock();
}

void SoundDevice::detach(SoundBuffer* buffer) {
    lock();
    mixer.remove(&buffer->voice);
    auto it = std::find(buffers.begin(), buffers.end(), buffer);
    if (it != buffers.end()) buffers.erase(it);
    unlock();
}

void SoundDevice::freeBuffers() {
    for (SoundBuffer* buffer : buffers)
        delete buffer;
    buffers.clear();
    mixer.voices.clear();
}

}  // namespace platform
