// The synthesis of the sampled click sounds ("Classic" and "Hi-hat") and their WAV file images.
#pragma once

// The generator (tools/wavgen.cpp) writes these sounds to data/, and a test compares the files
// there with what this header produces, so the synthesis must give the same bytes on every run
// and every machine. It therefore uses its own noise generator and no library distribution;
// library maths (exp, sin, cos) is called only to set up filter and oscillator coefficients,
// and every sample is then made of additions and multiplications alone.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace clicksynth {

constexpr double sampleRate = 44100.0;
constexpr double pi = 3.14159265358979323846;

// A 32-bit xorshift generator: small, fast and the same everywhere.
class Noise {
  public:
    explicit Noise(std::uint32_t seed) : state(seed != 0 ? seed : 1) {}

    // A value in [-1, 1).
    double next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return static_cast<double>(state) / 2147483648.0 - 1.0;
    }

  private:
    std::uint32_t state;
};

// A second-order filter section (direct form I) with the usual audio cookbook designs.
class Biquad {
  public:
    static Biquad highPass(double hz, double q) { return design(hz, q, 0); }
    static Biquad lowPass(double hz, double q) { return design(hz, q, 1); }
    static Biquad bandPass(double hz, double q) { return design(hz, q, 2); }

    double run(double x) {
        double y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
        return y;
    }

  private:
    double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;

    static Biquad design(double hz, double q, int kind) {
        double w = 2 * pi * hz / sampleRate;
        double c = std::cos(w);
        double alpha = std::sin(w) / (2 * q);
        double a0 = 1 + alpha;
        Biquad f;
        if (kind == 0) {
            f.b0 = (1 + c) / 2 / a0;
            f.b1 = -(1 + c) / a0;
            f.b2 = f.b0;
        } else if (kind == 1) {
            f.b0 = (1 - c) / 2 / a0;
            f.b1 = (1 - c) / a0;
            f.b2 = f.b0;
        } else {
            f.b0 = alpha / a0;
            f.b1 = 0;
            f.b2 = -alpha / a0;
        }
        f.a1 = -2 * c / a0;
        f.a2 = (1 - alpha) / a0;
        return f;
    }
};

// A decaying sine that starts at phase 0, made by a rotating phasor: a damped mode of the block.
class DampedMode {
  public:
    DampedMode(double hz, double amplitude, double decayMs) {
        double w = 2 * pi * hz / sampleRate;
        double r = std::exp(-1000.0 / (decayMs * sampleRate));
        cr = r * std::cos(w);
        ci = r * std::sin(w);
        re = amplitude;
    }

    double next() {
        double out = im;
        double nre = re * cr - im * ci;
        im = re * ci + im * cr;
        re = nre;
        return out;
    }

  private:
    double cr, ci;
    double re, im = 0;
};

// An exponential decay, one multiplication a sample.
class Decay {
  public:
    explicit Decay(double ms) : factor(std::exp(-1000.0 / (ms * sampleRate))) {}
    double next() {
        double out = level;
        level *= factor;
        return out;
    }

  private:
    double factor;
    double level = 1;
};

// A raised-cosine ramp from 0 to 1 over `length` samples, then 1: the attack, which keeps the
// first sample at exactly 0 so that a click never starts with a jump.
class Ramp {
  public:
    explicit Ramp(int length) : length(length) {
        double w = pi / length;
        cr = std::cos(w);
        ci = std::sin(w);
    }
    double next() {
        if (index++ >= length) return 1;
        double out = (1 - re) / 2;
        double nre = re * cr - im * ci;
        im = re * ci + im * cr;
        re = nre;
        return out;
    }

  private:
    int length;
    int index = 0;
    double cr, ci;
    double re = 1, im = 0;
};

// The partials of a wooden click: frequency ratios to the lowest mode, level and decay.
struct Partial {
    double ratio;
    double amplitude;
    double decayMs;
};

struct WoodVoice {
    double pitchHz;
    std::vector<Partial> partials;
    double strikeHz;  // centre of the stick's short noise tick
    double strikeLevel;
    double strikeMs;
    int length;   // samples
    double peak;  // of full scale
    std::uint32_t seed;
};

struct HatVoice {
    double highPassHz;
    double lowPassHz;   // 0: no low pass, the full top end
    double metalLevel;  // the share of the inharmonic square-wave cluster
    double bodyMs;      // the decay of the main sound
    double snapMs;      // the decay of the first, sharper part
    double snapLevel;
    int length;
    double peak;
    std::uint32_t seed;
};

// Fades the last `length` samples to zero along a half cosine, so a cut never clicks.
inline void fadeTail(std::vector<double>& s, int length) {
    int n = static_cast<int>(s.size());
    if (length > n) length = n;
    Ramp ramp(length);
    for (int i = 0; i < length; i++)
        s[n - 1 - i] *= ramp.next();
}

// Scales to the given peak and rounds to 16 bits.
inline std::vector<std::int16_t> toPcm16(const std::vector<double>& s, double peak) {
    double top = 0;
    for (double v : s)
        top = std::fabs(v) > top ? std::fabs(v) : top;
    double scale = top > 0 ? peak * 32767.0 / top : 0;
    std::vector<std::int16_t> out(s.size());
    for (std::size_t i = 0; i < s.size(); i++) {
        double v = s[i] * scale;
        out[i] = static_cast<std::int16_t>(v < 0 ? -std::floor(-v + 0.5) : std::floor(v + 0.5));
    }
    return out;
}

