// Initialisation files on disk: whole-file reads, and locked updates by writing a temporary file
// and renaming it over the old one.
#include "platform/ini/ini_file.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/ini/ini_text.h"

namespace {

// A writer that finds the file renamed under it retries; more attempts than this means something
// else keeps replacing the file, and the update gives up rather than spin.
constexpr int LOCK_ATTEMPTS = 100;

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (fd_ >= 0) {
            close(fd_);
        }
    }
    int get() const { return fd_; }
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

private:
    int fd_;
};

bool read_all(int fd, std::string* text) {
    char buffer[4096];
    for (;;) {
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got == 0) {
            return true;
        }
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        text->append(buffer, static_cast<std::size_t>(got));
    }
}

bool write_all(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t put = write(fd, text.data() + done, text.size() - done);
        if (put < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        done += static_cast<std::size_t>(put);
    }
    return true;
}

// Returns the file a symbolic link names, so that the rename replaces the file and keeps the link.
std::string resolve_link(const std::string& path) {
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
        return path;
    }
    char resolved[PATH_MAX];
    if (realpath(path.c_str(), resolved) == nullptr) {
        return path;
    }
    return resolved;
}

// Opens (creating when missing) and exclusively locks the file that `path` names now. A writer that
// was waiting while another renamed a new file into place holds the lock of the old, unlinked file,
// so it checks that the path still names what it locked and starts over when it does not.
int open_locked(const std::string& path, unsigned new_file_mode) {
    for (int attempt = 0; attempt < LOCK_ATTEMPTS; ++attempt) {
        FileDescriptor fd(
            open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, static_cast<mode_t>(new_file_mode)));
        if (fd.get() < 0) {
            return -1;
        }
        int locked;
        do {
            locked = flock(fd.get(), LOCK_EX);
        } while (locked != 0 && errno == EINTR);
        if (locked != 0) {
            return -1;
        }
        struct stat held {};
        struct stat named {};
        if (fstat(fd.get(), &held) == 0 && stat(path.c_str(), &named) == 0 &&
            held.st_dev == named.st_dev && held.st_ino == named.st_ino) {
            return fd.release();
        }
    }
    return -1;
}

std::string folder_of(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Writes `text` to a new temporary file beside `path` with `mode` and renames it over `path`. The
// data is handed to the system before the rename, so every reader sees the old file or the new one
// whole. It is not forced to the disk (fsync): these files are a rendezvous between running
// programs, not records that must outlive a power cut, and on a busy disk a forced write stalled
// the pick for seconds, since it waits for every other program's pending writes as well.
bool replace_file(const std::string& path, const std::string& text, mode_t mode) {
    const std::size_t slash = path.rfind('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    std::string temporary = folder_of(path) + "/." + name + ".XXXXXX";
    FileDescriptor fd(mkostemp(&temporary[0], O_CLOEXEC));
    if (fd.get() < 0) {
        return false;
    }
    const bool written =
        fchmod(fd.get(), mode) == 0 && write_all(fd.get(), text) && close(fd.release()) == 0;
    if (!written || rename(temporary.c_str(), path.c_str()) != 0) {
        unlink(temporary.c_str());
        return false;
    }
    return true;
}

}  // namespace

std::string ini_read_file(const std::string& path, const char* section, const char* key,
                          const char* default_text) {
    std::string text;
    FileDescriptor fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() >= 0 && read_all(fd.get(), &text)) {
        std::string value;
        if (ini_find(text, section, key, &value)) {
            return value;
        }
    }
    return std::string(default_text).substr(0, INI_VALUE_LIMIT);
}

bool ini_write_file(const std::string& path, const char* section, const char* key,
                    const char* value, unsigned new_file_mode) {
    const std::string target = resolve_link(path);
    FileDescriptor lock(open_locked(target, new_file_mode));
    if (lock.get() < 0) {
        return false;
    }
    std::string old_text;
    struct stat info {};
    if (!read_all(lock.get(), &old_text) || fstat(lock.get(), &info) != 0) {
        return false;
    }
    const std::string new_text = ini_set(old_text, section, key, value == nullptr ? "" : value);
    if (new_text == old_text) {
        return true;
    }
    // The lock is held until `lock` closes, after the rename.
    return replace_file(target, new_text, info.st_mode & 07777);
}
