#include "helpers.h"
#include "math/filters.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace veltron::math {
namespace {

using Row = std::vector<std::int32_t>;

// A store with the same row on every camera and counts equal to its length.
struct Fixture {
    explicit Fixture(const Row& row) {
        for (int c = 1; c <= kCameras; ++c) {
            test::setRow(store, c, row);
            counts[c] = static_cast<std::int32_t>(row.size());
        }
    }
    Row row(int c = 1) const { return test::rowValues(store, c, counts[c]); }
    ProfileStore store;
    PointCounts counts{};
    MathParams params;
    CoilTable table;
    std::vector<std::string> log;
};

std::vector<std::pair<int, int>> coilBounds(const CoilTable& t, int c) {
    std::vector<std::pair<int, int>> v;
    for (int k = 1; k <= t.count[c]; ++k) {
        v.emplace_back(t.coil(c, k).start, t.coil(c, k).end);
    }
    return v;
}

TEST(Segmentation, Cases) {
    struct Case {
        const char* what;
        Row row;
        int vmin;
        std::vector<std::pair<int, int>> coils;
    };
    const Row example{0, 0, 5, 5, 5, 0, 0, 0, 7, 7, 7, 7, 0, 0, 0, 0};
    const Row exampleShort(example.begin(), example.end() - 1);
    const Case cases[] = {
        {"two coils", example, 3, {{3, 5}, {9, 12}}},
        {"point N is never scanned", exampleShort, 3, {{3, 5}, {9, 11}}},
        {"a run of two opens nothing", {0, 4, 4, 0, 0, 0, 0, 0}, 3, {}},
        {"a gap of two does not close", {0, 4, 4, 4, 0, 0, 4, 4, 0, 0, 0, 0, 0}, 3, {{2, 8}}},
        // Runs into the end: end = N - V - 1 once the closing phase has run.
        {"coil to the end", {0, 4, 4, 4, 4, 4, 4, 4, 4, 4}, 3, {{2, 6}}},
        {"opened on the last scanned point", {0, 0, 4, 4, 4, 0}, 3, {{3, 6}}},
        {"Vmin below 1 counts as 1", {0, 4, 0, 4, 4, 0, 0}, 0, {{2, 2}, {4, 5}}},
    };
    for (const Case& c : cases) {
        Fixture f(c.row);
        f.params.Vmin = c.vmin;
        segmentCoils(f.store, f.counts, f.params, f.table);
        EXPECT_EQ(coilBounds(f.table, 1), c.coils) << c.what;
        EXPECT_EQ(coilBounds(f.table, 4), c.coils) << c.what;
    }
}

TEST(Segmentation, PeakIsTheLastOfEqualMaxima) {
    Fixture f({0, 3, 9, 4, 9, 2, 0, 0, 0, 0});
    segmentCoils(f.store, f.counts, f.params, f.table);
    ASSERT_EQ(f.table.count[1], 1);
    EXPECT_EQ(f.table.coil(1, 1).peak, 5);
}

TEST(Segmentation, AtMostOneHundredCoils) {
    Row row;
    for (int k = 0; k < 130; ++k) {
        row.insert(row.end(), {0, 0, 0, 5, 5, 5});
    }
    row.insert(row.end(), {0, 0, 0, 0});
    Fixture f(row);
    segmentCoils(f.store, f.counts, f.params, f.table, [&f](const std::string& s) { f.log.push_back(s); });
    EXPECT_EQ(f.table.count[1], kMaxCoils);
    EXPECT_EQ(f.table.coil(1, 100).start, 99 * 6 + 4);
    EXPECT_EQ(f.table.coil(1, 100).end, 99 * 6 + 6);
    EXPECT_EQ(f.log.size(), 4U); // one line per camera
}

TEST(Segmentation, TailCut) {
    // One coil at points 2..11, closed by three zeros.
    const Row row{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 0, 0, 0, 0};
    struct Case {
        int k11, k12;
        int end;      // coil end after the cut
        int lastKept; // last non-zero point left in the row
    };
    const Case cases[] = {
        {1, 2, 5, 6},   // cut = trunc(2 + 9 / 2) = 6: points 7.. cleared, end = cut - 1
        {0, 0, 11, 11}, // k12 = 0: no cut
        {3, 1, 10, 11}, // ratio above 1: the cut stays at the coil's end
        {-1, 1, 1, 2},  // negative ratio: the cut stays at the coil's start
    };
    for (const Case& c : cases) {
        Fixture f(row);
        f.params.FCutEnable = true;
        f.params.k[1][11] = c.k11;
        f.params.k[1][12] = c.k12;
        segmentCoils(f.store, f.counts, f.params, f.table);
        ASSERT_EQ(f.table.count[1], 1);
        EXPECT_EQ(f.table.coil(1, 1).end, c.end) << c.k11 << "/" << c.k12;
        const Row r = f.row();
        int last = 0;
        for (int n = 1; n <= static_cast<int>(r.size()); ++n) {
            if (r[static_cast<std::size_t>(n - 1)] != 0) {
                last = n;
            }
        }
        EXPECT_EQ(last, c.lastKept) << c.k11 << "/" << c.k12;
        EXPECT_GE(f.table.coil(1, 1).peak, 2);
        EXPECT_LE(f.table.coil(1, 1).peak, 11);
    }
}

TEST(Filters, ValueAndPointWindows) {
    Fixture f({5, 10, 11, 20, 21, 0, 15});
    f.params.k[2][1] = 10;
    f.params.k[2][2] = 20;
    valueWindowFilter(f.store, f.counts, f.params);
    EXPECT_EQ(f.row(2), (Row{0, 0, 11, 20, 0, 0, 15}));
    EXPECT_EQ(f.row(1), (Row(7, 0))); // the default 100500 clears everything

    Fixture g({1, 2, 3, 4, 5, 6, 7});
    g.params.k[3][5] = 3;
    g.params.k[3][6] = 6;
    g.params.k[3][3] = 4;
    pointWindowFilter(g.store, g.counts, g.params);
    EXPECT_EQ(g.row(3), (Row{0, 0, 3, 4, 5, 0, 0}));
    thresholdFilter(g.store, g.counts, g.params);
    EXPECT_EQ(g.row(3), (Row{0, 0, 0, 0, 5, 0, 0}));
}

TEST(Filters, ShortRuns) {
    Fixture f({0, 7, 0, 7, 7, 0, 7, 7, 7, 0, 7, 7, 7, 7, 0, 7, 7});
    f.params.k[1][7] = 3;
    shortRunFilter(f.store, f.counts, f.params);
    // Runs of one and two followed by a zero go; three and more stay; the run cut off by the
    // end of the count stays.
    EXPECT_EQ(f.row(), (Row{0, 0, 0, 0, 0, 0, 7, 7, 7, 0, 7, 7, 7, 7, 0, 7, 7}));
}

TEST(Filters, GapBridging) {
    Fixture f({0, 5, 6, 0, 0, 8, 9, 0, 0, 0, 4, 4, 0, 3, 3, 3});
    f.params.k[1][9] = 2;
    bridgeGaps(f.store, f.counts, f.params);
    // The two-zero gap and the first point after it take the last value before the gap; the
    // three-zero gap stays; the one-zero gap is bridged too.
    EXPECT_EQ(f.row(), (Row{0, 5, 6, 6, 6, 6, 9, 0, 0, 0, 4, 4, 4, 4, 3, 3}));
}

TEST(Filters, Medians) {
    const Row row{0, 9, 0, 0, 0, 0, 5, 5, 5, 5, 0, 5, 5, 5, 1, 2};
    Fixture f(row);
    evaluationMedian(f.store, f.counts);
    // Points 1..N-5 take the median of the five from them on; the stray 9 and the dropout go,
    // and the coil start moves two points earlier (7 -> 5); the last five points stay.
    EXPECT_EQ(f.row(), (Row{0, 0, 0, 0, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 1, 2}));

    // The evaluation's bound is camera 1's count, for camera 3 as well.
    Fixture g(row);
    g.counts[1] = 8;
    evaluationMedian(g.store, g.counts);
    EXPECT_EQ(g.row(3), (Row{0, 0, 0, 0, 0, 0, 5, 5, 5, 5, 0, 5, 5, 5, 1, 2}));

    Fixture h({9, 1, 9, 1, 9});
    evaluationMedian(h.store, h.counts);
    EXPECT_EQ(h.row(), (Row{9, 1, 9, 1, 9}));

    Fixture w(row);
    w.counts[1] = 8;
    workbenchMedian(w.store, w.counts, w.params); // FMedEnable off
    EXPECT_EQ(w.row(3), row);
    w.params.FMedEnable = true;
    workbenchMedian(w.store, w.counts, w.params); // each camera's own count
    EXPECT_EQ(w.row(3), (Row{0, 0, 0, 0, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 1, 2}));
    EXPECT_EQ(test::rowValues(w.store, 1, 16), (Row{0, 0, 0, 0, 0, 0, 5, 5, 5, 5, 0, 5, 5, 5, 1, 2}));
}

TEST(Filters, MedianOfEveryFiveTuple) {
    // Every tuple of five values from 0..4 (repeats included) at the head of a row: point 1
    // becomes the third largest.
    for (int code = 0; code < 5 * 5 * 5 * 5 * 5; ++code) {
        Row row;
        for (int i = 0, v = code; i < 5; ++i, v /= 5) {
            row.push_back(v % 5);
        }
        Row sorted = row;
        std::sort(sorted.begin(), sorted.end());
        row.push_back(9);
        std::int32_t r[8] = {0, row[0], row[1], row[2], row[3], row[4], row[5], 0};
        median5(r, 6);
        ASSERT_EQ(r[1], sorted[2]) << code;
        ASSERT_EQ(r[2], row[1]) << code; // beyond the bound: unchanged
    }
}

TEST(Selection, SecondCoilFromStartAndEnd) {
    const Row row{0, 3, 3, 0, 0, 4, 6, 4, 0, 0, 5, 5, 0, 7, 7, 0, 0};
    Fixture f(row);
    SelectedCoils sel;
    selectSecondCoilFromStart(f.store, f.counts, sel);
    EXPECT_EQ(sel[1].start, 6);
    EXPECT_EQ(sel[1].end, 9); // the first zero after the coil
    EXPECT_EQ(f.row(), (Row{0, 0, 0, 0, 0, 4, 6, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0}));

    Fixture g(row);
    selectSecondCoilFromEnd(g.store, g.counts, sel);
    EXPECT_EQ(sel[2].start, 10); // the zero just below the coil
    EXPECT_EQ(sel[2].end, 12);
    EXPECT_EQ(g.row(2), (Row{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 5, 5, 0, 0, 0, 0, 0}));

    // One coil only: the selection fails, the row stays, the record is cleared.
    const Row single{0, 0, 4, 4, 4, 0, 0, 0};
    Fixture h(single);
    sel[1] = {3, 4, 9.0, 3};
    selectSecondCoilFromStart(h.store, h.counts, sel);
    EXPECT_EQ(sel[1].start, 0);
    EXPECT_EQ(sel[1].maxPoint, 0);
    EXPECT_EQ(h.row(), single);
    selectSecondCoilFromEnd(h.store, h.counts, sel);
    EXPECT_EQ(sel[1].start, 0);
    EXPECT_EQ(h.row(), single);
}

TEST(Selection, TailCutAndMaximum) {
    Fixture f({0, 0, 8, 9, 9, 7, 6, 5, 4, 3, 2, 0, 0});
    SelectedCoils sel;
    sel[1] = {3, 12, 0.0, 0};
    sel[2] = {3, 12, 0.0, 0};
    sel[3] = {3, 12, 0.0, 0};
    f.params.k[1][11] = 1;
    f.params.k[1][12] = 2; // cut = 3 + trunc(9 / 2) = 7: points 7..12 cleared
    f.params.k[2][11] = 1;
    f.params.k[2][12] = 0; // no cut
    f.params.k[3][11] = 5;
    f.params.k[3][12] = 1; // beyond the coil: clamped to its end
    selectedCoilTailCut(f.store, f.params, sel);
    EXPECT_EQ(f.row(1), (Row{0, 0, 8, 9, 9, 7, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(f.row(2), (Row{0, 0, 8, 9, 9, 7, 6, 5, 4, 3, 2, 0, 0}));
    EXPECT_EQ(f.row(3), (Row{0, 0, 8, 9, 9, 7, 6, 5, 4, 3, 2, 0, 0}));
    selectedCoilMaximum(f.store, sel);
    EXPECT_EQ(sel[1].maxValue, 9.0);
    EXPECT_EQ(sel[1].maxPoint, 5); // the last of equal maxima
    EXPECT_EQ(sel[4].maxPoint, 0); // no selection: skipped
}

} // namespace
} // namespace veltron::math
