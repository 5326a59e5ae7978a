// The settings file and the shared profile on Linux. Both use the initialisation-file format; the
// shared profile is ${XDG_CONFIG_HOME:-$HOME/.config}/zrv5/profile.ini
// (platform/posix/posix_user_profile.h). The settings file is the one beside the program, else zrv5.ini in
// that same folder.
//
// A profile write that fails is said on standard error, and its value is kept in memory in place
// of the file's for as long as the file stays the one seen at the failure: so an "EXIT" = "1" left
// by an older view never ends this one, while a later write by anyone (zrv5-exit, say) is read as
// usual. The companion learns of the failure (zrv5_profile_is_current of
// vocabulary/companion_contract.h) and then confines nothing.
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/posix/posix_ini_file.h"
#include "platform/posix/posix_settings_file.h"
#include "platform/posix/posix_user_profile.h"
#include "vocabulary/companion_contract.h"

namespace {

// What identifies one version of a file: every successful update renames a new file into place.
struct FileStamp {
    bool exists = false;
    bool regular = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};
    timespec changed{};

    bool operator==(const FileStamp& other) const {
        return exists == other.exists && regular == other.regular && device == other.device &&
               inode == other.inode && size == other.size &&
               modified.tv_sec == other.modified.tv_sec &&
               modified.tv_nsec == other.modified.tv_nsec &&
               changed.tv_sec == other.changed.tv_sec && changed.tv_nsec == other.changed.tv_nsec;
    }
};

// The stamp of the name itself, or with `follow` of the file a read opens through it.
FileStamp stamp_of(const std::string& path, bool follow = false) {
    FileStamp stamp;
    struct stat info {};
    if ((follow ? stat(path.c_str(), &info) : lstat(path.c_str(), &info)) == 0) {
        stamp.exists = true;
        stamp.regular = S_ISREG(info.st_mode);
        stamp.device = info.st_dev;
        stamp.inode = info.st_ino;
        stamp.size = info.st_size;
        stamp.modified = info.st_mtim;
        stamp.changed = info.st_ctim;
    }
    return stamp;
}

struct UnwrittenValue {
    std::string section;
    std::string key;
    std::string value;
};

// The values this process could not write, and the file they stand in for. Used on the GUI thread
// only.
struct Unwritten {
    std::vector<UnwrittenValue> values;
    FileStamp file;
};

Unwritten unwritten;
std::atomic<bool> every_write_succeeded{true};
std::atomic<bool> exit_asked{false};
int last_read_error = 0;  // the read failure said last, so that each is said once
// When a write last gave up waiting for another program's lock. The pick's four writes come in a
// row: once one has waited its 2 s in vain, the others within that time fail at once, so that the
// pick is held up 2 s at most rather than 8.
std::chrono::steady_clock::time_point lock_refused_at;
bool lock_refused = false;
constexpr std::chrono::seconds LOCK_REFUSAL_LASTS{2};

bool write_or_give_up(const char* section, const char* key, const char* value,
                      std::string* failure) {
    const auto now = std::chrono::steady_clock::now();
    if (lock_refused && now - lock_refused_at < LOCK_REFUSAL_LASTS) {
        *failure = "cannot write " + user_profile_path() + ": " + ini_failure_reason(EWOULDBLOCK);
        return false;
    }
    lock_refused = false;
    if (user_profile_write(section, key, value)) {
        return true;
    }
    if (errno == EWOULDBLOCK) {
        lock_refused = true;
        lock_refused_at = std::chrono::steady_clock::now();
    }
    *failure = user_profile_write_failure();
    return false;
}

void remember_unwritten(const char* section, const char* key, const char* value) {
    for (UnwrittenValue& kept : unwritten.values) {
        if (kept.section == section && kept.key == key) {
            kept.value = value;
            unwritten.file = stamp_of(user_profile_path());
            return;
        }
    }
    unwritten.values.push_back(UnwrittenValue{section, key, value});
    unwritten.file = stamp_of(user_profile_path());
}

// Finds the value this process failed to write, while the file is still the one it failed on.
const UnwrittenValue* find_unwritten(const char* section, const char* key) {
    if (unwritten.values.empty()) {
        return nullptr;
    }
    if (!(stamp_of(user_profile_path()) == unwritten.file)) {
        unwritten.values.clear();  // written since: the file is right again
        return nullptr;
    }
    for (const UnwrittenValue& kept : unwritten.values) {
        if (kept.section == section && kept.key == key) {
            return &kept;
        }
    }
    return nullptr;
}

