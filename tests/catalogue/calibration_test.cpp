#include "app/loader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;
using veltron::CalibrationTables;
using veltron::LoadError;
using veltron::readCalibrationTable;

namespace {

fs::path writeTemp(const std::string& content) {
    static int counter = 0;
    const fs::path p =
        fs::temp_directory_path() / ("veltron-cal-" + std::to_string(::getpid()) + "-" + std::to_string(++counter));
    std::ofstream(p, std::ios::binary) << content;
    return p;
}

std::string lines(int count) {
    std::string s;
    for (int i = 0; i < count; ++i) {
        s += std::to_string(i) + "\r\n";
    }
    return s;
}

} // namespace

TEST(Calibration, ValuesRangeAndShortFiles) {
    struct Case {
        const char* what;
        std::string content;
        int pixel;
        float expected;
    };
    const Case cases[] = {
        {"100 lines: pixel 99 from the file", lines(100), 99, 99.0F},
        {"100 lines: pixel 100 is 0", lines(100), 100, 0.0F},
        {"100 lines: pixel 2048 is 0", lines(100), 2048, 0.0F},
        {"2047 stays", "2047\r\n", 0, 2047.0F},
        {"2047.5 is outside", "2047.5\r\n", 0, 0.0F},
        {"2048 is outside", "2048\r\n", 0, 0.0F},
        {"-0.1 is outside", "-0.1\r\n", 0, 0.0F},
        {"0 stays", "0\r\n5\r\n", 1, 5.0F},
        {"blank lines are skipped", "1.5\r\n\r\n   \r\n2.5\r\n", 1, 2.5F},
        {"the rest of the line is skipped", "12.25 mm from the lens\r\n7\r\n", 0, 12.25F},
        {"leading blanks", "  \t300.5\n", 0, 300.5F},
        {"exponent", "4.5e2\n", 0, 450.0F},
        {"lone CR line ends", "1\r2\r3", 2, 3.0F},
        {"more lines than pixels: pixel 2048 reads 2048, outside", lines(3000), 2048, 0.0F},
        {"more lines than pixels, last in range", lines(3000), 2047, 2047.0F},
    };
    for (const auto& c : cases) {
        CalibrationTables::Table t;
        t.fill(-1.0F);
        const fs::path p = writeTemp(c.content);
        readCalibrationTable(p, "Tabl1\\cal1.txt", t);
        EXPECT_EQ(t[static_cast<std::size_t>(c.pixel)], c.expected) << c.what;
        fs::remove(p);
    }
}

TEST(Calibration, ALineWithoutANumberNamesFileAndLine) {
    const char* bad[] = {"nan", "inf", "0x10", "12,5", "abc", "-", ".", "1.5.2"};
    for (const char* b : bad) {
        const fs::path p = writeTemp("100\r\n\r\n101\r\n" + std::string(b) + " 7\r\n");
        CalibrationTables::Table t{};
        try {
            readCalibrationTable(p, "Tabl1\\cal3.txt", t);
            ADD_FAILURE() << b << ": no error";
        } catch (const LoadError& e) {
            const std::string what = e.what();
            EXPECT_NE(what.find("Tabl1\\cal3.txt"), std::string::npos) << what;
            EXPECT_NE(what.find("строка 4"), std::string::npos) << what;
        }
        fs::remove(p);
    }
    CalibrationTables::Table t{};
    EXPECT_THROW(readCalibrationTable("/nonexistent/cal1.txt", "Tabl1\\cal1.txt", t), LoadError);
}
