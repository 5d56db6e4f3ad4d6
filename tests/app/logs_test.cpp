#include "app/logs.h"
#include "platform/files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace veltron;

namespace {
struct TempDir {
    fs::path path;
    TempDir() {
        std::string t = (fs::temp_directory_path() / "veltron-log-XXXXXX").string();
        path = ::mkdtemp(t.data());
    }
    ~TempDir() { fs::remove_all(path); }
};
const text::DateTime kMorning{2026, 12, 10, 7, 4, 9, 0};
Clock fixed() {
    return [] { return kMorning; };
}
} // namespace

TEST(WorkLog, AppendsStampedCp1251LinesAndNeverTruncates) {
    TempDir d;
    const fs::path file = d.path / "Log.txt";
    files::writeFileAtomic(file, "earlier line\r\n");
    ConsoleLog console(false, fixed());
    WorkLog log(file, true, fixed(), console);
    log.write("Программа запущена.");
    log.write("Система готова к работе.");
    EXPECT_EQ(files::readFile(file).value(),
              "earlier line\r\n" + text::utf8ToCp1251("[10.12.2026 7:04:09] Программа запущена.\r\n"
                                                      "[10.12.2026 7:04:09] Система готова к работе.\r\n"));
}

TEST(WorkLog, NoLogLeavesTheFileAlone) {
    TempDir d;
    ConsoleLog console(false, fixed());
    WorkLog log(d.path / "Log.txt", false, fixed(), console);
    log.write("x");
    EXPECT_FALSE(fs::exists(d.path / "Log.txt"));
}

TEST(WorkLog, FailureIsReportedOnceAndTheProgramGoesOn) {
    TempDir d;
    ConsoleLog console(true, fixed());
    WorkLog log(d.path / "missing" / "Log.txt", true, fixed(), console);
    log.write("a");
    log.write("b");
    ASSERT_EQ(console.memo().size(), 1U);
    EXPECT_NE(console.memo()[0].find("Log.txt"), std::string::npos);
    fs::create_directories(d.path / "missing");
    log.write("c");
    EXPECT_EQ(files::readFile(d.path / "missing" / "Log.txt").value(), "[10.12.2026 7:04:09] c\r\n");
}

TEST(ConsoleLog, PlainAndStampedLinesOnlyWhenEnabled) {
    ConsoleLog on(true, fixed());
    on.stamped("Программа запущена");
    on.line("Настройка режима отображения:");
    EXPECT_EQ(on.memo(),
              (std::vector<std::string>{"[10.12.2026/7:04:09]Программа запущена.", "Настройка режима отображения:"}));
    ConsoleLog off(false, fixed());
    off.stamped("x");
    off.line("y");
    EXPECT_TRUE(off.memo().empty());
}
