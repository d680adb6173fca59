// The PNG writer: signature, IHDR, one IDAT of stored deflate blocks, IEND, each with its CRC.
#include "platform/draw/PngWriter.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>

namespace platform {

namespace {

using Bytes = std::vector<unsigned char>;

const std::array<std::uint32_t, 256>& crcTable() {
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    return table;
}

std::uint32_t crc32(const unsigned char* data, std::size_t size) {
    std::uint32_t c = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < size; ++i)
        c = crcTable()[(c ^ data[i]) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

std::uint32_t adler32(const Bytes& data) {
    std::uint32_t a = 1, b = 0;
    for (const unsigned char byte : data) {
        a = (a + byte) % 65521u;
        b = (b + a) % 65521u;
    }
    return (b << 16) | a;
}

void putBigEndian(Bytes& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back((value >> shift) & 0xFF);
}

void putChunk(Bytes& out, const char* type, const Bytes& data) {
    putBigEndian(out, static_cast<std::uint32_t>(data.size()));
    const std::size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    putBigEndian(out, crc32(out.data() + start, out.size() - start));
}

// The image data as PNG wants it before compression: each row a filter byte (0, none) and the
// pixels in red, green, blue order.
Bytes scanlines(const PixelRows& pixels) {
    Bytes raw;
    raw.reserve(static_cast<std::size_t>(pixels.height) * (3 * pixels.width + 1));
    for (int y = 0; y < pixels.height; ++y) {
        raw.push_back(0);
        const unsigned char* p = pixels.rows[y];
        for (int x = 0; x < pixels.width; ++x, p += 3) {
            raw.push_back(p[2]);
            raw.push_back(p[1]);
            raw.push_back(p[0]);
        }
    }
    return raw;
}

// A zlib stream of stored (uncompressed) deflate blocks of at most 65535 bytes each.
Bytes zlibStored(const Bytes& raw) {
    Bytes out = {0x78, 0x01};
    std::size_t offset = 0;
    do {
        const std::size_t size = std::min<std::size_t>(65535, raw.size() - offset);
        const bool last = offset + size == raw.size();
        out.push_back(last ? 1 : 0);
        out.push_back(size & 0xFF);
        out.push_back((size >> 8) & 0xFF);
        out.push_back(~size & 0xFF);
        out.push_back((~size >> 8) & 0xFF);
        out.insert(out.end(), raw.begin() + offset, raw.begin() + offset + size);
        offset += size;
    } while (offset < raw.size());
    putBigEndian(out, adler32(raw));
    return out;
}

}  // namespace

Bytes PngWriter::encode(const PixelRows& pixels) {
    if (!pixels.valid()) return {};
    Bytes out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Bytes header;
    putBigEndian(header, static_cast<std::uint32_t>(pixels.width));
    putBigEndian(header, static_cast<std::uint32_t>(pixels.height));
    // Bit depth 8, colour type 2 (RGB), deflate, no filter method variant, no interlace.
    header.insert(header.end(), {8, 2, 0, 0, 0});
    putChunk(out, "IHDR", header);
    putChunk(out, "IDAT", zlibStored(scanlines(pixels)));
    putChunk(out, "IEND", {});
    return out;
}

bool PngWriter::write(const PixelRows& pixels, const std::string& path) {
    const Bytes file = encode(pixels);
    if (file.empty()) return false;
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) return false;
    const bool written = std::fwrite(file.data(), 1, file.size(), out) == file.size();
    return std::fclose(out) == 0 && written;
}

}  // namespace platform
