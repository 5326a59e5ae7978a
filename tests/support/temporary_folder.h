// A folder of a test's own under /tmp, removed with everything in it when the test ends, also
// where the test took its permissions away.
#pragma once

#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

class TemporaryFolder {
public:
    // Makes /tmp/zrv5-<name>-XXXXXX; made() says whether it was.
    explicit TemporaryFolder(const std::string& name) {
        std::string pattern = "/tmp/zrv5-" + name + "-XXXXXX";
        if (mkdtemp(pattern.data()) != nullptr) {
            path_ = pattern;
        }
    }
    ~TemporaryFolder() {
        if (!path_.empty()) {
            remove_tree(path_);
        }
    }
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    bool made() const { return !path_.empty(); }
    const std::string& path() const { return path_; }

private:
    // Gives each folder its permissions back before it is read, then removes what it holds.
    static void remove_tree(const std::filesystem::path& path) {
        std::error_code error;
        if (std::filesystem::is_directory(std::filesystem::symlink_status(path, error))) {
            chmod(path.c_str(), 0700);
            std::vector<std::filesystem::path> entries;
            for (const auto& entry : std::filesystem::directory_iterator(path, error)) {
                entries.push_back(entry.path());
            }
            for (const auto& entry : entries) {
                remove_tree(entry);
            }
        }
        std::filesystem::remove(path, error);
    }

    std::string path_;
};
