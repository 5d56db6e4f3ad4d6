#include "results/report_layout.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>

namespace veltron {
namespace {

TEST(NumberText, OneDecimalInAFieldOfFive) {
    const struct {
        double value;
        const char* text;
    } cases[] = {{12.3, " 12.3"},     {0.0, "  0.0"},   {-4.26, " -4.3"}, {300.0, "300.0"},
                 {1234.56, "1234.6"}, {99.96, "100.0"}, {5.0F, "  5.0"}};
    for (const auto& c : cases) {
        EXPECT_EQ(numberText(c.value), c.text) << c.value;
    }
}

TEST(NumberText, IgnoresTheLocaleDecimalComma) {
    const char* old = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = old != nullptr ? old : "C";
    if (std::setlocale(LC_NUMERIC, "ru_RU.UTF-8") == nullptr) {
        GTEST_SKIP() << "no ru_RU locale here";
    }
    EXPECT_EQ(numberText(60.5), " 60.5");
    std::setlocale(LC_NUMERIC, saved.c_str());
}

TEST(FitPage, PortraitPageOnPortraitAndLandscapeDevices) {
    const struct {
        PrintDevice device;
        PageRect expected;
    } cases[] = {
        // A4 at 600 dpi with 1/6 inch margins: fits the printable height, centred across.
        {{4960, 7016, 100, 100}, {(4960 - 4868) / 2, 100, 4868, 6816}},
        // Without a printing offset.
        {{4960, 7016, 0, 0}, {(4960 - 5011) / 2, 0, 5011, 7016}},
        // A landscape device: the page (portrait) fits the printable height as well.
        {{7016, 4960, 100, 100}, {(7016 - 3400) / 2, 100, 3400, 4760}},
        // A square device counts as portrait.
        {{3000, 3000, 0, 0}, {(3000 - 2142) / 2, 0, 2142, 3000}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(fitPage(4000, 5600, c.device), c.expected) << c.device.width << "x" << c.device.height;
    }
}

TEST(FitPage, LandscapePageFitsTheWidth) {
    // Landscape page on a portrait device: width, centred vertically.
    EXPECT_EQ(fitPage(5600, 4000, {4960, 7016, 100, 100}), (PageRect{100, (7016 - 3400) / 2, 4760, 3400}));
    // Landscape page on a landscape device: width as well.
    EXPECT_EQ(fitPage(5600, 4000, {7016, 4960, 0, 0}), (PageRect{0, (4960 - 5011) / 2, 7016, 5011}));
    // A square page on a landscape device fits the height (the page is not strictly wider).
    EXPECT_EQ(fitPage(4000, 4000, {7016, 4960, 0, 0}), (PageRect{(7016 - 4960) / 2, 0, 4960, 4960}));
}

TEST(FitPage, DegenerateDeviceGivesNothing) {
    EXPECT_EQ(fitPage(4000, 5600, {0, 0, 0, 0}), PageRect{});
    EXPECT_EQ(fitPage(4000, 5600, {200, 7000, 100, 0}), PageRect{});
    EXPECT_EQ(fitPage(0, 5600, {4960, 7016, 0, 0}), PageRect{});
}

TEST(ArchiveStep, PagingOfTwentyRows) {
    const struct {
        int key;
        std::int64_t from, to;
    } cases[] = {
        {8, 19, 0},                                                     // 19 - 14 = 5, and 5 - 14 <= 0: row 0
        {8, 10, 10},                                                    // 10 - 14 <= 0: nothing
        {7, 10, 9},  {7, 0, 0},   {1, 19, 19}, {1, 18, 19}, {2, 0, 19}, // 0 + 14 = 14, and 14 + 14 >= 19: the last row
        {2, 5, 5},                                                      // 5 + 14 >= 19: nothing
        {2, 4, 19}, // 4 + 14 = 18 < 19, and 18 + 14 >= 19: the last row
        {8, 15, 0},  {8, 14, 14}, {11, 7, 7},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(archiveStep(c.key, 20, c.from), c.to) << "key " << c.key << " from " << c.from;
    }
}

TEST(ArchiveStep, LongTableStepsByAPage) {
    EXPECT_EQ(archiveStep(2, 1000, 0), 14);
    EXPECT_EQ(archiveStep(8, 1000, 999), 985);
    EXPECT_EQ(archiveStep(2, 1000, 970), 984);
    EXPECT_EQ(archiveStep(2, 1000, 984), 999);
    EXPECT_EQ(archiveStep(2, 1000, 985), 985);
    EXPECT_EQ(archiveStep(1, 0, -1), -1);
    EXPECT_EQ(archiveStep(1, 1, 0), 0);
}

TEST(ArchiveCursor, PageAndLine) {
    EXPECT_EQ(archivePage(0), 0);
    EXPECT_EQ(archiveCursorLine(0), 1);
    EXPECT_EQ(archivePage(13), 0);
    EXPECT_EQ(archiveCursorLine(13), 14);
    EXPECT_EQ(archivePage(14), 1);
    EXPECT_EQ(archiveCursorLine(14), 1);
    EXPECT_EQ(archiveCursorLine(999999), 999999 % 14 + 1);
}

TEST(ArchiveThumb, FullLengthUpToFourteenRows) {
    for (std::int64_t rows = 1; rows <= 14; ++rows) {
        for (std::int64_t row = 0; row < rows; ++row) {
            const ArchiveThumb t = archiveThumb(rows, row);
            ASSERT_TRUE(t.shown);
            const double p = static_cast<double>(row) * (352.0 - 351.0) / static_cast<double>(rows) + 214.0;
            EXPECT_EQ(t.y1, static_cast<int>(p) - 30);
            EXPECT_EQ(t.y2, static_cast<int>(p + 351.0 + 2.0) - 30);
        }
    }
    EXPECT_EQ(archiveThumb(14, 0), (ArchiveThumb{true, 184, 537}));
}

TEST(ArchiveThumb, ShrinksAndStaysInTheTrack) {
    // 20 rows: L = 246.4.
    EXPECT_EQ(archiveThumb(20, 0), (ArchiveThumb{true, 184, 432}));
    EXPECT_EQ(archiveThumb(20, 19), (ArchiveThumb{true, 184 + static_cast<int>(19 * (352 - 246.4) / 20), 532}));
    for (const std::int64_t rows : {std::int64_t{15}, std::int64_t{1000}, std::int64_t{1000000}}) {
        for (const std::int64_t row : {std::int64_t{0}, rows / 2, rows - 1}) {
            const ArchiveThumb t = archiveThumb(rows, row);
            EXPECT_GE(t.y1, 184);
            EXPECT_LE(t.y2, 538);
            EXPECT_LT(t.y1, t.y2);
        }
    }
    EXPECT_FALSE(archiveThumb(0, -1).shown);
}

} // namespace
} // namespace veltron
