#include "app/state.h"
#include "platform/files.h"
#include "platform/ini.h"
#include "platform/text.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <random>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace veltron;

namespace {

struct TempDir {
    fs::path path;
    TempDir() {
        std::string t = (fs::temp_directory_path() / "veltron-state-XXXXXX").string();
        path = ::mkdtemp(t.data());
    }
    ~TempDir() {
        std::error_code ec;
        fs::permissions(path, fs::perms::owner_all, ec);
        fs::remove_all(path, ec);
    }
};

struct Fixture {
    TempDir dir;
    text::DateTime clockNow{2026, 12, 9, 10, 0, 0, 0};
    ConsoleLog console{true, [this] { return clockNow; }};
    WorkLog log{dir.path / "Log.txt", true, [this] { return clockNow; }, console};
    StateStore store{dir.path / "state.ini", console};

    std::string logText() const { return text::cp1251ToUtf8(files::readFile(dir.path / "Log.txt").value_or("")); }
    int shiftLines() const {
        const std::string t = logText();
        int n = 0;
        for (auto p = t.find("Начата новая смена."); p != std::string::npos; p = t.find("Начата новая смена.", p + 1)) {
            ++n;
        }
        return n;
    }
};

} // namespace

TEST(OperatorState, RoundTripInKeyOrderKeepingCarriedValues) {
    Fixture f;
    files::writeFileAtomic(f.store.file(), "[NOWReplacement]\r\nRepairTYPE=7\r\n[NOWSOUND]\r\nSoundenable=1\r\n"
                                           "[Mine]\r\nx=y\r\n");
    f.store.read();
    EXPECT_EQ(f.store.state().TRAIN, "Не задано");
    EXPECT_EQ(f.store.state().SERIA, 1);
    EXPECT_EQ(f.store.state().CHASSIE, 0);
    auto& s = f.store.state();
    s.TRAIN = "1234567890123456";
    s.CHASSIE = 3;
    s.NOWSPRING = 14;
    ASSERT_TRUE(f.store.write());
    ASSERT_TRUE(f.store.write());

    const std::string bytes = files::readFile(f.store.file()).value();
    EXPECT_EQ(bytes, "[NOWReplacement]\r\nRepairTYPE=7\r\nNOWSPRING=14\r\nNOWKOMPL=0\r\n"
                     "[NOWSOUND]\r\nSoundenable=1\r\n[Mine]\r\nx=y\r\n"
                     "[NOWDATE]\r\nYEAR=0\r\nMONTH=0\r\nDAY=0\r\n[NOWChassie]\r\nCHASSIE=3\r\n"
                     "[INFO]\r\nTRAIN=1234567890123456\r\nSERIA=1\r\n");

    StateStore again(f.store.file(), f.console);
    again.read();
    EXPECT_EQ(again.state().RepairTYPE, 7);
    EXPECT_TRUE(again.state().Soundenable);
    EXPECT_EQ(again.state().NOWSPRING, 14);
    EXPECT_EQ(again.state().TRAIN, "1234567890123456");

    // A fresh file is written in the documented order.
    TempDir other;
    StateStore fresh(other.path / "state.ini", f.console);
    fresh.read();
    ASSERT_TRUE(fresh.write());
    EXPECT_EQ(text::cp1251ToUtf8(files::readFile(other.path / "state.ini").value()),
              "[NOWDATE]\r\nYEAR=0\r\nMONTH=0\r\nDAY=0\r\n[NOWReplacement]\r\nNOWSPRING=0\r\nNOWKOMPL=0\r\n"
              "RepairTYPE=0\r\n[NOWChassie]\r\nCHASSIE=0\r\n[NOWSOUND]\r\nSoundenable=0\r\n"
              "[INFO]\r\nTRAIN=Не задано\r\nSERIA=1\r\n");
}

