#include "helpers.h"
#include "math/calibration_file.h"
#include "math/profile.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace veltron::math {
namespace {

using test::TempDir;

struct Loaded {
    ProfileStore store;
    PointCounts counts{};
    std::vector<std::string> log;
    std::vector<std::string> trace;
};

// Writes the four camera files (camera 1 gets `first`, the others one point each) and loads.
void load(Loaded& l, const TempDir& dir, ProfileFormat format, bool dump = false, const Calibration& cal = {},
          const MathParams& params = {}) {
    l.store.setBaseDir(dir.path());
    LoadOptions o;
    o.format = format;
    o.writeDumpLines = dump;
    o.log = [&l](const std::string& s) { l.log.push_back(s); };
    o.trace = [&l](const std::string& s) { l.trace.push_back(s); };
    loadProfiles(l.store, l.counts, cal, params, o);
}

TEST(ProfileLoad, CamLinesBecomePoints) {
    struct Case {
        const char* content;
        std::vector<std::int32_t> points;
    };
    const Case cases[] = {
        {"", {0}},                                              // a point is stored before the end is tested
        {"5\r\n", {5}},                                         // a trailing line break adds no point
        {"5\r\n6", {5, 6}},                                     // a last line without a line break
        {"-5\r\n3000\r\n2047\r\n0\r\n", {2047, 2047, 2047, 0}}, // out of range becomes 2047
        {"12 rest is ignored\n  7\r\n", {12, 7}},
        {"1\r\n2\r\n\r\n\r\n", {1, 2}},
    };
    for (const Case& c : cases) {
        TempDir dir;
        dir.write("cam1.txt", c.content);
        for (int n = 2; n <= 4; ++n) {
            dir.write("cam" + std::to_string(n) + ".txt", "1\r\n");
        }
        Loaded l;
        load(l, dir, ProfileFormat::Cam);
        EXPECT_EQ(l.counts[1], static_cast<int>(c.points.size())) << c.content;
        EXPECT_EQ(test::rowValues(l.store, 1, l.counts[1]), c.points) << c.content;
    }
}

TEST(ProfileLoad, CmrGroupsOfFourBytes) {
    EXPECT_EQ(decodeCmrPoint(0, 0, 0, 0), -64); // (0 - 2048) / 32, stored as 2047
    EXPECT_EQ(decodeCmrPoint(0, 8, 0, 0), 0);
    EXPECT_EQ(decodeCmrPoint(32, 8, 0, 0), 1);
    EXPECT_EQ(decodeCmrPoint(31, 8, 0, 0), 0);                          // truncates
    EXPECT_EQ(decodeCmrPoint(256 + 32, 8, 0, 0), 1);                    // only the low 8 bits count
    EXPECT_EQ(decodeCmrPoint(0, 24, 0, 0), decodeCmrPoint(0, 8, 1, 0)); // weights 256 and 4096 overlap
    EXPECT_EQ(decodeCmrPoint(224, 7, 0, 1), 2047);                      // raw 67552
    EXPECT_EQ(decodeCmrPoint(0, 0, 1, 0), 64);

    TempDir dir;
    // Header, a full group (value 1), and an incomplete last group (b1 = 32, b2 = 8 missing).
    dir.write("cmr1.txt", "H\r\nH\r\nH\r\n32\r\n8\r\n0\r\n0\r\n32\r\n");
    dir.write("cmr2.txt", "H\r\nH\r\nH\r\n"); // header only: one point from zeros
    dir.write("cmr3.txt", "");
    dir.write("cmr4.txt", "H\r\nH\r\nH\r\n64\r\n8\r\n0\r\n0\r\n");
    Loaded l;
    load(l, dir, ProfileFormat::Cmr);
    EXPECT_EQ(test::rowValues(l.store, 1, l.counts[1]), (std::vector<std::int32_t>{1, 2047}));
    EXPECT_EQ(test::rowValues(l.store, 2, l.counts[2]), (std::vector<std::int32_t>{2047}));
    EXPECT_EQ(l.counts[3], 1);
    EXPECT_EQ(test::rowValues(l.store, 4, l.counts[4]), (std::vector<std::int32_t>{2}));
}

TEST(ProfileLoad, FailureKeepsWhatWasLoadedAndNamesTheLine) {
    TempDir dir;
    dir.write("cam1.txt", "10\r\n11\r\n");
    dir.write("cam2.txt", "20\r\nx21\r\n22\r\n");
    dir.write("cam3.txt", "30\r\n");
    dir.write("cam4.txt", "40\r\n");
    Loaded l;
    l.counts = {0, 7, 7, 7, 7};
    l.store.setValue(3, 1, 99);
    try {
        load(l, dir, ProfileFormat::Cam);
        FAIL() << "no error";
    } catch (const std::runtime_error& e) {
        const std::string what = e.what();
        EXPECT_NE(what.find("cam2.txt"), std::string::npos) << what;
        EXPECT_NE(what.find("строка 2"), std::string::npos) << what;
    }
    EXPECT_EQ(l.counts, (PointCounts{0, 2, 7, 7, 7}));
    EXPECT_EQ(l.store.value(1, 2), 11);
    EXPECT_EQ(l.store.value(2, 1), 20);
    EXPECT_EQ(l.store.value(3, 1), 0); // cleared by the load before it failed

    std::filesystem::remove(dir.path() / "cam2.txt");
    EXPECT_THROW(load(l, dir, ProfileFormat::Cam), std::runtime_error);
}

TEST(ProfileLoad, LongFileIsCutAtTenThousandPoints) {
    TempDir dir;
    std::string longFile;
    for (int i = 0; i < kLoadPoints + 150; ++i) {
        longFile += "100\r\n";
    }
    dir.write("cam1.txt", longFile);
    for (int n = 2; n <= 4; ++n) {
        dir.write("cam" + std::to_string(n) + ".txt", "1\r\n");
    }
    Loaded l;
    load(l, dir, ProfileFormat::Cam);
    EXPECT_EQ(l.counts[1], kLoadPoints);
    EXPECT_EQ(l.store.value(1, kLoadPoints), 100);
    EXPECT_EQ(l.store.value(1, kLoadPoints + 1), 0);
    ASSERT_EQ(l.log.size(), 1U);
    EXPECT_NE(l.log[0].find("cam1.txt"), std::string::npos);
}

TEST(ProfileLoad, PrefixAndDumpFiles) {
    TempDir dir;
    for (int n = 1; n <= 4; ++n) {
        dir.write("STORE/z5cam" + std::to_string(n) + ".txt", "1000\r\n12\r\n");
    }
    Calibration cal;
    cal.table(2)[1000] = 120.456F;
    cal.table(2)[12] = 3.0F;
    MathParams params;
    params.dmm[2] = 2.0F;

    Loaded quiet;
    quiet.store.setFilePrefix("STORE\\z5");
    load(quiet, dir, ProfileFormat::Cam, false, cal, params);
    EXPECT_EQ(quiet.counts, (PointCounts{0, 2, 2, 2, 2}));
    ASSERT_TRUE(std::filesystem::exists(dir.path() / "STORE/z5mmr2.txt"));
    EXPECT_EQ(dir.read("STORE/z5mmr2.txt"), "");
    EXPECT_TRUE(quiet.trace.empty());

    Loaded traced;
    traced.store.setFilePrefix("STORE\\z5");
    load(traced, dir, ProfileFormat::Cam, true, cal, params);
    EXPECT_EQ(dir.read("STORE/z5mmr2.txt"), "1000:122.46\r\n12: 5.00\r\n");
    EXPECT_EQ(traced.trace.size(), 8U);
}

TEST(ProfileDump, LineFormat) {
    EXPECT_EQ(dumpLine(1000, 123.456F), "1000:123.46");
    EXPECT_EQ(dumpLine(12, 5.0F), "12: 5.00");
    EXPECT_EQ(dumpLine(0, 0.0F), "0: 0.00");
    EXPECT_EQ(dumpLine(7, 12345.678F), "7:12345.68");
}

TEST(Calibration, LookupRules) {
    Calibration cal;
    auto& t = cal.table(3);
    t[0] = 111.0F;
    t[5] = 2000000.0F;
    t[6] = -1.0F;
    t[7] = std::numeric_limits<float>::quiet_NaN();
    t[8] = 1000000.0F;
    t[2047] = 55.5F;
    t[2048] = 999.0F;
    EXPECT_EQ(cal.cal(3, 2048), 111.0F); // entry 2048 is never read
    EXPECT_EQ(cal.cal(3, -1), 111.0F);
    EXPECT_EQ(cal.cal(3, 2047), 55.5F);
    EXPECT_EQ(cal.cal(3, 5), 0.0F);
    EXPECT_EQ(cal.cal(3, 6), 0.0F);
    EXPECT_EQ(cal.cal(3, 7), 0.0F);
    EXPECT_EQ(cal.cal(3, 8), 1000000.0F);
    MathParams p;
    p.dmm[3] = -1.5F;
    EXPECT_EQ(cameraDistance(cal, p, 3, 0), 109.5F);
}

TEST(CalibrationFile, ReadingRules) {
    std::string content = "2047\r\n2047.5\r\n2048\r\n-0.1\r\n\r\n   \r\n12.25 mm\r\n1e2\r\n";
    for (int i = 0; i < 92; ++i) {
        content += "7\r\n";
    }
    const Calibration::Table t = parseCalibrationTable(content, "cal1.txt");
    EXPECT_EQ(t[0], 2047.0F);
    EXPECT_EQ(t[1], 0.0F);
    EXPECT_EQ(t[2], 0.0F);
    EXPECT_EQ(t[3], 0.0F);
    EXPECT_EQ(t[4], 12.25F); // empty lines are skipped, the rest of the line too
    EXPECT_EQ(t[5], 100.0F);
    EXPECT_EQ(t[97], 7.0F);
    EXPECT_EQ(t[98], 0.0F); // the file ended: the remaining pixels are 0
    EXPECT_EQ(t[2048], 0.0F);

    try {
        parseCalibrationTable("1\r\n2\r\n\r\nnan\r\n", "Tabl1/cal2.txt");
        FAIL() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("Tabl1/cal2.txt, строка 4"), std::string::npos) << e.what();
    }
    EXPECT_THROW(parseCalibrationTable("inf\r\n", "x"), std::runtime_error);

    TempDir dir;
    EXPECT_THROW(readCalibrationTables(*std::make_unique<Calibration>(), dir.path()), std::runtime_error);
    for (int n = 1; n <= 4; ++n) {
        dir.write("Tabl1/cal" + std::to_string(n) + ".txt", std::to_string(n * 10) + "\r\n");
    }
    auto cal = std::make_unique<Calibration>();
    readCalibrationTables(*cal, dir.path());
    EXPECT_EQ(cal->table(4)[0], 40.0F);
}

} // namespace
} // namespace veltron::math