// A short knock on a hard wooden block: a few inharmonic modes that die away fast, the
// higher ones faster, over a brief tick of band-passed noise where the stick lands.
inline std::vector<std::int16_t> synthesiseWood(const WoodVoice& v) {
    std::vector<DampedMode> modes;
    for (const Partial& p : v.partials)
        modes.emplace_back(v.pitchHz * p.ratio, p.amplitude, p.decayMs);
    Noise noise(v.seed);
    Biquad tick = Biquad::bandPass(v.strikeHz, 0.9);
    Decay tickDecay(v.strikeMs);
    Ramp attack(12);
    std::vector<double> s(static_cast<std::size_t>(v.length));
    for (double& x : s) {
        double sum = 0;
        for (DampedMode& m : modes)
            sum += m.next();
        sum += v.strikeLevel * tick.run(noise.next()) * tickDecay.next();
        x = sum * attack.next();
    }
    fadeTail(s, v.length / 4);
    return toPcm16(s, v.peak);
}

// The six square waves of the classic analogue hi-hat cluster: clashing, inharmonic pitches that
// give the metallic ring under the noise.
inline double metalCluster(std::int64_t i) {
    static const double hz[6] = {205.3, 304.4, 369.6, 522.7, 540.0, 800.0};
    double sum = 0;
    for (double f : hz) {
        // The phase from an integer count keeps the square waves exact and repeatable.
        double period = sampleRate / (f * 2.87);
        double phase = static_cast<double>(i) / period;
        sum += (phase - std::floor(phase)) < 0.5 ? 1.0 : -1.0;
    }
    return sum / 6;
}

// A closed hi-hat: a burst of noise and metallic ring, high-passed so only the sizzle is left.
inline std::vector<std::int16_t> synthesiseHat(const HatVoice& v) {
    Noise noise(v.seed);
    Biquad hp1 = Biquad::highPass(v.highPassHz, 0.707);
    Biquad hp2 = Biquad::highPass(v.highPassHz, 0.707);
    Biquad lp = Biquad::lowPass(v.lowPassHz > 0 ? v.lowPassHz : 20000, 0.707);
    Decay body(v.bodyMs);
    Decay snap(v.snapMs);
    Ramp attack(8);
    std::vector<double> s(static_cast<std::size_t>(v.length));
    for (std::size_t i = 0; i < s.size(); i++) {
        double src = noise.next() * (1 - v.metalLevel) + metalCluster(i) * v.metalLevel;
        double y = hp2.run(hp1.run(src));
        if (v.lowPassHz > 0) y = lp.run(y);
        double env = (1 - v.snapLevel) * body.next() + v.snapLevel * snap.next();
        s[i] = y * env * attack.next();
    }
    fadeTail(s, v.length / 3);
    return toPcm16(s, v.peak);
}

// The accent sounds a fifth above the plain click, so the two sit well together.
inline WoodVoice classicVoice(bool accented) {
    if (accented)
        return {1530.0, {{1.0, 1.0, 20}, {2.43, 0.55, 10}, {4.11, 0.30, 6}, {6.37, 0.14, 3.5}},
                4200.0, 0.5,
                1.6,    5200,
                0.89,   0x2545F491u};
    return {1020.0, {{1.0, 1.0, 18}, {2.43, 0.32, 8}, {4.11, 0.12, 4.5}, {6.37, 0.04, 2.5}},
            2600.0, 0.35,
            1.4,    5000,
            0.71,   0x9E3779B9u};
}

inline HatVoice hiHatVoice(bool accented) {
    if (accented) return {6500.0, 0.0, 0.30, 42, 6, 0.45, 7600, 0.89, 0x85EBCA6Bu};
    return {7000.0, 13000.0, 0.25, 26, 4, 0.5, 5400, 0.71, 0xC2B2AE35u};
}

// The samples of a click file by its name: "1.wav", "1a.wav", "2.wav" or "2a.wav".
inline std::vector<std::int16_t> clickSamples(const std::string& name) {
    bool accented = name.size() > 1 && name[1] == 'a';
    if (name[0] == '1') return synthesiseWood(classicVoice(accented));
    return synthesiseHat(hiHatVoice(accented));
}

inline void putUint32(std::vector<unsigned char>& out, std::uint32_t v) {
    for (int i = 0; i < 4; i++)
        out.push_back(static_cast<unsigned char>(v >> (8 * i)));
}

inline void putUint16(std::vector<unsigned char>& out, std::uint16_t v) {
    out.push_back(static_cast<unsigned char>(v));
    out.push_back(static_cast<unsigned char>(v >> 8));
}

inline void putId(std::vector<unsigned char>& out, const char* id) {
    out.insert(out.end(), id, id + 4);
}

// The image of a canonical RIFF WAVE file: 16-bit mono 44100 Hz PCM.
inline std::vector<unsigned char> wavImage(const std::vector<std::int16_t>& samples) {
    std::uint32_t dataBytes = static_cast<std::uint32_t>(samples.size() * 2);
    std::vector<unsigned char> out;
    putId(out, "RIFF");
    putUint32(out, 36 + dataBytes);
    putId(out, "WAVE");
    putId(out, "fmt ");
    putUint32(out, 16);
    putUint16(out, 1);          // PCM
    putUint16(out, 1);          // mono
    putUint32(out, 44100);      // samples per second
    putUint32(out, 44100 * 2);  // bytes per second
    putUint16(out, 2);          // bytes per frame
    putUint16(out, 16);         // bits per sample
    putId(out, "data");
    putUint32(out, dataBytes);
    for (std::int16_t s : samples)
        putUint16(out, static_cast<std::uint16_t>(s));
    return out;
}

// The four click files, in the order of the metronome's sample slots.
inline const char* const clickFileNames[4] = {"1.wav", "1a.wav", "2.wav", "2a.wav"};

}  // namespace clicksynth
