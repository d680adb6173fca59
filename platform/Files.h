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
// and the temporary file is removed on failure. A new file gets mode 0666 before the umask; an
// existing file keeps its mode. A symbolic link is followed and its target replaced.
bool writeFileAtomically(const std::string& path, const void* data, std::size_t size);

}  // namespace platform
