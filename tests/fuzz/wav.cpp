// Fuzz target: the RIFF WAVE chunk walk and the sample loader on arbitrary bytes.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "audio/WavLoader.h"

namespace {

// The loader reads files, so each input is also written to a file of its own for it.
std::string scratchPath() {
    static std::string path = "/tmp/brevant-fuzz-wav-" + std::to_string(getpid()) + ".wav";
    return path;
}

void checkWalk(const std::uint8_t* bytes, std::size_t size) {
    // A block of exactly the input's size, so that any read past it is caught.
    std::unique_ptr<unsigned char[]> image(new unsigned char[size ? size : 1]);
    if (size > 0) std::memcpy(image.get(), bytes, size);
    const unsigned char* fmt = nullptr;
    const unsigned char* data = nullptr;
    std::uint32_t dataSize = 0;
    if (!findWaveChunks(image.get(), size, fmt, data, dataSize)) return;
    const unsigned char* end = image.get() + size;
    if (fmt < image.get() || fmt + 14 > end) std::abort();
    if (data < image.get() || data + dataSize > end) std::abort();
    volatile unsigned sum = 0;
    for (std::uint32_t i = 0; i < dataSize; i++)
        sum = sum + data[i];
    for (int i = 0; i < 14; i++)
        sum = sum + fmt[i];
}

void checkLoad(const std::uint8_t* bytes, std::size_t size) {
    std::FILE* file = std::fopen(scratchPath().c_str(), "wb");
    if (file == nullptr) return;
    std::fwrite(bytes, 1, size, file);
    std::fclose(file);
    Llist<unsigned char> list;
    list.add(42);
    bool ok = loadWavSamples(scratchPath(), list);
    std::remove(scratchPath().c_str());
    if (!ok && (list.top != 0 || list.items[0] != 42)) std::abort();
    if (ok && list.top + 1 > static_cast<int>(size)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    checkWalk(bytes, size);
    checkLoad(bytes, size);
    return 0;
}
