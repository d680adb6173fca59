// Tests of the WAV loader and of the click sample files the project ships.
#include "audio/WavLoader.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/system/Files.h"
#include "tools/ClickSynth.h"

namespace {

using Bytes = std::vector<unsigned char>;

void put32(Bytes& b, std::uint32_t v) {
    for (int i = 0; i < 4; i++)
        b.push_back(static_cast<unsigned char>(v >> (8 * i)));
}

void putChunk(Bytes& b, const char* id, const Bytes& body, bool pad = true) {
    b.insert(b.end(), id, id + 4);
    put32(b, static_cast<std::uint32_t>(body.size()));
    b.insert(b.end(), body.begin(), body.end());
    if (pad && body.size() % 2 == 1) b.push_back(0);
}

// "RIFF", a riff size that covers everything after it (or the one given), "WAVE", the chunks.
Bytes riff(const Bytes& chunks, long riffSize = -1) {
    Bytes b = {'R', 'I', 'F', 'F'};
    put32(b, static_cast<std::uint32_t>(riffSize >= 0 ? riffSize : 4 + chunks.size()));
    b.insert(b.end(), {'W', 'A', 'V', 'E'});
    b.insert(b.end(), chunks.begin(), chunks.end());
    return b;
}

Bytes fmtBody(std::size_t size = 16) {
    return Bytes(size, 0x11);
}

Bytes sampleBytes(std::size_t n) {
    Bytes b(n);
    for (std::size_t i = 0; i < n; i++)
        b[i] = static_cast<unsigned char>(i * 7 + 3);
    return b;
}

// The chunk walk on a copy of the image in a block of exactly its size, so that AddressSanitizer
// catches any read past the end.
struct Found {
    bool ok;
    long fmtOffset;
    long dataOffset;
    std::uint32_t dataSize;
};

Found find(const Bytes& image) {
    std::unique_ptr<unsigned char[]> block(new unsigned char[image.size() + 1]);
    std::copy(image.begin(), image.end(), block.get());
    const unsigned char* fmt = reinterpret_cast<const unsigned char*>(1);
    const unsigned char* data = fmt;
    std::uint32_t size = 99;
    bool ok = findWaveChunks(block.get(), image.size(), fmt, data, size);
    long f = fmt ? fmt - block.get() : -1;
    long d = data ? data - block.get() : -1;
    return {ok, f, d, size};
}

Bytes listBytes(Llist<unsigned char>& list) {
    Bytes b;
    for (int i = 0; i <= list.top; i++)
        b.push_back(list.items[i]);
    return b;
}

class WavFile : public ::testing::Test {
  protected:
    std::string path;

    void SetUp() override {
        char name[] = "/tmp/brevant-wav-XXXXXX";
        int fd = mkstemp(name);
        ASSERT_GE(fd, 0);
        close(fd);
        path = name;
    }
    void TearDown() override { std::remove(path.c_str()); }

