// The PNG writer: exact bytes of a small image, block splitting of a large one, file errors.
#include "platform/draw/PngWriter.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/draw/Bitmap.h"

namespace platform {
namespace {

std::uint32_t bigEndian(const std::vector<unsigned char>& b, std::size_t at) {
    return (std::uint32_t{b[at]} << 24) | (b[at + 1] << 16) | (b[at + 2] << 8) | b[at + 3];
}

TEST(PngWriterTest, ASmallImageEncodesToKnownBytes) {
    Bitmap b;
    ASSERT_TRUE(b.create(2, 1));
    b.canvas().setPixel(0, 0, 0x123456);
    b.canvas().setPixel(1, 0, 0xFFFFFF);
    // Checked against an independent encoder (Python's zlib for the CRCs and the checksum).
    const std::vector<unsigned char> expected = {
        0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48, 0x44,
        0x52, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x01, 0x08, 0x02, 0x00, 0x00, 0x00, 0x7B,
        0x40, 0xE8, 0xDD, 0x00, 0x00, 0x00, 0x12, 0x49, 0x44, 0x41, 0x54, 0x78, 0x01, 0x01, 0x07,
        0x00, 0xF8, 0xFF, 0x00, 0x56, 0x34, 0x12, 0xFF, 0xFF, 0xFF, 0x09, 0x51, 0x03, 0x9A, 0xB9,
        0x85, 0x19, 0x49, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82};
    EXPECT_EQ(PngWriter::encode(b.pixels()), expected);
}

// Reads the stored deflate blocks of the one IDAT chunk back into the filtered scanlines.
std::vector<unsigned char> storedData(const std::vector<unsigned char>& png, int& blocks) {
    const std::size_t idat = 8 + 25;
    const std::uint32_t length = bigEndian(png, idat);
    std::size_t at = idat + 8 + 2;
    const std::size_t end = idat + 8 + length - 4;
    std::vector<unsigned char> data;
    blocks = 0;
    while (at < end) {
        const bool last = png[at] & 1;
        const std::size_t size = png[at + 1] | (png[at + 2] << 8);
        EXPECT_EQ(size ^ 0xFFFF, std::size_t(png[at + 3] | (png[at + 4] << 8)));
        data.insert(data.end(), png.begin() + at + 5, png.begin() + at + 5 + size);
        at += 5 + size;
        ++blocks;
        if (last) break;
    }
    EXPECT_EQ(at, end);
    return data;
}

TEST(PngWriterTest, LargeImagesSplitIntoStoredBlocksThatHoldEveryRow) {
    Bitmap b;
    ASSERT_TRUE(b.create(150, 200));  // 200 rows of 451 bytes: two blocks
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 150; ++x)
            b.canvas().setPixel(x, y, (x * 7 + y * 13) & 0xFFFFFF);
    const std::vector<unsigned char> png = PngWriter::encode(b.pixels());
    int blocks = 0;
    const std::vector<unsigned char> data = storedData(png, blocks);
    EXPECT_EQ(blocks, 2);
    ASSERT_EQ(data.size(), 200u * 451u);
    for (int y = 0; y < 200; y += 37) {
        EXPECT_EQ(data[y * 451], 0);  // no filter
        const unsigned char* row = b.row(y);
        for (int x = 0; x < 150; ++x) {
            EXPECT_EQ(data[y * 451 + 1 + 3 * x], row[3 * x + 2]);  // red first
            EXPECT_EQ(data[y * 451 + 3 + 3 * x], row[3 * x]);
        }
    }
}

TEST(PngWriterTest, WriteFailsWithoutRowsOrAWritablePath) {
    Bitmap b;
    EXPECT_TRUE(PngWriter::encode(b.pixels()).empty());
    EXPECT_FALSE(PngWriter::write(b.pixels(), "unused.png"));
    ASSERT_TRUE(b.create(3, 3));
    EXPECT_FALSE(PngWriter::write(b.pixels(), "/nonexistent/folder/x.png"));
    const std::string path = std::string(BREVANT_BINARY_DIR) + "/png-writer-test.png";
    EXPECT_TRUE(PngWriter::write(b.pixels(), path));
    std::remove(path.c_str());
}

}  // namespace
}  // namespace platform
