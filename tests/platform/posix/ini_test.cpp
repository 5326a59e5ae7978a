// Tests of the initialisation-file reader and writer: the lookup rules as a table, updates that
// keep every other line, a seeded comparison with a map, and the file operations (modes, links, no
// temporary left behind, no update lost between concurrent writer processes).
#include "platform/posix/ini_text.h"
#include "platform/posix/posix_ini_file.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/seeded.h"
#include "support/temporary_folder.h"

namespace {

struct FindCase {
    const char* name;
    const char* text;
    const char* section;
    const char* key;
    bool found;
    const char* value;
};

TEST(IniFind, LookupRules) {
    const FindCase cases[] = {
        {"plain", "[Zarvo5]\ntime=50\n", "Zarvo5", "time", true, "50"},
        {"section case", "[zarvo5]\ntime=50\n", "ZARVO5", "time", true, "50"},
        {"key case", "[Zarvo5]\nTime=50\n", "Zarvo5", "tIME", true, "50"},
        {"blanks trimmed", "  [ Zarvo5 ]  \n\t time \t=  50 \t\n", "Zarvo5", "time", true, "50"},
        {"inner blanks kept", "[s]\nk= a  b \n", "s", "k", true, "a  b"},
        {"double quotes", "[s]\nk=\" spaced \"\n", "s", "k", true, " spaced "},
        {"single quotes", "[s]\nk='x'\n", "s", "k", true, "x"},
        {"unmatched quotes kept", "[s]\nk=\"x'\n", "s", "k", true, "\"x'"},
        {"one quote kept", "[s]\nk=\"\n", "s", "k", true, "\""},
        {"empty value", "[s]\nk=\n", "s", "k", true, ""},
        {"empty quoted value", "[s]\nk=\"\"\n", "s", "k", true, ""},
        {"equals in value", "[s]\nk=a=b\n", "s", "k", true, "a=b"},
        {"first duplicate wins", "[s]\nk=1\nk=2\n", "s", "k", true, "1"},
        {"first across repeated sections", "[s]\na=0\n[t]\nk=9\n[S]\nk=1\n[s]\nk=2\n", "s", "k",
         true, "1"},
        {"missing key", "[s]\nother=1\n", "s", "k", false, ""},
        {"key prefix is not the key", "[s]\nkk=1\nk2=2\n", "s", "k", false, ""},
        {"key of another section", "[t]\nk=1\n[s]\n", "s", "k", false, ""},
        {"before any section", "k=1\n[s]\n", "s", "k", false, ""},
        {"comment lines", "[s]\n;k=1\n#k=2\nk=3\n", "s", "k", true, "3"},
        {"junk lines", "[s]\ngarbage here\n[broken\nk=4\n", "s", "k", true, "4"},
        {"no final line break", "[s]\nk=5", "s", "k", true, "5"},
        {"CRLF", "[s]\r\nk=6\r\n", "s", "k", true, "6"},
        {"empty text", "", "s", "k", false, ""},
        {"empty key ignored", "[s]\n=7\n", "s", "", false, ""},
        {"byte-order mark skipped", "\xEF\xBB\xBF[Zarvo5]\ntime=50\n", "Zarvo5", "time", true,
         "50"},
        {"byte-order mark only at the start", "[t]\n\xEF\xBB\xBF[s]\nk=1\n", "s", "k", false, ""},
    };
    for (const FindCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::string value = "untouched";
        EXPECT_EQ(ini_find(c.text, c.section, c.key, &value), c.found);
        if (c.found) {
            EXPECT_EQ(value, c.value);
        } else {
            EXPECT_EQ(value, "untouched");
        }
    }
}

TEST(IniFind, ValuesAreCutTo259Characters) {
    for (const std::size_t length : {258u, 259u, 260u, 1000u}) {
        SCOPED_TRACE(length);
        const std::string long_value(length, 'v');
        std::string value;
        ASSERT_TRUE(ini_find("[s]\nk=" + long_value + "\n", "s", "k", &value));
        EXPECT_EQ(value.size(), length < 259 ? length : 259u);
        // The cut applies after the quotes are stripped.
        ASSERT_TRUE(ini_find("[s]\nk=\"" + long_value + "\"\n", "s", "k", &value));
        EXPECT_EQ(value, long_value.substr(0, 259));
    }
}

struct SetCase {
    const char* name;
    const char* before;
    const char* section;
    const char* key;
    const char* value;
    const char* after;
};

TEST(IniSet, KeepsEveryOtherLine) {
    const SetCase cases[] = {
        {"empty text", "", "Zarvo5", "HWND", "-5", "[Zarvo5]\nHWND=-5\n"},
        {"rewrite in place", "; note\n[Zarvo5]\nW=1\nH=2\njunk\n", "Zarvo5", "W", "640",
         "; note\n[Zarvo5]\nW=640\nH=2\njunk\n"},
        {"key spelling and indentation kept", "[zarvo5]\n  Exit  = 1 \n", "Zarvo5", "EXIT", "0",
         "[zarvo5]\n  Exit=0\n"},
        {"new key after the last key line", "[Zarvo5]\nW=1\n\n; c\n[other]\nx=1\n", "Zarvo5", "H",
         "480", "[Zarvo5]\nW=1\nH=480\n\n; c\n[other]\nx=1\n"},
        {"new key in an empty section", "[Zarvo5]\n[other]\n", "Zarvo5", "H", "2",
         "[Zarvo5]\nH=2\n[other]\n"},
        {"new section appended", "[other]\nx=1\n", "Zarvo5", "EXIT", "0",
         "[other]\nx=1\n\n[Zarvo5]\nEXIT=0\n"},
        {"no final line break", "[other]\nx=1", "Zarvo5", "W", "2",
         "[other]\nx=1\n\n[Zarvo5]\nW=2\n"},
        {"no final line break in the section", "[Zarvo5]\nW=1", "Zarvo5", "H", "2",
         "[Zarvo5]\nW=1\nH=2\n"},
        {"no doubled blank line", "[other]\nx=1\n\n", "Zarvo5", "W", "2",
         "[other]\nx=1\n\n[Zarvo5]\nW=2\n"},
        {"CRLF kept in place", "[Zarvo5]\r\nW=1\r\nH=1\r\n", "Zarvo5", "W", "2",
         "[Zarvo5]\r\nW=2\r\nH=1\r\n"},
        {"CRLF kept", "[Zarvo5]\r\nW=1\r\n", "Zarvo5", "H", "2", "[Zarvo5]\r\nW=1\r\nH=2\r\n"},
        {"the occurrence the reader sees", "[s]\na=1\n[s]\nk=old\n", "s", "k", "new",
         "[s]\na=1\n[s]\nk=new\n"},
        {"only the first duplicate", "[s]\nk=1\nk=2\n", "s", "k", "3", "[s]\nk=3\nk=2\n"},
        {"line break in the value cut", "[s]\n", "s", "k", "1\n[evil]\nx=2", "[s]\nk=1\n"},
        {"byte-order mark kept", "\xEF\xBB\xBF[s]\nk=1\n", "s", "k", "2", "\xEF\xBB\xBF[s]\nk=2\n"},
        {"byte-order mark alone", "\xEF\xBB\xBF", "s", "k", "2", "\xEF\xBB\xBF[s]\nk=2\n"},
    };
    for (const SetCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ini_set(c.before, c.section, c.key, c.value), c.after);
    }
}

