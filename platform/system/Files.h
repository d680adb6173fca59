// The program's folders and whole-file reading and writing.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace platform {

// The folder that holds the running executable, asked of the kernel (/proc/self/exe), not taken
// from argv[0]; ends with "/". Empty when it cannot be found.
std::string programFolder();

// The user's configuration folder: $XDG_CONFIG_HOME when it is an absolute path, else
// $HOME/.config (HOME from the password database when unset); ends with "/". Empty when neither
// can be found.
std::string configFolder();

// What became of reading a whole file.
enum class ReadOutcome {
    read,        // the bytes are the file's
    missing,     // no file of that name (a path through a missing folder included)
    notRegular,  // the name exists but is no regular file: a folder, a device, a FIFO, a socket,
                 // a symbolic link to none of these or to nothing
    unreadable,  // a file this process may not read (errno tells why: no permission, a loop of
                 // links, an input error)
    tooLarge,    // a regular file longer than the limit
};

// Reads the whole regular file into bytes when it holds at most maxBytes. Opening never waits
// (a FIFO without a writer), and no more than maxBytes + 1 bytes are ever read, so a huge or
// endless file costs no more than a small one. Anything but `read` leaves bytes empty.
ReadOutcome readFileUpTo(const std::string& path, std::size_t maxBytes,
                         std::vector<unsigned char>& bytes);

// Reads the whole file into bytes. On failure returns false and leaves bytes empty.
bool readFileBytes(const std::string& path, std::vector<unsigned char>& bytes);

// Whether the path names an existing regular file that this process may read.
bool isReadableFile(const std::string& path);

// Whether this process may create files in the folder (which must exist).
bool isFolderWritable(const std::string& folder);

// Creates the folder and any missing parents (mode 0755 before the umask). True when the folder
// exists afterwards.
bool createFolderPath(const std::string& folder);

// Replaces the file's contents as one step: the bytes go to a temporary file in the same folder,
// are flushed to the disk, and the temporary file is renamed over the old one. Either the new
// contents are complete or the old file stays exactly as it was; no truncated file is ever left,
// and the temporary file is removed on failure. Temporary files that an earlier save of the same
// file left behind when its process died are removed first. A new file gets mode 0666 before the
// umask; an existing file keeps its mode.
//
// Only regular files are replaced. A symbolic link whose target is a regular file is followed
// and the target replaced, so the link survives; a link to anything else (a device, a FIFO, a
// folder, nothing, itself) and a name that is no regular file are left alone, and the call
// fails. On failure errno tells why.
bool writeFileAtomically(const std::string& path, const void* data, std::size_t size);

}  // namespace platform
