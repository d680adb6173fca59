// The sizes of the program's windows at scale 1, by which the end-to-end tests find them.
#pragma once

namespace e2e {

constexpr int kMainWidth = 389, kMainHeight = 305;
// The splash and the about screen are the same window.
constexpr int kSplashWidth = 540, kSplashHeight = 270;
constexpr int kMenuWidth = 264, kMenuHeight = 181;
constexpr int kHotKeysWidth = 480, kHotKeysHeight = 253;

}  // namespace e2e
