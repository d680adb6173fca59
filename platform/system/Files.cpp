// The program's folders and whole-file reading and writing, over POSIX calls.
#include "platform/system/Files.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>

namespace platform {

namespace {

std::string withSlash(std::string folder) {
    if (!folder.empty() && folder.back() != '/') folder += '/';
    return folder;
}

std::string folderOf(const std::string& path) {
    std::string::size_type slash = path.rfind('/');
    if (slash == std::string::npos) return "./";
    return path.substr(0, slash + 1);
}

bool readLink(const char* link, std::string& target) {
    std::string buffer(256, '\0');
    for (;;) {
        ssize_t n = readlink(link, buffer.data(), buffer.size());
        if (n < 0) return false;
        if (static_cast<std::size_t>(n) < buffer.size()) {
            target.assign(buffer.data(), static_cast<std::size_t>(n));
            return true;
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::string homeFolder() {
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/') return home;
    const passwd* entry = getpwuid(getuid());
    if (entry != nullptr && entry->pw_dir != nullptr && entry->pw_dir[0] == '/') {
        return entry->pw_dir;
    }
    return "";
}

bool isFolder(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool writeAll(int fd, const unsigned char* data, std::size_t size) {
    while (size > 0) {
        ssize_t n = write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n == 0) errno = EIO;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// The file to replace: the path itself when it names a regular file or nothing, the target of a
// symbolic link when that is a regular file (so that the link survives). Anything else is not
// replaced: errno then tells why.
bool replaceableTarget(const std::string& path, std::string& target) {
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0) {
        target = path;
        return errno == ENOENT;
    }
    const bool link = S_ISLNK(info.st_mode);
    if (link && stat(path.c_str(), &info) != 0) return false;
    if (!S_ISREG(info.st_mode)) {
        errno = S_ISDIR(info.st_mode) ? EISDIR : ENOTSUP;
        return false;
    }
    target = path;
    if (!link) return true;
    char* real = realpath(path.c_str(), nullptr);
    if (real == nullptr) return false;
    target = real;
    std::free(real);
    return true;
}

// The temporary files of a save are named after their file, the saving process and a counter.
std::string temporaryPrefix(const std::string& target) {
    return target + ".tmp.";
}

// A temporary file whose process is gone was left by a save that never finished. One of this
// process's own is stale too: its saves remove their temporary file whatever happens, so such a
// file can only come from an earlier process that had the same number. A live process's file may
// be a save in progress by another copy of the program, and stays.
bool isStaleTemporary(const std::string& name, const std::string& prefix) {
    if (name.compare(0, prefix.size(), prefix) != 0) return false;
    const char* digits = name.c_str() + prefix.size();
    char* end = nullptr;
    const long pid = std::strtol(digits, &end, 10);
    if (end == digits || *end != '.' || pid <= 0) return false;
    if (pid == getpid()) return true;
    return kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

void removeStaleTemporaries(const std::string& target) {
    const std::string folder = folderOf(target);
    const std::string::size_type slash = target.rfind('/');
    const std::string prefix =
        temporaryPrefix(slash == std::string::npos ? target : target.substr(slash + 1));
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) return;
    while (const dirent* entry = readdir(dir)) {
        if (!isStaleTemporary(entry->d_name, prefix)) continue;
        const std::string stale = folder + entry->d_name;
        struct stat info {};
        if (lstat(stale.c_str(), &info) == 0 && S_ISREG(info.st_mode)) unlink(stale.c_str());
    }
    closedir(dir);
}

// Creates a fresh temporary file beside the target. O_EXCL guards against reusing a leftover;
// the mode 0666 lets the umask decide, as for any newly created file.
int createTemporary(const std::string& target, std::string& tempPath) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; attempt++) {
        tempPath = temporaryPrefix(target) + std::to_string(getpid()) + "." +
                   std::to_string(counter.fetch_add(1));
        int fd = open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

// An existing file keeps its permissions and, where allowed, its owner.
void copyModeOf(const std::string& target, int fd) {
    struct stat old {};
    if (stat(target.c_str(), &old) != 0) return;
    fchmod(fd, old.st_mode & 07777);
    if (fchown(fd, old.st_uid, old.st_gid) != 0) {
        // Not permitted for another user's file; the new file is then the writer's own.
    }
}

void syncFolder(const std::string& folder) {
    int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}

// Why stat failed on a name: it is not there at all, it is a symbolic link to nothing, or it
// cannot be reached (errno is left as stat set it).
ReadOutcome failedStat(const std::string& path) {
    const int error = errno;
    struct stat info {};
    if (error == ENOENT || error == ENOTDIR) {
        if (lstat(path.c_str(), &info) != 0) return ReadOutcome::missing;
        if (S_ISLNK(info.st_mode)) return ReadOutcome::notRegular;
    }
    errno = error;
    return ReadOutcome::unreadable;
}

ReadOutcome readOpenFile(int fd, std::size_t maxBytes, std::vector<unsigned char>& bytes) {
    struct stat info {};
    if (fstat(fd, &info) != 0) return ReadOutcome::unreadable;
    if (!S_ISREG(info.st_mode)) return ReadOutcome::notRegular;
    if (static_cast<unsigned long long>(info.st_size) > maxBytes) return ReadOutcome::tooLarge;
    bytes.reserve(static_cast<std::size_t>(info.st_size));
    // The size may change while the file is read: stop one byte past the limit.
    const std::size_t limit = maxBytes == SIZE_MAX ? SIZE_MAX : maxBytes + 1;
    unsigned char chunk[65536];
    while (bytes.size() < limit) {
        const std::size_t wanted = std::min(sizeof chunk, limit - bytes.size());
        ssize_t n = read(fd, chunk, wanted);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return ReadOutcome::unreadable;
        if (n == 0) return ReadOutcome::read;
        bytes.insert(bytes.end(), chunk, chunk + n);
    }
    return ReadOutcome::tooLarge;
}

}  // namespace

std::string programFolder() {
    std::string exe;
    if (!readLink("/proc/self/exe", exe) || exe.empty() || exe[0] != '/') return "";
    // A program whose file was replaced while it runs reads as "path (deleted)".
    const std::string deleted = " (deleted)";
    if (exe.size() > deleted.size() &&
        exe.compare(exe.size() - deleted.size(), deleted.size(), deleted) == 0) {
        exe.resize(exe.size() - deleted.size());
    }
    return folderOf(exe);
}

std::string configFolder() {
    // Relative values of XDG_CONFIG_HOME are invalid and must be ignored.
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && xdg[0] == '/') return withSlash(xdg);
    std::string home = homeFolder();
    if (home.empty()) return "";
    return withSlash(home) + ".config/";
}

ReadOutcome readFileUpTo(const std::string& path, std::size_t maxBytes,
                         std::vector<unsigned char>& bytes) {
    bytes.clear();
    // Only regular files are opened: opening a device can have effects of its own, and a pipe
    // or device could block or never end.
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) return failedStat(path);
    if (!S_ISREG(info.st_mode)) return ReadOutcome::notRegular;
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return failedStat(path);
    const ReadOutcome outcome = readOpenFile(fd, maxBytes, bytes);
    const int error = errno;
    close(fd);
    if (outcome != ReadOutcome::read) bytes.clear();
    errno = error;
    return outcome;
}

bool readFileBytes(const std::string& path, std::vector<unsigned char>& bytes) {
    return readFileUpTo(path, SIZE_MAX, bytes) == ReadOutcome::read;
}

bool isReadableFile(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           access(path.c_str(), R_OK) == 0;
}

bool isFolderWritable(const std::string& folder) {
    return isFolder(folder) && access(folder.c_str(), W_OK | X_OK) == 0;
}

bool createFolderPath(const std::string& folder) {
    if (folder.empty()) return false;
    std::string::size_type from = 1;
    for (;;) {
        std::string::size_type slash = folder.find('/', from);
        std::string part = folder.substr(0, slash);
        if (!part.empty() && mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return false;
        if (slash == std::string::npos) break;
        from = slash + 1;
    }
    return isFolder(folder);
}

bool writeFileAtomically(const std::string& path, const void* data, std::size_t size) {
    if (path.empty() || path.back() == '/') {
        errno = EINVAL;
        return false;
    }
    std::string target;
    if (!replaceableTarget(path, target)) return false;
    removeStaleTemporaries(target);
    std::string tempPath;
    int fd = createTemporary(target, tempPath);
    if (fd < 0) return false;
    copyModeOf(target, fd);
    int error = 0;
    if (!writeAll(fd, static_cast<const unsigned char*>(data), size)) error = errno;
    // The data must be on the disk before the rename makes it the file, or a crash could leave
    // the new name pointing at an empty file.
    if (error == 0 && fsync(fd) != 0) error = errno;
    if (close(fd) != 0 && error == 0) error = errno;
    if (error == 0 && rename(tempPath.c_str(), target.c_str()) != 0) error = errno;
    if (error != 0) {
        unlink(tempPath.c_str());
        errno = error;
        return false;
    }
    syncFolder(folderOf(target));
    return true;
}

}  // namespace platform
