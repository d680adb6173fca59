// Reading the click samples: whole-file reading, the RIFF WAVE chunk walk and the sample loader.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "base/AnsiString.h"
#include "base/Llist.h"

// Reads the whole file in binary. On success `block` owns exactly `size` bytes (no block when the
// file is empty). On failure (no such file, not a regular file, over 2 GiB, no memory, short
// read) returns false, with `block` empty and `size` 0.
bool readWholeFile(const AnsiString& path, std::unique_ptr<unsigned char[]>& block,
                   std::size_t& size);

// Finds the first "fmt " and the first "data" chunk of a RIFF WAVE image of `size` bytes, in
// either order. `fmt` points at the "fmt " body (at least 14 bytes of it lie inside the image),
// `data` at the "data" body and `dataSize` counts the data bytes that lie inside the image. The
// walk never reads outside the image, whatever sizes the file claims: it stops at the riff size or
// at the image's end, whichever comes first. Returns false (results none / 0) when the image is
// absent, is not RIFF WAVE, lacks one of the two chunks, or has a "fmt " body under 14 bytes.
bool findWaveChunks(const unsigned char* image, std::size_t size, const unsigned char*& fmt,
                    const unsigned char*& data, std::uint32_t& dataSize);

// Loads the data chunk's bytes of the WAV file into the list, in file order, replacing what it
// held; the list's capacity becomes exactly the data size. The format is not interpreted. On any
// failure returns false and leaves the list untouched.
bool loadWavSamples(const AnsiString& path, Llist<unsigned char>& list);

// Brings a list of 16-bit mono samples in native byte order, as loaded, from `fromRate` to
// `toRate` Hz, once, so that a click sample keeps its length and pitch on a device at another
// rate. Equal rates leave the list as it is. On failure returns false and leaves it untouched.
bool resampleWavSamples(Llist<unsigned char>& list, int fromRate, int toRate);

// The full path of a sample file: the program's own folder first, then the installed data folder
// (share/brevant beside the program's bin folder, then the data folder the build was configured
// to install into). When the file is in none of them, the program-folder path is returned, so that
// loading it fails as a missing file would.
AnsiString findSampleFile(const AnsiString& name);
