// OfflineSoundDevice: a sound device that renders into memory when asked, for tests and benchmarks.
#include "platform/sound/OfflineSoundDevice.h"

#include <algorithm>

namespace platform {

OfflineSoundDevice::~OfflineSoundDevice() {
    freeBuffers();
}

bool OfflineSoundDevice::createInterface() {
    return (faults & failInterface) == 0;
}

bool OfflineSoundDevice::setCooperativeLevel(void* /*window*/) {
    return (faults & failCooperativeLevel) == 0;
}

bool OfflineSoundDevice::createPrimaryBuffer() {
    return (faults & failPrimaryBuffer) == 0;
}

bool OfflineSoundDevice::setPrimaryFormat(int channels, int rate, int bits) {
    if ((faults & failPrimaryFormat) != 0) return false;
    if (rate < minRate || rate > maxRate || bits != 16 || channels < 1 || channels > 2)
        return false;
    std::lock_guard<std::recursive_mutex> hold(mutex);
    outputChannels = channels;
    outputRate = rate;
    running = true;
    return true;
}

void OfflineSoundDevice::releasePrimaryBuffer() {
    std::lock_guard<std::recursive_mutex> hold(mutex);
    running = false;
}

void OfflineSoundDevice::render(std::int16_t* out, int frames) {
    if (frames <= 0) return;
    std::lock_guard<std::recursive_mutex> hold(mutex);
    if (!running) {
        std::fill(out, out + frames * std::max(outputChannels, 1), std::int16_t{0});
        return;
    }
    mix(out, frames);
}

std::vector<std::int16_t> OfflineSoundDevice::render(int frames) {
    std::vector<std::int16_t> out(static_cast<std::size_t>(std::max(frames, 0)) *
                                  std::max(outputChannels, 1));
    render(out.data(), frames);
    return out;
}

bool OfflineSoundDevice::mayCreateBuffer(bool duplicate) {
    if ((faults & failBuffers) != 0) return false;
    if (!duplicate || (faults & failDuplicates) == 0) return true;
    if (duplicatesAllowed <= 0) return false;
    duplicatesAllowed--;
    return true;
}

}  // namespace platform