// Sets random keys of random sections many times over and checks, after each update, that every key
// reads back as a map of the same updates says, and that a junk line survives.
TEST(IniSet, AgreesWithAMapOverSeededUpdates) {
    SeededRandom rng(0x1417);
    SCOPED_TRACE(rng.trace());
    const char* const sections[] = {"Zarvo5", "zarvo5", "Other", "X"};
    const char* const keys[] = {"HWND", "hwnd", "W", "H", "EXIT", "time"};
    const char* const values[] = {"", "0", "1", "-2147483648", "  padded  ", "\"q\"", "a=b", "'"};
    std::string text = "junk line\n";
    std::map<std::pair<std::string, std::string>, std::string> expected;
    auto folded = [](std::string s) {
        for (char& c : s) {
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        return s;
    };
    auto readback = [](const std::string& v) {  // what the reader gives for a written value
        std::string value;
        ini_find("[s]\nk=" + v + "\n", "s", "k", &value);
        return value;
    };
    for (int step = 0; step < 400; ++step) {
        const char* section = sections[rng.between(0, 3)];
        const char* key = keys[rng.between(0, 5)];
        const char* value = values[rng.between(0, 7)];
        text = ini_set(text, section, key, value);
        expected[{folded(section), folded(key)}] = readback(value);
        for (const auto& [name, want] : expected) {
            std::string got;
            ASSERT_TRUE(ini_find(text, name.first, name.second, &got))
                << "step " << step << " " << name.first << "/" << name.second << "\n"
                << text;
            ASSERT_EQ(got, want) << "step " << step << "\n" << text;
        }
    }
    EXPECT_EQ(text.rfind("junk line\n", 0), 0u);
}

// A folder of its own for each file test, removed with everything in it.
class IniFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(temporary_.made());
        folder_ = temporary_.path();
        path_ = folder_ + "/profile.ini";
    }
    std::string contents(const std::string& path) const {
        std::ifstream in(path, std::ios::binary);
        std::stringstream all;
        all << in.rdbuf();
        return all.str();
    }
    void put(const std::string& path, const std::string& text) const {
        std::ofstream(path, std::ios::binary) << text;
    }
    std::vector<std::string> folder_entries() const {
        std::vector<std::string> names;
        DIR* dir = opendir(folder_.c_str());
        while (dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") {
                names.push_back(name);
            }
        }
        closedir(dir);
        return names;
    }
    unsigned mode_of(const std::string& path) const {
        struct stat info {};
        stat(path.c_str(), &info);
        return info.st_mode & 07777;
    }

    TemporaryFolder temporary_{"ini"};
    std::string folder_;
    std::string path_;
};

