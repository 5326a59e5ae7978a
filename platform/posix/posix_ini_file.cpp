// Initialisation files on disk: bounded reads of regular files only, and locked updates by writing
// a temporary file and renaming it over the old one, never through a symbolic link.
#include "platform/posix/posix_ini_file.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <new>
#include <string>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/posix/ini_text.h"

namespace {

// How long a writer waits for the lock that another writer holds, and how long it sleeps at most
// between two attempts.
constexpr std::chrono::milliseconds LOCK_WAIT{2000};
constexpr std::chrono::milliseconds LOCK_RETRY_MAX{10};

// Our own refusal of a FIFO, a device or a folder, told apart from the system's reasons by an errno
// value that the calls below never give for a file.
constexpr int NOT_A_REGULAR_FILE = EMEDIUMTYPE;

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

// Checks that the open file is a regular file no larger than INI_FILE_LIMIT; sets errno otherwise.
// A FIFO, a device or a folder is refused before anything is read from it.
bool is_readable_size(int fd) {
    struct stat info {};
    if (fstat(fd, &info) != 0) {
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        errno = NOT_A_REGULAR_FILE;
        return false;
    }
    if (info.st_size > static_cast<off_t>(INI_FILE_LIMIT)) {
        errno = EFBIG;
        return false;
    }
    return true;
}

// Reads the whole file into `text`, refusing (EFBIG) a file that has grown past INI_FILE_LIMIT
// since it was measured.
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
        if (text->size() + static_cast<std::size_t>(got) > INI_FILE_LIMIT) {
            errno = EFBIG;
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

// Opens the file for an update without following a symbolic link at `path` (ELOOP) and without
// blocking on a FIFO; creates it, only when nothing is there, with `new_file_mode`. Gives up with
// EWOULDBLOCK when others keep creating and removing it past `deadline`.
int open_for_update(const std::string& path, unsigned new_file_mode,
                    std::chrono::steady_clock::time_point deadline) {
    constexpr int FLAGS = O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    for (;;) {
        const int fd = open(path.c_str(), FLAGS);
        if (fd >= 0 || errno != ENOENT) {
            return fd;
        }
        // O_EXCL also refuses a dangling link, which an O_CREAT alone would follow to create its
        // target.
        const int created =
            open(path.c_str(), FLAGS | O_CREAT | O_EXCL, static_cast<mode_t>(new_file_mode));
        if (created >= 0 || errno != EEXIST) {
            return created;
        }
        // Another writer created it meanwhile (or a link appeared): open what is there now.
        if (std::chrono::steady_clock::now() >= deadline) {
            errno = EWOULDBLOCK;
            return -1;
        }
    }
}

// Takes the exclusive lock, waiting at most until `deadline`; EWOULDBLOCK after it.
bool lock_until(int fd, std::chrono::steady_clock::time_point deadline) {
    auto pause = std::chrono::milliseconds(1);
    for (;;) {
        if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
            return true;
        }
        if (errno != EWOULDBLOCK && errno != EINTR) {
            return false;
        }
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) {
            errno = EWOULDBLOCK;
            return false;
        }
        std::this_thread::sleep_for(
            std::min<std::chrono::steady_clock::duration>(pause, deadline - now));
        pause = std::min(pause * 2, LOCK_RETRY_MAX);
    }
}

// Opens (creating when missing) and exclusively locks the regular file that `path` names now. A
// writer that was waiting while another renamed a new file into place holds the lock of the old,
// unlinked file, so it checks that the path still names what it locked and starts over when it
// does not. Gives up with EWOULDBLOCK when that takes longer than LOCK_WAIT.
int open_locked(const std::string& path, unsigned new_file_mode) {
    const auto deadline = std::chrono::steady_clock::now() + LOCK_WAIT;
    for (;;) {
        FileDescriptor fd(open_for_update(path, new_file_mode, deadline));
        if (fd.get() < 0 || !is_readable_size(fd.get()) || !lock_until(fd.get(), deadline)) {
            return -1;
        }
        struct stat held {};
        struct stat named {};
        if (fstat(fd.get(), &held) == 0 && lstat(path.c_str(), &named) == 0 &&
            held.st_dev == named.st_dev && held.st_ino == named.st_ino) {
            return fd.release();
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            errno = EWOULDBLOCK;
            return -1;
        }
    }
}

