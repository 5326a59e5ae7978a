// End to end: the command lines of zrv5 and zrv5-exit, the start-up messages without a display and
// in a Wayland session, and the per-user settings file of a program with none beside it.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include "x11/support/end_to_end.h"

namespace {

constexpr int RUN_MS = 10000;

struct Outcome {
    int code = -1;
    std::vector<std::string> out;  // standard output's lines
    std::string err;               // standard error's text
};

// A folder of its own as the per-user configuration, removed at the end.
class ConfigFolder {
public:
    ConfigFolder() {
        char folder[] = "/tmp/zrv5-start-up-XXXXXX";
        if (mkdtemp(folder) != nullptr) {
            path_ = folder;
        }
    }
    ~ConfigFolder() { std::system(("rm -rf '" + path_ + "'").c_str()); }
    const std::string& path() const { return path_; }
    bool has_profile_folder() const { return access((path_ + "/zrv5").c_str(), F_OK) == 0; }

private:
    std::string path_;
};

// Runs `program` with `arguments` and the extra environment, and waits for its end.
Outcome run(const std::string& program, const std::vector<std::string>& arguments,
            const std::vector<std::string>& environment) {
    std::vector<std::string> argv = {program};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    ChildProcess process;
    Outcome outcome;
    if (!process.start(argv, environment)) {
        ADD_FAILURE() << "cannot start " << program;
        return outcome;
    }
    // Standard output ends with the program, so this returns at its end.
    outcome.out = process.lines_within(RUN_MS);
    const std::optional<int> code = process.wait_exit(RUN_MS);
    EXPECT_TRUE(code.has_value()) << program << " did not end";
    outcome.code = code.value_or(-1);
    outcome.err = process.stderr_text();
    return outcome;
}

struct Program {
    const char* path;
    const char* name;
};
const Program PROGRAMS[] = {{ZRV5_EXECUTABLE, "zrv5"}, {ZRV5_EXIT_PROGRAM, "zrv5-exit"}};

// --help and --version answer on standard output with 0 and do nothing else: zrv5 needs no display
// for them, and zrv5-exit writes no request (it used to take any argument as one).
TEST(CommandLine, HelpAndVersionAnswerOnStandardOutputAndDoNothingElse) {
    for (const Program& program : PROGRAMS) {
        for (const char* help : {"--help", "-h"}) {
            ConfigFolder config;
            const Outcome outcome =
                run(program.path, {help}, {"DISPLAY=", "XDG_CONFIG_HOME=" + config.path()});
            EXPECT_EQ(outcome.code, 0) << program.name << " " << help;
            ASSERT_FALSE(outcome.out.empty()) << program.name << " " << help;
            EXPECT_EQ(outcome.out[0],
                      std::string("Usage: ") + program.name + " [--help | --version]");
            if (std::string(program.name) == "zrv5") {
                ASSERT_GE(outcome.out.size(), 2u);
                EXPECT_EQ(outcome.out[1],
                          "       zrv5 [--window ID | --active | --wait TEXT [--timeout SECONDS]] "
                          "[--settings FILE]");
            }
            EXPECT_EQ(outcome.err, "") << program.name << " " << help;
            EXPECT_FALSE(config.has_profile_folder()) << program.name << " " << help;
        }
        ConfigFolder config;
        const Outcome outcome =
            run(program.path, {"--version"}, {"DISPLAY=", "XDG_CONFIG_HOME=" + config.path()});
        EXPECT_EQ(outcome.code, 0) << program.name;
        EXPECT_EQ(outcome.out,
                  std::vector<std::string>{std::string(program.name) + " " + ZRV5_VERSION});
        EXPECT_EQ(outcome.err, "");
        EXPECT_FALSE(config.has_profile_folder()) << program.name;
    }
}

// Anything else prints the usage on standard error and ends with 2, before any other work.
TEST(CommandLine, AnyOtherArgumentPrintsTheUsageOnStandardErrorAndEndsWith2) {
    const std::vector<std::vector<std::string>> command_lines = {
        {"--bogus"}, {"-x"}, {"EXIT=1"}, {""}, {"--help", "--version"}, {"--version", "extra"}};
    for (const Program& program : PROGRAMS) {
        for (const std::vector<std::string>& arguments : command_lines) {
            ConfigFolder config;
            const Outcome outcome =
                run(program.path, arguments, {"DISPLAY=", "XDG_CONFIG_HOME=" + config.path()});
            const std::string what = std::string(program.name) + " " + arguments[0];
            EXPECT_EQ(outcome.code, 2) << what;
            EXPECT_TRUE(outcome.out.empty()) << what;
            EXPECT_EQ(outcome.err.rfind(std::string(program.name) + ": ", 0), 0u) << outcome.err;
            EXPECT_NE(outcome.err.find(std::string("Usage: ") + program.name), std::string::npos)
                << outcome.err;
            EXPECT_FALSE(config.has_profile_folder()) << what << " wrote the profile";
        }
    }
}

// Without a display: one line that says what is needed and what to do; a Wayland session changes
// nothing about that.
TEST(StartUp, WithoutADisplayOneLineSaysWhatToDo) {
    const std::string line =
        "zrv5: needs an X11 display and DISPLAY is not set (in the source tree, `make run` without "
        "a display runs the demo on Xvfb)\n";
    for (const std::vector<std::string>& environment : std::vector<std::vector<std::string>>{
             {"DISPLAY="}, {"DISPLAY=", "WAYLAND_DISPLAY=wayland-0"}}) {
        ConfigFolder config;
        std::vector<std::string> with_config = environment;
        with_config.push_back("XDG_CONFIG_HOME=" + config.path());
        const Outcome outcome = run(ZRV5_EXECUTABLE, {}, with_config);
        EXPECT_EQ(outcome.code, 1);
        EXPECT_EQ(outcome.err, line);
        EXPECT_TRUE(outcome.out.empty());
    }
}

using StartUpOnX = EndToEnd;

constexpr int TARGET_X = 200;
constexpr int TARGET_Y = 150;

// In a Wayland session: one warning line, then the program works as anywhere else.
TEST_F(StartUpOnX, InAWaylandSessionOneWarningThenTheViewAsUsual) {
    auto target = start_target(640, 480, TARGET_X, TARGET_Y);
    Zrv5Setup setup;
    setup.environment = {"WAYLAND_DISPLAY=wayland-0"};
    auto run = start_and_pick(TARGET_X + 100, TARGET_Y + 50, setup);
    expect_screen(stretched_frame(target_source(0), 640, 480, Placement{60, 45, 1280, 960}, 60, 45),
                  "wayland");
    EXPECT_EQ(run->process().stderr_text(),
              "zrv5: warning: in a Wayland session only X11 (XWayland) windows can be picked and "
              "shown\n");
}

// Writes `text` as the per-user settings file of the run.
void write_user_settings(const Zrv5Run& run, const std::string& text) {
    ASSERT_EQ(mkdir((run.folder() + "/config").c_str(), 0700), 0);
    ASSERT_EQ(mkdir(run.profile_folder().c_str(), 0700), 0);
    std::ofstream(run.profile_folder() + "/zrv5.ini") << text;
}

// With no zrv5.ini beside the program, the per-user one is read (here: aspect fit); with one
// beside it, that one alone counts (here: no key, the whole factor).
TEST_F(StartUpOnX, TheUserSettingsFileCountsOnlyWithoutOneBesideTheProgram) {
    auto target = start_target(640, 400, TARGET_X, TARGET_Y);
    const std::string user_settings = "[Zarvo5]\nstretch=2\n";
    for (const bool beside : {false, true}) {
        Zrv5Setup setup;
        setup.settings_file = beside;
        setup.settings = "[Zarvo5]\n";
        Zrv5Run run(setup);
        write_user_settings(run, user_settings);
        ASSERT_TRUE(run.start(session));
        ASSERT_TRUE(session.wait_for_pick_ready(START_MS)) << run.process().stderr_text();
        session.click(TARGET_X + 100, TARGET_Y + 50);
        if (beside) {
            expect_screen(
                stretched_frame(target_source(0), 640, 400, Placement{60, 125, 1280, 800}, 60, 125),
                "beside");
        } else {
            expect_screen(
                stretched_frame(target_source(0), 640, 400, Placement{0, 87, 1400, 875}, 0, 87),
                "per-user");
        }
        run.process().kill_now();
    }
}

}  // namespace