TEST_F(IniFileTest, MissingFileOrKeyGivesTheDefault) {
    EXPECT_EQ(ini_read_file(path_, "Zarvo5", "time", "100"), "100");
    put(path_, "[Zarvo5]\nstretch=2\ntime=\n");
    EXPECT_EQ(ini_read_file(path_, "Zarvo5", "mouse_trs", "3"), "3");
    EXPECT_EQ(ini_read_file(path_, "zarvo5", "STRETCH", "0"), "2");
    EXPECT_EQ(ini_read_file(path_, "Zarvo5", "time", "100"), "");
    EXPECT_EQ(ini_read_file(path_, "Zarvo5", "x", std::string(300, 'd').c_str()),
              std::string(259, 'd'));
}

TEST_F(IniFileTest, FirstWriteCreatesTheFileWithItsModeAndNoTemporaryStays) {
    const mode_t old_mask = umask(022);
    ASSERT_TRUE(ini_write_file(path_, "Zarvo5", "HWND", "123", 0600));
    ASSERT_TRUE(ini_write_file(path_, "Zarvo5", "W", "640", 0600));
    umask(old_mask);
    EXPECT_EQ(contents(path_), "[Zarvo5]\nHWND=123\nW=640\n");
    EXPECT_EQ(mode_of(path_), 0600u);
    EXPECT_EQ(folder_entries(), std::vector<std::string>{"profile.ini"});
}

TEST_F(IniFileTest, UpdateKeepsJunkLinesAndTheMode) {
    put(path_, "# kept\r\n[Zarvo5]\r\nEXIT=1\r\n??\r\n");
    chmod(path_.c_str(), 0640);
    ASSERT_TRUE(ini_write_file(path_, "Zarvo5", "EXIT", "0", 0600));
    EXPECT_EQ(contents(path_), "# kept\r\n[Zarvo5]\r\nEXIT=0\r\n??\r\n");
    EXPECT_EQ(mode_of(path_), 0640u);
}

