#include "platform/files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <system_error>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace veltron;

namespace {
struct TempDir {
    fs::path path;
    TempDir() {
        std::string t = (fs::temp_directory_path() / "veltron-files-XXXXXX").string();
        path = ::mkdtemp(t.data());
    }
    ~TempDir() { fs::remove_all(path); }
};
} // namespace

TEST(Files, ResolvesWindowsNamesWithoutRegardToCase) {
    TempDir d;
    fs::create_directories(d.path / "Temp");
    fs::create_directories(d.path / "Tabl1");
    { std::ofstream(d.path / "Tabl1" / "cal1.txt") << "1"; }
    EXPECT_EQ(files::resolve(d.path, "TEMP\\0.msk"), d.path / "Temp" / "0.msk");
    EXPECT_EQ(files::resolve(d.path, "Temp\\S0.bmp"), d.path / "Temp" / "S0.bmp");
    EXPECT_EQ(files::resolve(d.path, "tabl1\\CAL1.TXT"), d.path / "Tabl1" / "cal1.txt");
    EXPECT_EQ(files::resolve(d.path, "STORE\\z5cam1.txt"), d.path / "STORE" / "z5cam1.txt");
    EXPECT_EQ(files::resolve(d.path, "Log.txt"), d.path / "Log.txt");
}

TEST(Files, AtomicWriteReplacesAndLeavesNoTemporaries) {
    TempDir d;
    const fs::path f = d.path / "state.ini";
    files::writeFileAtomic(f, "old");
    files::writeFileAtomic(f, "new");
    EXPECT_EQ(files::readFile(f), "new");
    EXPECT_EQ(std::distance(fs::directory_iterator(d.path), fs::directory_iterator()), 1);
    EXPECT_THROW(files::writeFileAtomic(d.path / "missing" / "state.ini", "x"), std::system_error);
}

TEST(Files, AppendNeverTruncates) {
    TempDir d;
    const fs::path f = d.path / "Log.txt";
    files::appendToFile(f, "a\r\n");
    files::appendToFile(f, "b\r\n");
    EXPECT_EQ(files::readFile(f), "a\r\nb\r\n");
    EXPECT_THROW(files::appendToFile(d.path / "none" / "Log.txt", "x"), std::system_error);
}