TEST(OperatorState, ShiftFollowsDayAndMonthOnly) {
    Fixture f;
    f.store.read();
    // First start of an installation: day 0 / month 0 differs from any date.
    EXPECT_TRUE(f.store.newShiftCheck(f.clockNow, f.log));
    EXPECT_EQ(f.shiftLines(), 1);
    f.store.state().NOWSPRING = 4;
    f.store.state().NOWKOMPL = 2;
    f.store.write();

    struct Step {
        text::DateTime today;
        bool newShift;
        int springsAfter;
    };
    const Step steps[] = {
        {{2026, 12, 9, 18, 0, 0, 0}, false, 4}, // same day, later: counters continue
        {{2027, 12, 9, 8, 0, 0, 0}, false, 4},  // same day and month a year later: the year is not compared
        {{2027, 12, 10, 0, 0, 1, 0}, true, 0},  // just after midnight while running: a new shift
        {{2027, 12, 10, 0, 5, 0, 0}, false, 0}, {{2027, 11, 10, 9, 0, 0, 0}, true, 0}, // same day of another month
    };
    int expectedLines = 1;
    for (const auto& step : steps) {
        f.clockNow = step.today;
        EXPECT_EQ(f.store.newShiftCheck(step.today, f.log), step.newShift);
        expectedLines += step.newShift ? 1 : 0;
        EXPECT_EQ(f.store.state().NOWSPRING, step.springsAfter);
        EXPECT_EQ(f.shiftLines(), expectedLines);
    }
    // The new shift is on disk, so a restart on that day continues it.
    StateStore restarted(f.store.file(), f.console);
    restarted.read();
    EXPECT_EQ(restarted.state().DAY, 10);
    EXPECT_EQ(restarted.state().MONTH, 11);
    EXPECT_EQ(restarted.state().YEAR, 2027);
    EXPECT_FALSE(restarted.newShiftCheck({2027, 11, 10, 12, 0, 0, 0}, f.log));
}

TEST(OperatorState, UnwritableFileIsReportedAndMemoryKept) {
    Fixture f;
    StateStore store(f.dir.path / "no-such-folder" / "state.ini", f.console);
    store.read();
    store.state().NOWKOMPL = 9;
    EXPECT_FALSE(store.write());
    EXPECT_EQ(store.state().NOWKOMPL, 9);
    ASSERT_FALSE(f.console.memo().empty());
    EXPECT_NE(f.console.memo().back().find("state.ini"), std::string::npos);
    // The next write tries again and succeeds once the folder exists.
    fs::create_directories(f.dir.path / "no-such-folder");
    EXPECT_TRUE(store.write());
}

// A writer process rewrites state.ini with alternating complete states; killing it at random
// moments must always leave a complete old or new file.
TEST(OperatorState, KilledWriterAlwaysLeavesACompleteFile) {
    TempDir d;
    const fs::path file = d.path / "state.ini";
    std::mt19937 rng(12345);
    std::uniform_int_distribution<int> delayUs(0, 3000);
    int pipeFd[2];
    for (int round = 0; round < 200; ++round) {
        ASSERT_EQ(::pipe(pipeFd), 0);
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ::dup2(pipeFd[1], STDOUT_FILENO);
            ::close(pipeFd[0]);
            ::execl(STATE_WRITER, STATE_WRITER, file.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(pipeFd[1]);
        char ready = 0;
        ASSERT_EQ(::read(pipeFd[0], &ready, 1), 1); // the writer has completed its first write
        ::close(pipeFd[0]);
        ::usleep(static_cast<useconds_t>(delayUs(rng)));
        ::kill(pid, SIGKILL);
        int status = 0;
        ::waitpid(pid, &status, 0);

        const auto bytes = files::readFile(file);
        ASSERT_TRUE(bytes.has_value()) << "round " << round;
        const IniFile ini = IniFile::fromBytes(*bytes);
        const OperatorState s = readState(ini);
        // Each complete state has NOWSPRING == NOWKOMPL == DAY - 1 and ends with SERIA.
        ASSERT_EQ(s.NOWSPRING, s.NOWKOMPL) << "round " << round;
        ASSERT_EQ(s.DAY, s.NOWSPRING % 28 + 1) << "round " << round;
        ASSERT_EQ(ini.get("INFO", "SERIA"), "5") << "round " << round;
        ASSERT_EQ(ini.get("Mine", "keep"), "yes") << "round " << round;
    }
    // Temporaries of interrupted writes are cleared when the state is next read.
    veltron::ConsoleLog quiet(false, [] { return text::DateTime{}; });
    StateStore reader(file, quiet);
    reader.read();
    EXPECT_EQ(std::distance(fs::directory_iterator(d.path), fs::directory_iterator()), 1);
}