// A link at the path is never written through, whether it names a file, a missing file or a
// device, and nothing is created at its target; reading through a link stays allowed.
TEST_F(IniFileTest, AnUpdateRefusesALinkAndLeavesItsTargetAlone) {
    const std::string other = folder_ + "/other.conf";
    put(other, "# someone else's\n");
    struct Case {
        const char* name;
        std::string target;
    };
    const Case cases[] = {{"to a file", other},
                          {"dangling", folder_ + "/missing.conf"},
                          {"to a device", "/dev/null"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        unlink(path_.c_str());
        ASSERT_EQ(symlink(c.target.c_str(), path_.c_str()), 0);
        errno = 0;
        EXPECT_FALSE(ini_write_file(path_, "Zarvo5", "EXIT", "1", 0600));
        EXPECT_EQ(errno, ELOOP);
        struct stat info {};
        ASSERT_EQ(lstat(path_.c_str(), &info), 0);
        EXPECT_TRUE(S_ISLNK(info.st_mode));
    }
    EXPECT_EQ(contents(other), "# someone else's\n");
    EXPECT_EQ(access((folder_ + "/missing.conf").c_str(), F_OK), -1);
    unlink(path_.c_str());
    ASSERT_EQ(symlink("other.conf", path_.c_str()), 0);
    put(other, "[Zarvo5]\ntime=40\n");
    EXPECT_EQ(ini_read_file(path_, "Zarvo5", "time", "100"), "40");
}

// A FIFO, a device (also behind a link) and a folder are refused at once, for reading and for
// writing, without waiting for a writer or reading without end. A hang here shows as the test's
// time-out.
TEST_F(IniFileTest, OnlyRegularFilesAreReadOrUpdated) {
    const std::string fifo = folder_ + "/fifo.ini";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string zero = folder_ + "/zero.ini";
    ASSERT_EQ(symlink("/dev/zero", zero.c_str()), 0);
    for (const std::string& path : {fifo, zero, folder_, std::string("/dev/zero")}) {
        SCOPED_TRACE(path);
        int error = 0;
        EXPECT_EQ(ini_read_file(path, "Zarvo5", "time", "100", &error), "100");
        EXPECT_NE(error, 0);
        EXPECT_FALSE(ini_failure_reason(error).empty());
    }
    EXPECT_FALSE(ini_write_file(fifo, "Zarvo5", "EXIT", "1", 0600));
    EXPECT_FALSE(ini_write_file(folder_, "Zarvo5", "EXIT", "1", 0600));
    int error = -1;
    EXPECT_EQ(ini_read_file(folder_ + "/absent.ini", "Zarvo5", "time", "100", &error), "100");
    EXPECT_EQ(error, 0) << "a missing file is no failure";
}

// Past 1 MiB a file is unreadable and not updated; at 1 MiB it is both.
TEST_F(IniFileTest, FilesPastOneMebibyteAreRefused) {
    std::string text = "[Zarvo5]\ntime=40\n";
    text.resize(INI_FILE_LIMIT, '\n');
    put(path_, text);
    EXPECT_EQ(ini_read_file(path_, "Zarvo5", "time", "100"), "40");
    text.push_back('\n');
    put(path_, text);
    int error = 0;
    EXPECT_EQ(ini_read_file(path_, "Zarvo5", "time", "100", &error), "100");
    EXPECT_EQ(error, EFBIG);
    errno = 0;
    EXPECT_FALSE(ini_write_file(path_, "Zarvo5", "EXIT", "1", 0600));
    EXPECT_EQ(errno, EFBIG);
    EXPECT_EQ(contents(path_).size(), INI_FILE_LIMIT + 1);
}

// Another process holds the lock throughout: the update gives up (after 2 s) with EWOULDBLOCK and
// a reason that names another program, and the file is unchanged.
TEST_F(IniFileTest, ALockHeldElsewhereEndsTheWaitWithAReason) {
    put(path_, "[Zarvo5]\nEXIT=0\n");
    int ready[2];
    int release[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(release), 0);
    const pid_t holder = fork();
    ASSERT_GE(holder, 0);
    if (holder == 0) {
        const int fd = open(path_.c_str(), O_RDONLY);
        char byte = 1;
        if (fd < 0 || flock(fd, LOCK_EX) != 0 || write(ready[1], &byte, 1) != 1) {
            _exit(1);
        }
        _exit(read(release[0], &byte, 1) == 1 ? 0 : 1);
    }
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    errno = 0;
    EXPECT_FALSE(ini_write_file(path_, "Zarvo5", "EXIT", "1", 0600));
    EXPECT_EQ(errno, EWOULDBLOCK);
    EXPECT_NE(ini_failure_reason(EWOULDBLOCK).find("another program holds"), std::string::npos);
    EXPECT_EQ(write(release[1], &byte, 1), 1);
    int status = 0;
    ASSERT_EQ(waitpid(holder, &status, 0), holder);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(contents(path_), "[Zarvo5]\nEXIT=0\n");
    EXPECT_TRUE(ini_write_file(path_, "Zarvo5", "EXIT", "1", 0600)) << "free again";
    for (int fd : {ready[0], ready[1], release[0], release[1]}) {
        close(fd);
    }
}

// Every successful update leaves a new file, also when the text is unchanged, so that a reader who
// remembers the file can tell that someone wrote.
TEST_F(IniFileTest, AnUnchangedUpdateStillLeavesANewFile) {
    ASSERT_TRUE(ini_write_file(path_, "Zarvo5", "EXIT", "1", 0600));
    struct stat before {};
    ASSERT_EQ(stat(path_.c_str(), &before), 0);
    ASSERT_TRUE(ini_write_file(path_, "Zarvo5", "EXIT", "1", 0600));
    struct stat after {};
    ASSERT_EQ(stat(path_.c_str(), &after), 0);
    EXPECT_NE(before.st_ino, after.st_ino);
    EXPECT_EQ(contents(path_), "[Zarvo5]\nEXIT=1\n");
}

TEST_F(IniFileTest, MissingFolderFails) {
    EXPECT_FALSE(ini_write_file(folder_ + "/absent/profile.ini", "Zarvo5", "EXIT", "0", 0600));
    EXPECT_TRUE(folder_entries().empty());
}

TEST_F(IniFileTest, UnwritableFolderFailsAndKeepsTheFile) {
    if (geteuid() == 0) {
        GTEST_SKIP() << "root writes into any folder";
    }
    put(path_, "[Zarvo5]\nEXIT=1\n");
    chmod(folder_.c_str(), 0500);
    EXPECT_FALSE(ini_write_file(path_, "Zarvo5", "EXIT", "0", 0600));
    chmod(folder_.c_str(), 0700);
    EXPECT_EQ(contents(path_), "[Zarvo5]\nEXIT=1\n");
}

// Several processes update keys of one file at once; with a lock that did not follow the renamed
// file, an update made from a stale copy would drop another writer's key.
TEST_F(IniFileTest, ConcurrentWriterProcessesLoseNoUpdate) {
    constexpr int WRITERS = 4;
    constexpr int ROUNDS = 40;
    put(path_, "junk\n[Zarvo5]\n");
    std::vector<pid_t> children;
    for (int writer = 0; writer < WRITERS; ++writer) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            bool ok = true;
            for (int round = 0; round < ROUNDS; ++round) {
                const std::string key = "k" + std::to_string(writer) + "_" + std::to_string(round);
                ok = ini_write_file(path_, "Zarvo5", key.c_str(), std::to_string(round).c_str(),
                                    0600) &&
                     ok;
            }
            _exit(ok ? 0 : 1);
        }
        children.push_back(child);
    }
    for (const pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    const std::string text = contents(path_);
    EXPECT_EQ(text.rfind("junk\n[Zarvo5]\n", 0), 0u);
    for (int writer = 0; writer < WRITERS; ++writer) {
        for (int round = 0; round < ROUNDS; ++round) {
            const std::string key = "k" + std::to_string(writer) + "_" + std::to_string(round);
            std::string value;
            EXPECT_TRUE(ini_find(text, "Zarvo5", key, &value)) << key << " lost";
            EXPECT_EQ(value, std::to_string(round));
        }
    }
    EXPECT_EQ(folder_entries().size(), 1u);
}

}  // namespace
