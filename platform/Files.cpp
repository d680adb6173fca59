// The program's folders and whole-file reading and writing, over POSIX calls.
#include "platform/Files.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

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
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// The file to replace: the target of a symbolic link, so that the link itself survives.
std::string resolvedTarget(const std::string& path) {
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
    char* real = realpath(path.c_str(), nullptr);
    if (real == nullptr) return path;
    std::string target = real;
    std::free(real);
    return target;
}

// Creates a fresh temporary file beside the target. O_EXCL guards against reusing a leftover;
// the mode 0666 lets the umask decide, as for any newly created file.
int createTemporary(const std::string& target, std::string& tempPath) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; attempt++) {
        tempPath = target + ".tmp." + std::to_string(getpid()) + "." +
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

bool readFileBytes(const std::string& path, std::vector<unsigned char>& bytes) {
    bytes.clear();
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat info {};
    // Only regular files: a pipe or device could block or never end.
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        return false;
    }
    bytes.reserve(static_cast<std::size_t>(info.st_size));
    unsigned char chunk[65536];
    for (;;) {
        ssize_t n = read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            close(fd);
            bytes.clear();
            return false;
        }
        if (n == 0) break;
        bytes.insert(bytes.end(), chunk, chunk + n);
    }
    close(fd);
    return true;
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
    if (path.empty() || path.back() == '/') return false;
    std::string target = resolvedTarget(path);
    std::string tempPath;
    int fd = createTemporary(target, tempPath);
    if (fd < 0) return false;
    copyModeOf(target, fd);
    bool ok = writeAll(fd, static_cast<const unsigned char*>(data), size);
    // The data must be on the disk before the rename makes it the file, or a crash could leave
    // the new name pointing at an empty file.
    ok = ok && fsync(fd) == 0;
    ok = (close(fd) == 0) && ok;
    ok = ok && rename(tempPath.c_str(), target.c_str()) == 0;
    if (!ok) {
        unlink(tempPath.c_str());
        return false;
    }
    syncFolder(folderOf(target));
    return true;
}

}  // namespace platform
