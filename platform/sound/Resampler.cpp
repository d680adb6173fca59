// Resampler: converts mono 16-bit samples from one rate to another, once, outside any callback.
#include "platform/sound/Resampler.h"

#include <samplerate.h>

#include <algorithm>

namespace platform {

bool resampleMono16(const std::int16_t* in, std::size_t count, int fromRate, int toRate,
                    std::vector<std::int16_t>& out) {
    out.clear();
    if (fromRate <= 0 || toRate <= 0 || (in == nullptr && count > 0)) return false;
    if (fromRate == toRate || count == 0) {
        out.assign(in, in + count);
        return true;
    }
    const double ratio = static_cast<double>(toRate) / fromRate;
    const auto wanted = static_cast<std::size_t>(static_cast<double>(count) * ratio + 0.5);
    std::vector<float> source(count);
    std::vector<float> target(wanted + 16);
    src_short_to_float_array(in, source.data(), static_cast<int>(count));
    SRC_DATA data{};
    data.data_in = source.data();
    data.input_frames = static_cast<long>(count);
    data.data_out = target.data();
    data.output_frames = static_cast<long>(target.size());
    data.src_ratio = ratio;
    if (src_simple(&data, SRC_SINC_BEST_QUALITY, 1) != 0) return false;
    const auto made = std::min(wanted, static_cast<std::size_t>(data.output_frames_gen));
    out.resize(wanted, 0);
    src_float_to_short_array(target.data(), out.data(), static_cast<int>(made));
    return true;
}

}  // namespace platform