// The last value read from the file, reused while the file is the same version: the tick asks for
// "EXIT" every frame, and a look at the file costs one call where a read costs several.
struct LastRead {
    bool usable = false;
    std::string section;
    std::string key;
    std::string default_text;
    std::string text;
    FileStamp file;
};

LastRead last_read;

// A file's times have the grain of the kernel's coarse clock (a few milliseconds): a version
// changed within this long before a read may be followed by another with the very same stamp, so
// its value is read again next time.
constexpr long long SETTLED_NS = 100 * 1000 * 1000;

long long nanoseconds(const timespec& t) {
    return static_cast<long long>(t.tv_sec) * 1000000000LL + t.tv_nsec;
}

bool is_exit_key(const char* section, const char* key) {
    return std::strcmp(section, PROFILE_SECTION) == 0 && std::strcmp(key, KEY_EXIT) == 0;
}

}  // namespace

bool zrv5_profile_is_current(void) {
    return every_write_succeeded;
}

void zrv5_request_exit(void) {
    exit_asked = true;
}

namespace {

// The settings file the command line named; empty: the usual places.
std::string named_settings_file;

// Returns the settings file to read for the one beside the program, `beside`: that one while it
// exists (or cannot be looked at), else the per-user one, since an installed program's folder
// (/usr/bin) is not the user's to write.
std::string settings_file_to_read(const std::string& beside) {
    if (access(beside.c_str(), F_OK) == 0 || errno != ENOENT) {
        return beside;
    }
    return user_config_folder() + "/zrv5.ini";
}

}  // namespace

void posix_use_settings_file(const std::string& path) { named_settings_file = path; }

std::string platform_executable_path() {
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) {
        return "zrv5";
    }
    return std::string(path, static_cast<std::size_t>(length));
}

std::string platform_read_setting(const std::string& path, const char* section, const char* key,
                                  const char* default_text) {
    const std::string file =
        named_settings_file.empty() ? settings_file_to_read(path) : named_settings_file;
    int error = 0;
    std::string text = ini_read_file(file, section, key, default_text, &error);
    // The four keys are read in a row: one line for the file, not one per key.
    static std::string said;
    if (error != 0 && said != file) {
        said = file;
        std::fprintf(stderr, "zrv5: cannot read %s: %s; the defaults apply\n", file.c_str(),
                     ini_failure_reason(error).c_str());
    }
    return text;
}

void platform_write_profile(const char* section, const char* key, const char* value) {
    last_read.usable = false;
    std::string failure;
    if (write_or_give_up(section, key, value, &failure)) {
        return;
    }
    std::fprintf(stderr, "zrv5: %s\n", failure.c_str());
    every_write_succeeded = false;
    remember_unwritten(section, key, value);
}

std::string platform_read_profile(const char* section, const char* key, const char* default_text) {
    if (exit_asked && is_exit_key(section, key)) {
        return "1";
    }
    if (const UnwrittenValue* kept = find_unwritten(section, key)) {
        return kept->value;
    }
    const std::string path = user_profile_path();
    const FileStamp file = stamp_of(path, true);
    if (last_read.usable && last_read.file == file && last_read.section == section &&
        last_read.key == key && last_read.default_text == default_text) {
        return last_read.text;
    }
    timespec before{};
    clock_gettime(CLOCK_REALTIME, &before);
    int error = 0;
    std::string text = user_profile_read(section, key, default_text, &error);
    if (error != 0 && error != last_read_error) {
        std::fprintf(stderr, "zrv5: cannot read %s: %s\n", path.c_str(),
                     ini_failure_reason(error).c_str());
    }
    last_read_error = error;
    // Kept only when read without error from a plain file (or none) whose version had settled
    // before the read began and is still in place after it.
    const bool settled = !file.exists || (file.regular && nanoseconds(file.changed) + SETTLED_NS <
                                                              nanoseconds(before));
    last_read = LastRead{error == 0 && settled && file == stamp_of(path, true),
                         section,
                         key,
                         default_text,
                         text,
                         file};
    return text;
}
