// BlendBank: the process-wide 256 x 256 tint and blend tables behind every Limage copy.
#pragma once

// Every table is 65536 bytes. A tint table T is indexed [a * 256 + b] and its result keeps the
// lowest bit of b; a blend table B is indexed [source * 256 + destination] and its result is odd
// when either operand is odd. The tables are filled once by build(), the first time a Limage is
// constructed, and are only read afterwards. The storage has static duration and fixed addresses,
// so the table names below are constants that are safe to take at any time; their contents are
// meaningful once a Limage exists.
class BlendBank {
  public:
    static constexpr int tintCount = 5;
    static constexpr int blendCount = 13;
    static constexpr int tableSize = 65536;

    // The single-precision value nearest 1/255, widened: slightly above 1/255, so that
    // a * k * b truncates to floor(a * b / 255) wherever a * b is a multiple of 255.
    static constexpr double k = static_cast<double>(0.0039215689f);

    // Fills the bank unless it is built already.
    static void build();
    static bool isBuilt() { return built; }
    // Evaluates every table again (start-up cost measurements); the values never change.
    static void compute();

    static unsigned char parity[256];
    static unsigned char tint[tintCount][tableSize];
    static unsigned char blend[blendCount][tableSize];

  private:
    static bool built;
    static void buildTint(int n);
    static void buildBlend(int n);
};

// The table names used by the copy operations' callers.
using BlendTable = const unsigned char*;

inline constexpr BlendTable T0 = BlendBank::tint[0];  // multiply
inline constexpr BlendTable T1 = BlendBank::tint[1];
inline constexpr BlendTable T2 = BlendBank::tint[2];
inline constexpr BlendTable T3 = BlendBank::tint[3];
inline constexpr BlendTable T4 = BlendBank::tint[4];

inline constexpr BlendTable B0 = BlendBank::blend[0];  // source
inline constexpr BlendTable B1 = BlendBank::blend[1];  // add
inline constexpr BlendTable B2 = BlendBank::blend[2];  // add around grey
inline constexpr BlendTable B3 = BlendBank::blend[3];  // screen
inline constexpr BlendTable B4 = BlendBank::blend[4];
inline constexpr BlendTable B5 = BlendBank::blend[5];
inline constexpr BlendTable B6 = BlendBank::blend[6];  // soft key
inline constexpr BlendTable B7 = BlendBank::blend[7];  // subtract
inline constexpr BlendTable B8 = BlendBank::blend[8];
inline constexpr BlendTable B9 = BlendBank::blend[9];
inline constexpr BlendTable B10 = BlendBank::blend[10];
inline constexpr BlendTable B11 = BlendBank::blend[11];  // lighten
inline constexpr BlendTable B12 = BlendBank::blend[12];
