// Reading the click samples: whole-file reading, the RIFF WAVE chunk walk and the sample loader.
#include "audio/WavLoader.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "platform/sound/Resampler.h"
#include "platform/system/Files.h"

namespace {

// The RIFF header: "RIFF", the riff size, "WAVE".
constexpr std::size_t riffHeaderSize = 12;
// A chunk header: a 4-byte identifier and a 32-bit body size.
constexpr std::size_t chunkHeaderSize = 8;
// The shortest "fmt " body a WAV file may have.
constexpr std::uint32_t minFmtSize = 14;
// The largest file read: the sample list counts its bytes in an int.
constexpr long maxFileSize = INT_MAX;

std::uint32_t readUint32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

bool hasId(const unsigned char* p, const char* id) {
    return std::memcmp(p, id, 4) == 0;
}

// The size of an open file, found by seeking to its end; -1 when the stream cannot seek.
long streamSize(std::FILE* file) {
    if (std::fseek(file, 0, SEEK_END) != 0) return -1;
    long size = std::ftell(file);
    if (size < 0 || std::fseek(file, 0, SEEK_SET) != 0) return -1;
    return size;
}

// Reads `size` bytes in one call into a new block; an empty block stays absent.
bool readBlock(std::FILE* file, std::size_t size, std::unique_ptr<unsigned char[]>& block) {
    if (size == 0) return true;
    block.reset(new (std::nothrow) unsigned char[size]);
    if (!block) return false;
    if (std::fread(block.get(), 1, size, file) == size) return true;
    block.reset();
    return false;
}

// What the chunk walk has found so far.
struct WaveChunks {
    const unsigned char* fmt = nullptr;
    const unsigned char* data = nullptr;
    std::uint32_t dataSize = 0;
};

enum class ChunkVerdict { walkOn, found, invalid };

// Looks at one chunk whose header lies inside the image. Sizes are held in 64 bits so that no
// claimed size can wrap an offset around.
ChunkVerdict takeChunk(const unsigned char* image, std::size_t size, std::size_t pos,
                       WaveChunks& found) {
    std::uint64_t body = pos + chunkHeaderSize;
    std::uint64_t claimed = readUint32(image + pos + 4);
    std::uint64_t present = size - body;
    if (hasId(image + pos, "fmt ") && found.fmt == nullptr) {
        if (claimed < minFmtSize || present < minFmtSize) return ChunkVerdict::invalid;
        found.fmt = image + body;
        return found.data != nullptr ? ChunkVerdict::found : ChunkVerdict::walkOn;
    }
    if (hasId(image + pos, "data") && found.data == nullptr) {
        found.data = image + body;
        found.dataSize = static_cast<std::uint32_t>(claimed < present ? claimed : present);
        return found.fmt != nullptr ? ChunkVerdict::found : ChunkVerdict::walkOn;
    }
    return ChunkVerdict::walkOn;
}

bool walkChunks(const unsigned char* image, std::size_t size, WaveChunks& found) {
    std::uint64_t end = 8 + static_cast<std::uint64_t>(readUint32(image + 4));
    if (end > size) end = size;  // a riff size past the end is walked only to the real end
    std::uint64_t pos = riffHeaderSize;
    while (pos < end && pos + chunkHeaderSize <= size) {
        ChunkVerdict verdict = takeChunk(image, size, pos, found);
        if (verdict != ChunkVerdict::walkOn) return verdict == ChunkVerdict::found;
        std::uint64_t claimed = readUint32(image + pos + 4);
        pos += chunkHeaderSize + claimed + (claimed & 1);
    }
    return false;
}

bool fitsInList(std::uint32_t count) {
    return count <= static_cast<std::uint32_t>(INT_MAX);
}

// The folder above the program's own: "/usr/bin/" gives "/usr/".
AnsiString parentFolder(const AnsiString& folder) {
    if (folder.size() < 2) return AnsiString();
    std::size_t slash = folder.rfind('/', folder.size() - 2);
    return slash == AnsiString::npos ? AnsiString() : folder.substr(0, slash + 1);
}

}  // namespace

bool readWholeFile(const AnsiString& path, std::unique_ptr<unsigned char[]>& block,
                   std::size_t& size) {
    block.reset();
    size = 0;
    // A folder or a device opens and seeks as well, and answers with a size that is no file's.
    if (!platform::isReadableFile(path)) return false;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return false;
    long length = streamSize(file);
    bool ok = length >= 0 && length <= maxFileSize &&
              readBlock(file, static_cast<std::size_t>(length), block);
    std::fclose(file);
    if (ok) size = static_cast<std::size_t>(length);
    return ok;
}

bool findWaveChunks(const unsigned char* image, std::size_t size, const unsigned char*& fmt,
                    const unsigned char*& data, std::uint32_t& dataSize) {
    fmt = nullptr;
    data = nullptr;
    dataSize = 0;
    if (image == nullptr || size < riffHeaderSize) return false;
    if (!hasId(image, "RIFF") || !hasId(image + 8, "WAVE")) return false;
    WaveChunks found;
    if (!walkChunks(image, size, found)) return false;
    fmt = found.fmt;
    data = found.data;
    dataSize = found.dataSize;
    return true;
}

bool loadWavSamples(const AnsiString& path, Llist<unsigned char>& list) {
    std::unique_ptr<unsigned char[]> block;
    std::size_t size = 0;
    if (!readWholeFile(path, block, size)) return false;
    const unsigned char* fmt = nullptr;
    const unsigned char* data = nullptr;
    std::uint32_t dataSize = 0;
    if (!findWaveChunks(block.get(), size, fmt, data, dataSize)) return false;
    if (!fitsInList(dataSize)) return false;
    list.setCapacity(0, false);
    if (dataSize > 0) list.setCapacity(static_cast<int>(dataSize), false);
    if (list.capacity < static_cast<int>(dataSize)) return false;  // no memory: left empty
    for (std::uint32_t i = 0; i < dataSize; i++)
        list.add(data[i]);
    return true;
}

bool resampleWavSamples(Llist<unsigned char>& list, int fromRate, int toRate) {
    if (fromRate == toRate) return true;
    const int count = (list.top + 1) / 2;
    std::vector<std::int16_t> source(static_cast<std::size_t>(count));
    if (count > 0) std::memcpy(source.data(), list.items, 2 * source.size());
    std::vector<std::int16_t> target;
    if (!platform::resampleMono16(source.data(), source.size(), fromRate, toRate, target))
        return false;
    const std::size_t bytes = 2 * target.size();
    if (bytes > static_cast<std::size_t>(INT_MAX)) return false;
    Llist<unsigned char> result(static_cast<int>(bytes), 1, true);
    if (result.capacity < static_cast<int>(bytes)) return false;
    const auto* raw = reinterpret_cast<const unsigned char*>(target.data());
    for (std::size_t i = 0; i < bytes; i++)
        result.add(raw[i]);
    list = result;
    return true;
}

AnsiString findSampleFile(const AnsiString& name) {
    AnsiString own = platform::programFolder();
    AnsiString beside = own + name;
    if (platform::isReadableFile(beside)) return beside;
    AnsiString parent = parentFolder(own);
    if (!parent.empty() && platform::isReadableFile(parent + "share/brevant/" + name))
        return parent + "share/brevant/" + name;
#ifdef BREVANT_DATA_DIR
    if (platform::isReadableFile(AnsiString(BREVANT_DATA_DIR) + name))
        return AnsiString(BREVANT_DATA_DIR) + name;
#endif
    return beside;
}
