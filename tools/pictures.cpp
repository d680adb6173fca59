// pictures: paints the application icon at each size the desktop asks for, and previews of the
// about screen's pictures.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "about/AboutPictures.h"
#include "about/TFfreeAppsSplashScreen.h"
#include "graphics/Limage.h"
#include "platform/draw/PngWriter.h"
#include "platform/window/Application.h"

namespace {

std::uint32_t crc32(const unsigned char* p, std::size_t n, std::uint32_t crc = 0) {
    crc = ~crc;
    for (std::size_t i = 0; i < n; i++) {
        crc ^= p[i];
        for (int k = 0; k < 8; k++)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

void put32(std::vector<unsigned char>& out, std::uint32_t v) {
    for (int i = 3; i >= 0; i--)
        out.push_back(static_cast<unsigned char>(v >> (8 * i)));
}

void putChunk(std::vector<unsigned char>& out, const char* type,
              const std::vector<unsigned char>& body) {
    put32(out, static_cast<std::uint32_t>(body.size()));
    std::vector<unsigned char> typed(type, type + 4);
    typed.insert(typed.end(), body.begin(), body.end());
    out.insert(out.end(), typed.begin(), typed.end());
    put32(out, crc32(typed.data(), typed.size()));
}

// The zlib stream of the rows in stored (uncompressed) deflate blocks: small icons need no more.
std::vector<unsigned char> storedZlib(const std::vector<unsigned char>& raw) {
    std::vector<unsigned char> z = {0x78, 0x01};
    std::size_t pos = 0;
    do {
        std::size_t n = raw.size() - pos < 65535 ? raw.size() - pos : 65535;
        z.push_back(pos + n == raw.size() ? 1 : 0);
        z.push_back(static_cast<unsigned char>(n));
        z.push_back(static_cast<unsigned char>(n >> 8));
        z.push_back(static_cast<unsigned char>(~n));
        z.push_back(static_cast<unsigned char>(~n >> 8));
        z.insert(z.end(), raw.begin() + pos, raw.begin() + pos + n);
        pos += n;
    } while (pos < raw.size());
    std::uint32_t a = 1, b = 0;
    for (unsigned char c : raw) {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    put32(z, b << 16 | a);
    return z;
}

// An 8-bit RGBA PNG of the rows.
std::vector<unsigned char> rgbaPng(const std::vector<unsigned char>& rgba, int size) {
    std::vector<unsigned char> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<unsigned char> header;
    put32(header, static_cast<std::uint32_t>(size));
    put32(header, static_cast<std::uint32_t>(size));
    header.insert(header.end(), {8, 6, 0, 0, 0});
    putChunk(out, "IHDR", header);
    std::vector<unsigned char> raw;
    for (int y = 0; y < size; y++) {
        raw.push_back(0);
        raw.insert(raw.end(), rgba.begin() + y * size * 4, rgba.begin() + (y + 1) * size * 4);
    }
    putChunk(out, "IDAT", storedZlib(raw));
    putChunk(out, "IEND", {});
    return out;
}

bool writeFile(const std::string& path, const std::vector<unsigned char>& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    bool ok = file != nullptr && std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    if (file != nullptr && std::fclose(file) != 0) ok = false;
    if (!ok) std::fprintf(stderr, "pictures: cannot write %s\n", path.c_str());
    return ok;
}

Limage enlarged(const Limage& picture, int times) {
    Limage big;
    big.create(picture.width * times, picture.height * times);
    for (int y = 0; y < big.height; y++)
        for (int x = 0; x < big.width; x++)
            for (int c = 0; c < 3; c++)
                big.rows[y][3 * x + c] = picture.rows[y / times][3 * (x / times) + c];
    return big;
}

// The about screen in both modes, and each of its pictures four times enlarged.
bool writePreviews(const std::string& folder) {
    platform::Application::instance().setTitle("Brevant");
    TFfreeAppsSplashScreen screen;
    const char* names[4] = {"fork", "notes", "metronome", "speaker"};
    for (int i = 0; i < 4; i++)
        if (!platform::PngWriter::write(enlarged(screen.pictures[i], 4).pixels(),
                                        folder + names[i] + ".png"))
            return false;
    for (bool about : {false, true}) {
        screen.aboutMode = about;
        screen.compose();
        screen.paintLinkGlow(screen.hoverChangedAt + 1000);
        std::string name = about ? "about.png" : "splash.png";
        if (!platform::PngWriter::write(screen.screenRaster.pixels(), folder + name)) return false;
    }
    return true;
}

// Paints the icon at each size, into FOLDER/<size>x<size>/apps/brevant.png: every size is painted
// from the shapes at that size, never scaled from another.
bool writeIcons(const std::string& folder, char** sizes, int count) {
    for (int i = 0; i < count; i++) {
        const int size = std::atoi(sizes[i]);
        if (size < 8 || size > 1024) {
            std::fprintf(stderr, "pictures: icon size '%s' is not from 8 to 1024\n", sizes[i]);
            return false;
        }
        const std::string dir = folder + "/" + sizes[i] + "x" + sizes[i] + "/apps";
        std::error_code ignored;
        std::filesystem::create_directories(dir, ignored);
        if (!writeFile(dir + "/brevant.png", rgbaPng(AboutPictures::icon(size), size)))
            return false;
    }
    return true;
}

}  // namespace

// Usage: pictures icons FOLDER SIZE...  |  pictures previews FOLDER
int main(int argc, char** argv) {
    const std::string mode = argc >= 3 ? argv[1] : "";
    if (mode == "icons" && argc >= 4) return writeIcons(argv[2], argv + 3, argc - 3) ? 0 : 1;
    if (mode == "previews" && argc == 3) return writePreviews(std::string(argv[2]) + "/") ? 0 : 1;
    std::fprintf(stderr, "usage: pictures icons FOLDER SIZE...\n       pictures previews FOLDER\n");
    return 2;
}
