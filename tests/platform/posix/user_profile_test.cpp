// Tests of where the shared profile lives and of the refusals before writing it: relative
// variables ignored, a folder that is not the user's own or that others may write.
#include "platform/posix/posix_user_profile.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "support/temporary_folder.h"

namespace {

// Sets an environment variable for the test's duration and puts the old value back.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
        }
        if (value != nullptr) {
            setenv(name, value, 1);
        } else {
            unsetenv(name);
        }
    }
    ~ScopedVariable() {
        if (old_) {
            setenv(name_, old_->c_str(), 1);
        } else {
            unsetenv(name_);
        }
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

std::string database_home() {
    const passwd* entry = getpwuid(getuid());
    return entry != nullptr ? entry->pw_dir : "/";
}

TEST(ConfigHome, RelativeVariablesAreIgnored) {
    struct Case {
        const char* xdg;
        const char* home;
        std::string expected;
    };
    const Case cases[] = {
        {"/x/conf", "/h", "/x/conf"},
        {nullptr, "/h", "/h/.config"},
        {"conf", "/h", "/h/.config"},
        {"", "/h", "/h/.config"},
        {nullptr, "home/user", database_home() + "/.config"},
        {"./conf", ".", database_home() + "/.config"},
        {nullptr, "", database_home() + "/.config"},
        {nullptr, nullptr, database_home() + "/.config"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.xdg ? c.xdg : "(unset)") + " " + (c.home ? c.home : "(unset)"));
        ScopedVariable xdg("XDG_CONFIG_HOME", c.xdg);
        ScopedVariable home("HOME", c.home);
        EXPECT_EQ(config_home(), c.expected);
        EXPECT_EQ(user_profile_path(), c.expected + "/zrv5/profile.ini");
    }
}

class UserProfileTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(temporary_.made());
        home_ = temporary_.path();
        xdg_.emplace("XDG_CONFIG_HOME", home_.c_str());
        folder_ = home_ + "/zrv5";
        path_ = folder_ + "/profile.ini";
    }
    void TearDown() override { xdg_.reset(); }

    TemporaryFolder temporary_{"profile"};
    std::string home_;
    std::string folder_;
    std::string path_;
    std::optional<ScopedVariable> xdg_;
};

TEST_F(UserProfileTest, TheFirstWriteMakesAPrivateFolderAndFile) {
    ASSERT_TRUE(user_profile_write("Zarvo5", "EXIT", "1"));
    struct stat info {};
    ASSERT_EQ(stat(folder_.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_EQ(user_profile_read("Zarvo5", "EXIT", "0"), "1");
}

// As ssh does for its folder: one that others may write, or that belongs to someone else (root
// running with a user's HOME, say), is refused with a reason naming it, and nothing is written.
TEST_F(UserProfileTest, AFolderOthersMayWriteOrOwnIsRefused) {
    ASSERT_EQ(mkdir(folder_.c_str(), 0700), 0);
    for (const mode_t mode : {mode_t{0770}, mode_t{0702}, mode_t{0777}}) {
        SCOPED_TRACE(mode);
        chmod(folder_.c_str(), mode);
        errno = 0;
        EXPECT_FALSE(user_profile_write("Zarvo5", "EXIT", "1"));
        EXPECT_EQ(errno, EPERM);
        EXPECT_EQ(user_profile_write_failure(), "cannot write " + path_ + ": its folder " +
                                                    folder_ + " is writable by group or others");
    }
    chmod(folder_.c_str(), 0755);  // others may read: allowed
    EXPECT_TRUE(user_profile_write("Zarvo5", "EXIT", "0"));

    const passwd* nobody = getpwnam("nobody");
    ASSERT_NE(nobody, nullptr);
    ASSERT_NE(geteuid(), nobody->pw_uid);
    if (chown(folder_.c_str(), nobody->pw_uid, nobody->pw_gid) != 0) {
        GTEST_SKIP() << "only root can give the folder away";
    }
    EXPECT_FALSE(user_profile_write("Zarvo5", "EXIT", "1"));
    EXPECT_EQ(user_profile_write_failure(), "cannot write " + path_ + ": its folder " + folder_ +
                                                " does not belong to this user");
    EXPECT_EQ(user_profile_read("Zarvo5", "EXIT", "?"), "0");
}

TEST_F(UserProfileTest, ALinkAtTheProfileIsRefusedInWords) {
    ASSERT_EQ(mkdir(folder_.c_str(), 0700), 0);
    ASSERT_EQ(symlink("/etc/zrv5-never-written", path_.c_str()), 0);
    EXPECT_FALSE(user_profile_write("Zarvo5", "EXIT", "1"));
    EXPECT_EQ(user_profile_write_failure(),
              "cannot write " + path_ + ": it is a symbolic link, which is never written through");
    EXPECT_EQ(access("/etc/zrv5-never-written", F_OK), -1);
}

}  // namespace
