// Stamp texts of the trace and the count-per-second file.
#include "trace.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

using namespace veltron::hdlc;
using veltron::text::cp1251ToUtf8;

TEST(TraceStamp, ElapsedTimeInTheUnitOfItsSize) {
    struct Case {
        std::uint64_t counts, perSecond;
        const char* text;
    };
    const Case cases[] = {
        {0, 1000000000, "(+0.00пс )"},
        {1, 1000000000000ULL, "(+1.00пс )"},
        {500, 1000000000, "(+500.00нс )"},
        {1500, 1000000000, "(+1.50мкс)"},
        {999994, 1000000000, "(+999.99мкс)"},
        {20004999, 1000000000, "(+20.00мс )"},
        {2500000000ULL, 1000000000, "(+2.50сек)"},
        {999990000000ULL, 1000000000, "(+999.99сек)"},
        {1000000000000ULL, 1000000000, "(+ >= 1000 сек)"},
        {3000, 3000000000ULL, "(+1.00мкс)"},
        {123456789, 0, "(+123456789мц)"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(cp1251ToUtf8(formatElapsed(c.counts, c.perSecond)), c.text) << c.counts << "/" << c.perSecond;
    }
}

TEST(TraceStamp, ClockTextHasRightAlignedMilliseconds) {
    EXPECT_EQ(formatClock({2026, 3, 5, 7, 4, 9, 5}), "05.03.2026 7:04:09.  5");
    EXPECT_EQ(formatClock({2026, 12, 31, 23, 59, 58, 999}), "31.12.2026 23:59:58.999");
}

TEST(TraceStamp, CountsPerSecondFile) {
    const auto dir = std::filesystem::temp_directory_path() / ("hdlc-cpu-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const auto file = dir / "cpu.txt";
    EXPECT_EQ(readCountsPerSecond((dir / "missing.txt").string()), kStampCountsPerSecond);
    struct Case {
        const char* content;
        std::uint64_t value;
    };
    const Case cases[] = {
        {"3000000000\r\nsecond line\r\n", 3000000000ULL},
        {" 2400000000 \n", 2400000000ULL},
        {"0\r\n", 0},
        {"3.2e9\r\n", 0},
        {"-5\r\n", 0},
        {"fast\r\n", 0},
        {"", 0},
    };
    for (const Case& c : cases) {
        std::ofstream(file, std::ios::binary) << c.content;
        EXPECT_EQ(readCountsPerSecond(file.string()), c.value) << c.content;
    }
    std::filesystem::remove_all(dir);
}

TEST(TraceBuffer, DropsWhatDoesNotFitUntilTaken) {
    Trace t(kStampCountsPerSecond);
    const std::string line(999990, 'x');
    t.line(line);               // 999992 bytes with CR LF
    t.line("0123456789ABCDEF"); // only 9 bytes fit
    t.line("lost");
    const std::string all = t.take();
    ASSERT_EQ(all.size(), Trace::kCapacity);
    EXPECT_EQ(all.substr(999990), "\r\n012345678");
    t.line("next");
    EXPECT_EQ(t.take(), "next\r\n");
}

} // namespace
