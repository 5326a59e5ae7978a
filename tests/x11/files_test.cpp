// End to end with files that must not hurt: settings and profiles that are FIFOs, links, devices or
// huge, a profile whose lock another program keeps, a byte-order mark, a relative HOME, and a view
// whose `time` would never tick. Each run's time is bounded by the test's time limits; a hang
// shows as a failed wait, never as a timed assertion.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <string>

#include "x11/support/end_to_end.h"

namespace {

constexpr int TARGET_X = 200;
constexpr int TARGET_Y = 150;
constexpr std::size_t HUGE_FILE_BYTES = 50u << 20;

using Files = EndToEnd;

Frame typical_frame(int variant = 0) {
    return stretched_frame(EndToEnd::target_source(variant), 640, 480, Placement{60, 45, 1280, 960},
                           60, 45);
}

// Writes a 50 MB file of line breaks.
void write_huge_file(const std::string& path) {
    std::ofstream out(path, std::ios::binary);
    const std::string block(1u << 20, '\n');
    for (std::size_t written = 0; written < HUGE_FILE_BYTES; written += block.size()) {
        out << block;
    }
}

int count_lines(const std::string& text) {
    return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

// Runs zrv5-exit (through `prefix`, such as setpriv, when given) with the environment and folder;
// returns its code, or -1 when it did not end within the time limit.
int run_exit_program(const std::vector<std::string>& environment, std::string* error_text,
                     const std::vector<std::string>& prefix = {}, const std::string& folder = "") {
    std::vector<std::string> argv = prefix;
    argv.push_back(ZRV5_EXIT_PROGRAM);
    ChildProcess program;
    if (!program.start(argv, environment, folder)) {
        return -1;
    }
    const std::optional<int> code = program.wait_exit(EXIT_MS);
    *error_text = program.stderr_text();
    return code.value_or(-1);
}

// What is put where the settings file or the profile should be.
enum class Hostile { fifo, link_to_zero, huge, link_to_file, dangling_link };

struct HostileCase {
    const char* name;
    Hostile kind;
    const char* reason;  // what the one line says
};

std::string hostile_case_name(const ::testing::TestParamInfo<HostileCase>& param_info) {
    return param_info.param.name;
}

// Puts the hostile thing at `path`; a link's target is `victim`.
void make_hostile(Hostile kind, const std::string& path, const std::string& victim) {
    switch (kind) {
    case Hostile::fifo:
        ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
        break;
    case Hostile::link_to_zero:
        ASSERT_EQ(symlink("/dev/zero", path.c_str()), 0);
        break;
    case Hostile::huge:
        write_huge_file(path);
        break;
    case Hostile::link_to_file:
        std::ofstream(victim) << "[Zarvo5]\ntime=16\n";
        ASSERT_EQ(symlink(victim.c_str(), path.c_str()), 0);
        break;
    case Hostile::dangling_link:
        ASSERT_EQ(symlink(victim.c_str(), path.c_str()), 0);
        break;
    }
}

class HostileSettings : public Files, public ::testing::WithParamInterface<HostileCase> {};

// The program starts at once, says in one line why the file is not read, and runs with the
// defaults. A link to a readable file stays allowed: it is read.
TEST_P(HostileSettings, StartUpGoesOnWithTheDefaults) {
    auto target = start_target(640, 480, TARGET_X, TARGET_Y);
    Zrv5Setup setup;
    setup.settings_file = false;
    Zrv5Run run(setup);
    const std::string settings = run.folder() + "/zrv5.ini";
    const std::string victim = run.folder() + "/victim.ini";
    make_hostile(GetParam().kind, settings, victim);
    ASSERT_TRUE(run.start(session));
    ASSERT_TRUE(session.wait_for_pick_ready(START_MS)) << run.process().stderr_text();
    session.click(TARGET_X + 100, TARGET_Y + 50);
    expect_screen(typical_frame(), "picked");
    const std::string said = run.process().stderr_text();
    if (GetParam().reason == nullptr) {
        EXPECT_EQ(said, "");
    } else {
        EXPECT_EQ(said, "zrv5: cannot read " + settings + ": " + GetParam().reason +
                            "; the defaults apply\n");
    }
    target->command("close");
    EXPECT_EQ(run.process().wait_exit(EXIT_MS), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, HostileSettings,
    ::testing::Values(HostileCase{"fifo", Hostile::fifo, "it is not a regular file"},
                      HostileCase{"link_to_zero", Hostile::link_to_zero,
                                  "it is not a regular file"},
                      HostileCase{"huge", Hostile::huge, "it is larger than 1 MiB"},
                      HostileCase{"link_to_file", Hostile::link_to_file, nullptr},
                      HostileCase{"dangling_link", Hostile::dangling_link, nullptr}),
    hostile_case_name);

class HostileProfile : public Files, public ::testing::WithParamInterface<HostileCase> {};

// The pick cannot publish: the view runs on, each failed write is one line with the path and the
// reason, zrv5-exit fails at once saying why, nothing is written through a link or created at its
// target, and the view still ends when its target closes.
TEST_P(HostileProfile, TheViewRunsAndNothingIsWrittenThroughIt) {
    auto target = start_target(640, 480, TARGET_X, TARGET_Y);
    Zrv5Run run;
    ASSERT_EQ(mkdir((run.folder() + "/config").c_str(), 0700), 0);
    ASSERT_EQ(mkdir(run.profile_folder().c_str(), 0700), 0);
    const std::string victim = run.folder() + "/victim.ini";
    make_hostile(GetParam().kind, run.profile_path(), victim);
    const std::string victim_before = file_text(victim);
    ASSERT_TRUE(run.start(session));
    ASSERT_TRUE(session.wait_for_pick_ready(START_MS)) << run.process().stderr_text();
    session.click(TARGET_X + 100, TARGET_Y + 50);
    expect_screen(typical_frame(), "picked");
    target->command("picture 1");
    expect_screen(typical_frame(1), "ticking");

    const std::string line =
        "zrv5: cannot write " + run.profile_path() + ": " + GetParam().reason + "\n";
    std::string expected_said;
    for (int key = 0; key < 4; ++key) {
        expected_said += line;
    }
    // The start reads the profile for a request left from before it first: a profile it cannot
    // read is said then, once.
    std::string said = run.process().stderr_text();
    if (said.rfind("zrv5: cannot read " + run.profile_path() + ": ", 0) == 0) {
        said.erase(0, said.find('\n') + 1);
    }
    EXPECT_EQ(said.substr(0, expected_said.size()), expected_said);

    std::string error_text;
    EXPECT_EQ(run_exit_program({"XDG_CONFIG_HOME=" + run.folder() + "/config"}, &error_text), 1);
    EXPECT_EQ(error_text,
              "zrv5-exit: cannot write " + run.profile_path() + ": " + GetParam().reason + "\n");
    EXPECT_EQ(file_text(victim), victim_before);
    if (GetParam().kind == Hostile::dangling_link) {
        EXPECT_EQ(access(victim.c_str(), F_OK), -1) << "the link's target was created";
    }
    target->command("close");
    EXPECT_EQ(run.process().wait_exit(EXIT_MS), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, HostileProfile,
    ::testing::Values(HostileCase{"fifo", Hostile::fifo, "it is not a regular file"},
                      HostileCase{"link_to_zero", Hostile::link_to_zero,
                                  "it is a symbolic link, which is never written through"},
                      HostileCase{"huge", Hostile::huge, "it is larger than 1 MiB"},
                      HostileCase{"link_to_file", Hostile::link_to_file,
                                  "it is a symbolic link, which is never written through"},
                      HostileCase{"dangling_link", Hostile::dangling_link,
                                  "it is a symbolic link, which is never written through"}),
    hostile_case_name);

// Another program keeps the profile's lock: zrv5-exit gives up (after 2 s) with one line saying so,
// and succeeds once the lock is free.
TEST_F(Files, AHeldLockEndsTheExitProgramsWaitWithAReason) {
    char folder[] = "/tmp/zrv5-lock-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string config = folder;
    const std::string profile = config + "/zrv5/profile.ini";
    ASSERT_EQ(mkdir((config + "/zrv5").c_str(), 0700), 0);
    std::ofstream(profile) << "[Zarvo5]\nEXIT=0\n";
    const int fd = open(profile.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(flock(fd, LOCK_EX), 0);  // the child does not inherit it: it is another program's
    std::string error_text;
    EXPECT_EQ(run_exit_program({"XDG_CONFIG_HOME=" + config}, &error_text), 1);
    EXPECT_EQ(error_text, "zrv5-exit: cannot write " + profile +
                              ": another program holds the profile (its lock stayed taken for "
                              "2 s)\n");
    EXPECT_EQ(file_text(profile), "[Zarvo5]\nEXIT=0\n");
    close(fd);
    EXPECT_EQ(run_exit_program({"XDG_CONFIG_HOME=" + config}, &error_text), 0) << error_text;
    EXPECT_EQ(file_text(profile), "[Zarvo5]\nEXIT=1\n");
    std::system(("rm -rf '" + config + "'").c_str());
}

// Another program keeps the profile's lock from the start through the pick, and the profile holds
// an older view's EXIT=1: the start's clearing of that request and the pick's writes give up,
// saying so, and neither the wait nor the view ends on it. Once the lock is free, zrv5-exit's
// request is read as usual and ends the view.
TEST_F(Files, AViewPickedWhileTheLockIsHeldRunsAndStillEnds) {
    auto target = start_target(640, 480, TARGET_X, TARGET_Y);
    Zrv5Run run;
    ASSERT_EQ(mkdir((run.folder() + "/config").c_str(), 0700), 0);
    ASSERT_EQ(mkdir(run.profile_folder().c_str(), 0700), 0);
    std::ofstream(run.profile_path()) << "[Zarvo5]\nEXIT=1\n";
    const int fd = open(run.profile_path().c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(flock(fd, LOCK_EX), 0);
    ASSERT_TRUE(run.start(session));
    ASSERT_TRUE(session.wait_for_pick_ready(START_MS)) << run.process().stderr_text();
    session.click(TARGET_X + 100, TARGET_Y + 50);
    expect_screen(typical_frame(), "picked");
    target->command("picture 1");
    expect_screen(typical_frame(1), "ticking");
    const std::string line =
        "zrv5: cannot write " + run.profile_path() +
        ": another program holds the profile (its lock stayed taken for 2 s)\n";
    EXPECT_EQ(run.process().stderr_text(), line + line + line + line + line);
    close(fd);
    std::string error_text;
    EXPECT_EQ(run_exit_program({"XDG_CONFIG_HOME=" + run.folder() + "/config"}, &error_text), 0)
        << error_text;
    EXPECT_EQ(run.process().wait_exit(EXIT_MS), 0);
}

// A negative `time` would start a timer of about 24.8 days; the view still ends at an exit request.
TEST_F(Files, ANegativeTimeStillEndsAtAnExitRequest) {
    auto target = start_target(640, 480, TARGET_X, TARGET_Y);
    Zrv5Setup setup;
    setup.settings = "[Zarvo5]\ntime=-1\n";
    auto run = start_and_pick(TARGET_X + 100, TARGET_Y + 50, setup);
    expect_screen(typical_frame(), "picked");
    std::string error_text;
    EXPECT_EQ(run_exit_program({"XDG_CONFIG_HOME=" + run->folder() + "/config"}, &error_text), 0)
        << error_text;
    EXPECT_EQ(run->process().wait_exit(EXIT_MS), 0);
    EXPECT_TRUE(target->process.running());
}

// A settings file saved with a UTF-8 byte-order mark is read: here the aspect fit.
TEST_F(Files, ASettingsFileWithAByteOrderMarkIsRead) {
    auto target = start_target(640, 400, TARGET_X, TARGET_Y);
    Zrv5Setup setup;
    setup.settings = "\xEF\xBB\xBF[Zarvo5]\r\nstretch=2\r\n";
    auto run = start_and_pick(TARGET_X + 100, TARGET_Y + 50, setup);
    expect_screen(stretched_frame(target_source(0), 640, 400, Placement{0, 87, 1400, 875}, 0, 87),
                  "aspect-fit");
}

// Run as an unprivileged user (root passes every permission): a relative HOME is not taken from
// the current folder but from the password database, and a profile folder that user may not write
// is refused with the path and the system's reason.
TEST_F(Files, AsAnotherUserARelativeHomeAndAReadOnlyFolder) {
    const passwd* nobody = getpwnam("nobody");
    ASSERT_NE(nobody, nullptr);
    const std::string nobody_home = nobody->pw_dir;
    const uid_t uid = nobody->pw_uid;
    const gid_t gid = nobody->pw_gid;
    if (geteuid() != 0 || access("/usr/bin/setpriv", X_OK) != 0) {
        GTEST_SKIP() << "needs root and setpriv to run as nobody";
    }
    char folder[] = "/tmp/zrv5-user-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string here = folder;
    ASSERT_EQ(chmod(here.c_str(), 0755), 0);
    ASSERT_EQ(chown(here.c_str(), uid, gid), 0);
    const std::vector<std::string> as_nobody = {"/usr/bin/setpriv", "--reuid=nobody",
                                                "--regid=nogroup", "--clear-groups"};

    std::string error_text;
    const int code =
        run_exit_program({"HOME=home", "XDG_CONFIG_HOME="}, &error_text, as_nobody, here);
    const std::string profile = nobody_home + "/.config/zrv5/profile.ini";
    if (access(profile.c_str(), F_OK) == 0) {
        EXPECT_EQ(code, 0) << error_text;  // a home of its own that it may write
    } else {
        EXPECT_EQ(code, 1);
        EXPECT_EQ(error_text.rfind("zrv5-exit: cannot write " + profile + ": ", 0), 0u)
            << error_text;
        EXPECT_EQ(count_lines(error_text), 1) << error_text;
    }
    EXPECT_EQ(access((here + "/home").c_str(), F_OK), -1) << "written under the current folder";

    const std::string config = here + "/config";
    ASSERT_EQ(mkdir(config.c_str(), 0755), 0);
    ASSERT_EQ(mkdir((config + "/zrv5").c_str(), 0500), 0);
    const std::string before = "[Zarvo5]\nEXIT=0\n";
    std::ofstream(config + "/zrv5/profile.ini") << before;
    ASSERT_EQ(chown((config + "/zrv5").c_str(), uid, gid), 0);
    EXPECT_EQ(run_exit_program({"XDG_CONFIG_HOME=" + config}, &error_text, as_nobody), 1);
    EXPECT_EQ(error_text,
              "zrv5-exit: cannot write " + config + "/zrv5/profile.ini: Permission denied\n");
    EXPECT_EQ(file_text(config + "/zrv5/profile.ini"), before);
    std::system(("rm -rf '" + here + "'").c_str());
}

}  // namespace
