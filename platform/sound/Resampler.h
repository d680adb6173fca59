// Resampler: converts mono 16-bit samples from one rate to another, once, outside any callback.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace platform {

// Converts `count` samples at `fromRate` Hz into `out` at `toRate` Hz with libsamplerate's best
// sinc converter; the result holds round(count * toRate / fromRate) samples. Equal rates copy.
// False (and `out` empty) when a rate is not positive or the converter fails.
bool resampleMono16(const std::int16_t* in, std::size_t count, int fromRate, int toRate,
                    std::vector<std::int16_t>& out);

}  // namespace platform