    void write(const Bytes& b) {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
    }
};

Bytes readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

TEST(FindWaveChunks, FindsFmtAndDataInEitherOrder) {
    Bytes c;
    putChunk(c, "fmt ", fmtBody());
    putChunk(c, "data", sampleBytes(6));
    Found f = find(riff(c));
    EXPECT_TRUE(f.ok);
    EXPECT_EQ(f.fmtOffset, 20);
    EXPECT_EQ(f.dataOffset, 44);
    EXPECT_EQ(f.dataSize, 6u);

    Bytes r;
    putChunk(r, "data", sampleBytes(6));
    putChunk(r, "fmt ", fmtBody());
    f = find(riff(r));
    EXPECT_TRUE(f.ok);
    EXPECT_EQ(f.dataOffset, 20);
    EXPECT_EQ(f.fmtOffset, 34);
}

TEST(FindWaveChunks, SkipsOtherChunksWithTheirPadByteAndKeepsTheFirstOfEach) {
    Bytes c;
    putChunk(c, "LIST", sampleBytes(7));
    putChunk(c, "fmt ", fmtBody(18));
    putChunk(c, "fmt ", fmtBody(2));  // a second, broken "fmt " is never looked at
    putChunk(c, "data", sampleBytes(4));
    Found f = find(riff(c));
    EXPECT_TRUE(f.ok);
    EXPECT_EQ(f.fmtOffset, 12 + 8 + 8 + 8);
    EXPECT_EQ(f.dataSize, 4u);
}

TEST(FindWaveChunks, FailsWithNoneWhenAChunkIsMissingOrFmtIsShort) {
    Bytes noData;
    putChunk(noData, "fmt ", fmtBody());
    Bytes shortFmt;
    putChunk(shortFmt, "fmt ", fmtBody(12));
    putChunk(shortFmt, "data", sampleBytes(4));
    Bytes noFmt;
    putChunk(noFmt, "data", sampleBytes(4));
    for (const Bytes& image : {riff(noData), riff(shortFmt), riff(noFmt)}) {
        Found f = find(image);
        EXPECT_FALSE(f.ok);
        EXPECT_EQ(f.fmtOffset, -1);
        EXPECT_EQ(f.dataOffset, -1);
        EXPECT_EQ(f.dataSize, 0u);
    }
}

TEST(FindWaveChunks, RejectsImagesThatAreNotRiffWave) {
    Bytes c;
    putChunk(c, "fmt ", fmtBody());
    putChunk(c, "data", sampleBytes(4));
    Bytes notRiff = riff(c);
    notRiff[0] = 'X';
    Bytes notWave = riff(c);
    notWave[11] = 'X';
    EXPECT_FALSE(find(notRiff).ok);
    EXPECT_FALSE(find(notWave).ok);
    EXPECT_FALSE(find(Bytes{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V'}).ok);
    EXPECT_FALSE(find(Bytes{}).ok);
    const unsigned char* fmt;
    const unsigned char* data;
    std::uint32_t size;
    EXPECT_FALSE(findWaveChunks(nullptr, 100, fmt, data, size));
}

TEST(FindWaveChunks, DataRunningPastTheEndYieldsTheBytesThatExist) {
    Bytes c;
    putChunk(c, "fmt ", fmtBody());
    c.insert(c.end(), {'d', 'a', 't', 'a'});
    put32(c, 0xFFFFFFF0u);
    c.insert(c.end(), {1, 2, 3, 4, 5});
    Found f = find(riff(c, 0xFFFFFFFF));
    EXPECT_TRUE(f.ok);
    EXPECT_EQ(f.dataSize, 5u);

    Bytes atEnd;
    putChunk(atEnd, "fmt ", fmtBody());
    atEnd.insert(atEnd.end(), {'d', 'a', 't', 'a', 8, 0, 0, 0});
    f = find(riff(atEnd));
    EXPECT_TRUE(f.ok);
    EXPECT_EQ(f.dataSize, 0u);
}

TEST(FindWaveChunks, NeverReadsPastTheEndOfALyingImage) {
    // A riff size far past the end, a chunk header cut short, a chunk size that wraps the walk,
    // and a "fmt " whose body the file does not hold: each fails inside the block.
    Bytes cutHeader;
    putChunk(cutHeader, "fmt ", fmtBody());
    cutHeader.insert(cutHeader.end(), {'d', 'a', 't'});
    Bytes huge;
    huge.insert(huge.end(), {'J', 'U', 'N', 'K'});
    put32(huge, 0xFFFFFFFFu);
    putChunk(huge, "fmt ", fmtBody());
    putChunk(huge, "data", sampleBytes(2));
    Bytes cutFmt = {'f', 'm', 't', ' ', 16, 0, 0, 0, 1, 2, 3, 4};
    for (const Bytes& image : {riff(cutHeader, 0x7FFFFFFF), riff(huge), riff(cutFmt)})
        EXPECT_FALSE(find(image).ok);
}

TEST(FindWaveChunks, StopsAtTheRiffSizeWhenItEndsBeforeTheFile) {
    Bytes c;
    putChunk(c, "fmt ", fmtBody());
    putChunk(c, "data", sampleBytes(4));
    EXPECT_FALSE(find(riff(c, 4 + 24)).ok);  // the walk ends right after "fmt "
    EXPECT_TRUE(find(riff(c, 4 + 24 + 1)).ok);
}

TEST_F(WavFile, LoadsTheDataBytesAndReplacesWhatTheListHeld) {
    Bytes c;
    putChunk(c, "data", sampleBytes(301));
    putChunk(c, "fmt ", fmtBody());
    write(riff(c));
    Llist<unsigned char> list(0, 1, true);
    for (int i = 0; i < 10; i++)
        list.add(0xEE);
    ASSERT_TRUE(loadWavSamples(path, list));
    EXPECT_EQ(listBytes(list), sampleBytes(301));
    EXPECT_EQ(list.capacity, 301);
}

TEST_F(WavFile, AnEmptyDataChunkLoadsAsAnEmptyList) {
    Bytes c;
    putChunk(c, "fmt ", fmtBody());
    putChunk(c, "data", Bytes{});
    write(riff(c));
    Llist<unsigned char> list;
    list.add(1);
    ASSERT_TRUE(loadWavSamples(path, list));
    EXPECT_EQ(list.top, -1);
    EXPECT_EQ(list.capacity, 0);
}

TEST_F(WavFile, AFailedLoadLeavesTheListAsItWas) {
    Bytes c;
    putChunk(c, "fmt ", fmtBody());
    write(riff(c));
    Llist<unsigned char> list;
    list.add(5).add(6);
    EXPECT_FALSE(loadWavSamples(path, list));
    EXPECT_FALSE(loadWavSamples(path + ".missing", list));
    write(Bytes{});
    EXPECT_FALSE(loadWavSamples(path, list));
    EXPECT_FALSE(loadWavSamples("/", list));  // a folder seeks to a size no file has
    EXPECT_FALSE(loadWavSamples("/dev/zero", list));
    EXPECT_EQ(listBytes(list), (Bytes{5, 6}));
}

TEST_F(WavFile, ReadWholeFileGivesEveryByteOrNothing) {
    Bytes content = sampleBytes(1000);
    write(content);
    std::unique_ptr<unsigned char[]> block;
    std::size_t size = 0;
    ASSERT_TRUE(readWholeFile(path, block, size));
    ASSERT_EQ(size, 1000u);
    EXPECT_EQ(Bytes(block.get(), block.get() + size), content);
    EXPECT_FALSE(readWholeFile(path + ".missing", block, size));
    EXPECT_EQ(block, nullptr);
    EXPECT_EQ(size, 0u);
}

// The shipped samples are exactly what the generator makes, and they are what the metronome
// expects: RIFF WAVE, 16-bit mono 44100 Hz PCM, shorter than the shortest beat, below full scale,
// and starting from silence.
TEST(ClickSamples, ShippedFilesAreWhatTheGeneratorMakes) {
    for (const char* name : clicksynth::clickFileNames) {
        Bytes expected = clicksynth::wavImage(clicksynth::clickSamples(name));
        EXPECT_EQ(readFile(std::string(BREVANT_SOURCE_DIR) + "/data/" + name), expected) << name;
    }
}

TEST(ClickSamples, LoadAsShortQuietMonoClicks) {
    for (const char* name : clicksynth::clickFileNames) {
        std::string path = std::string(BREVANT_SOURCE_DIR) + "/data/" + name;
        Bytes image = readFile(path);
        ASSERT_GE(image.size(), 44u) << name;
        EXPECT_EQ(Bytes(image.begin() + 20, image.begin() + 36),
                  (Bytes{1, 0, 1, 0, 0x44, 0xAC, 0, 0, 0x88, 0x58, 1, 0, 2, 0, 16, 0}))
            << name;
        Llist<unsigned char> list;
        ASSERT_TRUE(loadWavSamples(path, list)) << name;
        int samples = (list.top + 1) / 2;
        EXPECT_GT(samples, 2000) << name;
        EXPECT_LT(samples, 11025) << name;
        int peak = 0;
        for (int i = 0; i < samples; i++) {
            int v = static_cast<std::int16_t>(list.items[2 * i] | list.items[2 * i + 1] << 8);
            peak = std::max(peak, std::abs(v));
        }
        EXPECT_LT(peak, 32000) << name;
        EXPECT_EQ(list.items[0] | list.items[1] << 8, 0) << name;
        EXPECT_EQ(list.items[2 * samples - 2] | list.items[2 * samples - 1] << 8, 0) << name;
    }
}

// A device at 48000 Hz gets each sample converted once: 441 Hz stays 441 Hz, the length
// grows by the ratio of the rates, and a list at the device's rate is left as it is.
TEST(ResampleWavSamples, ConvertsToTheDeviceRateKeepingPitchAndLength) {
    Llist<unsigned char> list;
    for (int i = 0; i < 4410; i++) {
        const auto v =
            static_cast<std::int16_t>(std::lrint(10000 * std::sin(2 * M_PI * 441 * i / 44100.0)));
        list.add(static_cast<unsigned char>(v & 0xFF))
            .add(static_cast<unsigned char>((v >> 8) & 0xFF));
    }
    const Llist<unsigned char> before = list;
    ASSERT_TRUE(resampleWavSamples(list, 44100, 44100));
    EXPECT_EQ(list.top, before.top);
    ASSERT_TRUE(resampleWavSamples(list, 44100, 48000));
    ASSERT_EQ((list.top + 1) / 2, 4800);
    for (int i = 400; i < 4400; i++) {
        const int v = static_cast<std::int16_t>(list.items[2 * i] | list.items[2 * i + 1] << 8);
        ASSERT_NEAR(v, 10000 * std::sin(2 * M_PI * 441 * i / 48000.0), 4) << i;
    }
}

// The program's own folder wins over the installed data folder beside its bin folder; a name found
// in neither comes back as the program-folder path, so loading it fails as a missing file does.
TEST(FindSampleFile, LooksBesideTheProgramThenInShareBrevant) {
    std::string own = platform::programFolder();
    ASSERT_FALSE(own.empty());
    std::string parent = own.substr(0, own.rfind('/', own.size() - 2) + 1);
    std::string share = parent + "share/brevant/";
    ASSERT_TRUE(platform::createFolderPath(share));
    const std::string name = "brevant-search-test.wav";
    EXPECT_EQ(findSampleFile(name), own + name);
    std::ofstream(share + name) << "x";
    EXPECT_EQ(findSampleFile(name), share + name);
    std::ofstream(own + name) << "x";
    EXPECT_EQ(findSampleFile(name), own + name);
    std::remove((own + name).c_str());
    std::remove((share + name).c_str());
    rmdir(share.c_str());
    rmdir((parent + "share").c_str());
}
