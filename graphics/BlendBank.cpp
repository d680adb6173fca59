// BlendBank: the formulas of the tint and blend tables, evaluated once at start-up.
#include "graphics/BlendBank.h"

#include <cmath>

unsigned char BlendBank::parity[256];
unsigned char BlendBank::tint[tintCount][tableSize];
unsigned char BlendBank::blend[blendCount][tableSize];
bool BlendBank::built = false;

namespace {

constexpr double k = BlendBank::k;

// Clamps v into 0..255 and then moves it by one, if needed, so that its lowest bit is `odd`.
// From a clamped value the move never leaves 0..255: 255 only ever goes down, 0 only up.
unsigned char withParity(double v, bool odd) {
    int n = v < 0 ? 0 : v > 255 ? 255 : static_cast<int>(v);
    if ((n & 1) != static_cast<int>(odd)) n += odd ? 1 : -1;
    return static_cast<unsigned char>(n);
}

// The curve shared by T3 and T4: a contrast boost whose strength and knee differ. Below the
// middle grey the result is scaled down once more by 2a/255.
double contrast(int a, int b, double slope, double kneeSlope, double kneeOffset) {
    double m = slope * a * b;
    if (b > 216) m += kneeSlope * b - kneeOffset;
    m *= k;
    if (a < 128) m = a * k * 2 * m;
    return m > 255 ? 255 : m;
}

double square(double x) {
    return x * x;
}

double cube(double x) {
    return x * x * x;
}

double tintValue(int n, int a, int b) {
    switch (n) {
        case 0:
            return std::trunc(a * k * b);
        case 1:
            return std::trunc(a * std::sqrt(b * k));
        case 2: {
            const double c = static_cast<float>(cube(b * k));
            return std::trunc(b * k * (a * (1 - c) + 255 * c));
        }
        case 3:
            return std::trunc(contrast(a, b, 1.5, 2500, 540000));
        default:
            return std::trunc(contrast(a, b, 2, 5000, 1080000));
    }
}

double blendValue(int n, int s, int d) {
    switch (n) {
        case 0:
            return s;
        case 1:
            return s + d;
        case 2:
            return s + d - 128;
        case 3:
            return std::trunc(s + (1 - s * k) * d);
        case 4:
            return std::trunc(s + square(1 - s * k) * d);
        case 5:
            return std::trunc(s + d * cube(1 - s * k));
        case 6:
            return s <= 24 ? std::trunc(s + d * (1 - s / 24.0)) : s;
        case 7:
            return d - s;
        case 8:
            return std::trunc(s + (1 - s * k) * d * 0.333);
        case 9:
            return s == 0 ? std::trunc(64 * std::sqrt(d * k)) : s;
        case 10:
            return s == 0 ? std::trunc(34 * std::sqrt(d * k)) : s;
        case 11:
            return s > d ? s : d;
        default:
            return std::trunc((s * k + 1) * d);
    }
}

}  // namespace

void BlendBank::build() {
    if (built) return;
    compute();
    built = true;
}

void BlendBank::compute() {
    for (int v = 0; v < 256; v++)
        parity[v] = v & 1;
    for (int n = 0; n < tintCount; n++)
        buildTint(n);
    for (int n = 0; n < blendCount; n++)
        buildBlend(n);
}

void BlendBank::buildTint(int n) {
    unsigned char* table = tint[n];
    for (int a = 0; a < 256; a++)
        for (int b = 0; b < 256; b++)
            table[a * 256 + b] = withParity(tintValue(n, a, b), b & 1);
}

void BlendBank::buildBlend(int n) {
    unsigned char* table = blend[n];
    for (int s = 0; s < 256; s++)
        for (int d = 0; d < 256; d++)
            table[s * 256 + d] = withParity(blendValue(n, s, d), (s | d) & 1);
}
