// Writes pixel rows to a PNG file, so that tests and tools can show what was drawn.
#pragma once

#include <string>
#include <vector>

#include "platform/draw/PixelRows.h"

namespace platform {

// A small writer without dependencies: 8-bit RGB, no filtering, stored deflate blocks. The
// files are larger than a compressing writer's but every viewer opens them.
class PngWriter {
  public:
    // The whole PNG file for the rows; empty when the rows are not valid.
    static std::vector<unsigned char> encode(const PixelRows& pixels);
    // Writes the file; false when the rows are not valid or the file cannot be written.
    static bool write(const PixelRows& pixels, const std::string& path);
};

}  // namespace platform