// Writes `text` to a new temporary file beside `path` with `mode` and renames it over `path`. The
// data is handed to the system before the rename, so every reader sees the old file or the new one
// whole. It is not forced to the disk (fsync): these files are a rendezvous between running
// programs, not records that must outlive a power cut, and on a busy disk a forced write stalled
// the pick for seconds, since it waits for every other program's pending writes as well.
bool replace_file(const std::string& path, const std::string& text, mode_t mode) {
    const std::size_t slash = path.rfind('/');
    const std::size_t name_start = slash == std::string::npos ? 0 : slash + 1;
    std::string temporary = path.substr(0, name_start) + "." + path.substr(name_start) + ".XXXXXX";
    FileDescriptor fd(mkostemp(&temporary[0], O_CLOEXEC));  // created with O_EXCL
    if (fd.get() < 0) {
        return false;
    }
    const bool written =
        fchmod(fd.get(), mode) == 0 && write_all(fd.get(), text) && close(fd.release()) == 0;
    if (!written || rename(temporary.c_str(), path.c_str()) != 0) {
        const int reason = errno;
        unlink(temporary.c_str());
        errno = reason;
        return false;
    }
    return true;
}

bool update_file(const std::string& path, const char* section, const char* key, const char* value,
                 unsigned new_file_mode) {
    FileDescriptor lock(open_locked(path, new_file_mode));
    if (lock.get() < 0) {
        return false;
    }
    std::string old_text;
    struct stat info {};
    if (!read_all(lock.get(), &old_text) || fstat(lock.get(), &info) != 0) {
        return false;
    }
    const std::string new_text = ini_set(old_text, section, key, value == nullptr ? "" : value);
    // Written even when unchanged: every successful update is a new file, so that a reader who
    // remembers the file it last saw can tell that someone has written since.
    // The lock is held until `lock` closes, after the rename.
    return replace_file(path, new_text, info.st_mode & 07777);
}

}  // namespace

std::string ini_read_file(const std::string& path, const char* section, const char* key,
                          const char* default_text, int* error) {
    if (error != nullptr) {
        *error = 0;
    }
    try {
        std::string text;
        FileDescriptor fd(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        if (fd.get() >= 0 && is_readable_size(fd.get()) && read_all(fd.get(), &text)) {
            std::string value;
            if (ini_find(text, section, key, &value)) {
                return value;
            }
        } else if (error != nullptr && errno != ENOENT) {
            *error = errno;
        }
        return std::string(default_text).substr(0, INI_VALUE_LIMIT);
    } catch (const std::bad_alloc&) {
        if (error != nullptr) {
            *error = ENOMEM;
        }
    }
    try {
        return std::string(default_text).substr(0, INI_VALUE_LIMIT);
    } catch (const std::bad_alloc&) {
        return std::string();
    }
}

bool ini_write_file(const std::string& path, const char* section, const char* key,
                    const char* value, unsigned new_file_mode) {
    try {
        return update_file(path, section, key, value, new_file_mode);
    } catch (const std::bad_alloc&) {
        errno = ENOMEM;
        return false;
    }
}

std::string ini_failure_reason(int error) {
    switch (error) {
    case ELOOP:
        return "it is a symbolic link, which is never written through";
    case NOT_A_REGULAR_FILE:
        return "it is not a regular file";
    case EFBIG:
        return "it is larger than 1 MiB";
    case EWOULDBLOCK:
        return "another program holds the profile (its lock stayed taken for 2 s)";
    default:
        return std::strerror(error);
    }
}
