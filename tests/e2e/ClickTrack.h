// Reads what SDL's disk driver recorded and finds the clicks in it.
#pragma once

#include <string>
#include <vector>

namespace e2e {

struct Click {
    long start = 0;      // the sample index where the click begins (its silent first sample)
    int peak = 0;        // largest magnitude within the click
    int crossings = 0;   // sign changes within its first 200 samples: a measure of its pitch
    bool cut = false;    // the track ended within those 200 samples
};

// The first sample of every pulse of bars played one after another from sample 0: a bar of
// `beats` beats at b BPM lasts 60 / b x beats x 44100 samples (cut to a whole number), and pulse
// p of its n lies floor(length x p / n) into it.
std::vector<long> pulseStarts(const std::vector<int>& bpms, int beats, int pulsesPerBeat);

class ClickTrack {
public:
    // Loads 16-bit little-endian interleaved frames of the given channel count.
    bool load(const std::string& path, int channels = 2);
    size_t frames() const { return left_.size(); }
    const std::vector<short>& left() const { return left_; }
    const std::vector<short>& right() const { return right_; }

    // A click begins after at least minSilence zero samples; it starts one sample before its
    // first non-zero sample, because every click of the synthesised sounds begins at phase 0.
    std::vector<Click> clicks(int minSilence = 600) const;

private:
    std::vector<short> left_, right_;
};

}  // namespace e2e
