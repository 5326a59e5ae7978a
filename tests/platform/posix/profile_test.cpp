// Tests of the X11 profile's reads, without a display: a value is read again whenever the file is
// another version, however it was replaced or rewritten, and only then.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>

#include "platform/platform.h"
#include "support/temporary_folder.h"
#include "vocabulary/companion_contract.h"

namespace {

class ProfileReads : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(temporary.made());
        home = temporary.path();
        setenv("XDG_CONFIG_HOME", home.c_str(), 1);
        ASSERT_EQ(mkdir((home + "/zrv5").c_str(), 0700), 0);
        path = home + "/zrv5/profile.ini";
    }

    static void write_text(const std::string& file, const std::string& exit_value) {
        std::ofstream(file, std::ios::trunc) << "[Zarvo5]\nEXIT=" << exit_value << "\n";
    }
    // Replaces the profile as an update does: a new file renamed into place.
    void replace_profile(const std::string& exit_value) {
        write_text(path + ".new", exit_value);
        ASSERT_EQ(std::rename((path + ".new").c_str(), path.c_str()), 0);
    }
    std::string read_exit() { return platform_read_profile(PROFILE_SECTION, KEY_EXIT, "0"); }
    // Lets the file's version settle, so that the next read may be kept.
    static void let_settle() { std::this_thread::sleep_for(std::chrono::milliseconds(150)); }

    TemporaryFolder temporary{"profile-test"};
    std::string home;
    std::string path;
};

TEST_F(ProfileReads, EveryNewVersionIsReadWhetherRenamedInOrRewrittenInPlace) {
    EXPECT_EQ(read_exit(), "0");  // no file yet: the default
    replace_profile("1");
    EXPECT_EQ(read_exit(), "1");
    // Rewritten in place at once, with the same size: its times may not have moved yet.
    write_text(path, "2");
    EXPECT_EQ(read_exit(), "2");
    let_settle();
    EXPECT_EQ(read_exit(), "2");
    EXPECT_EQ(read_exit(), "2");  // the version read before
    write_text(path, "3");
    EXPECT_EQ(read_exit(), "3");
    let_settle();
    EXPECT_EQ(read_exit(), "3");
    replace_profile("4");
    EXPECT_EQ(read_exit(), "4");
    // Another key or default is never answered with the value kept for "EXIT".
    EXPECT_EQ(platform_read_profile(PROFILE_SECTION, "missing", "x"), "x");
    EXPECT_EQ(platform_read_profile(PROFILE_SECTION, KEY_EXIT, "9"), "4");
    ASSERT_EQ(std::remove(path.c_str()), 0);
    EXPECT_EQ(read_exit(), "0");
}

TEST_F(ProfileReads, AProfileReachedThroughALinkIsTheFileItLeadsTo) {
    const std::string a = home + "/zrv5/a.ini";
    const std::string b = home + "/zrv5/b.ini";
    write_text(a, "5");
    write_text(b, "6");
    ASSERT_EQ(symlink(a.c_str(), path.c_str()), 0);
    let_settle();
    EXPECT_EQ(read_exit(), "5");
    EXPECT_EQ(read_exit(), "5");
    // The file the link leads to rewritten; the link itself unchanged.
    write_text(a, "7");
    EXPECT_EQ(read_exit(), "7");
    let_settle();
    EXPECT_EQ(read_exit(), "7");
    ASSERT_EQ(std::remove(path.c_str()), 0);
    ASSERT_EQ(symlink(b.c_str(), path.c_str()), 0);
    EXPECT_EQ(read_exit(), "6");
}

// Last: the request stays for the rest of the process.
TEST_F(ProfileReads, AnExitAskedByTheCompanionOutweighsTheKeptValue) {
    replace_profile("0");
    let_settle();
    EXPECT_EQ(read_exit(), "0");
    zrv5_request_exit();
    EXPECT_EQ(read_exit(), "1");
}

}  // namespace
