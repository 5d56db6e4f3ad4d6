#include "helpers.h"
#include "math/geometry.h"

#include <gtest/gtest.h>

#include <cmath>

namespace veltron::math {
namespace {

TEST(Circle, DeterminantAndBisectorForms) {
    EXPECT_DOUBLE_EQ(circleDiameter({0, 1}, {1, 0}, {0, -1}), 2.0);
    EXPECT_DOUBLE_EQ(circleDiameter({0, 0}, {1, 1}, {2, 2}), -1.0);
    EXPECT_NEAR(circleDiameter({180, 80}, {280, 180}, {180, 280}), 200.0, 1e-9);

    // The 0.0001 added to every x difference shifts the bisector result slightly.
    const auto r = circleRadiusBisector({180, 80}, {280, 180}, {180, 280});
    ASSERT_TRUE(r.has_value());
    EXPECT_NEAR(*r, 100.0, 0.01);
    EXPECT_FALSE(circleRadiusBisector({0, 5}, {10, 5}, {20, 9}).has_value()); // first slope 0
    EXPECT_FALSE(circleRadiusBisector({0, 0}, {1, 1}, {2, 2}).has_value());   // equal slopes
}

// Height, pitch spread and the scan step use only the coil table.
struct HeightCase {
    std::array<int, 5> starts; // first coil start per camera
    int expected;              // chosen start
};

TEST(Height, TieRules) {
    MathParams p;
    p.HV = 1.0F;
    p.HN = 0.0F;
    p.NZ = 1; // cdg = 1, so height = 1000 - s
    p.Hgm = 1000.0F;
    p.dHgm = 0.0F;
    p.DMV = 0.0F;
    p.dhL = {0, 0, 0, 0, 0};
    const HeightCase cases[] = {
        {{0, 500, 400, 400, 600}, 500}, // s2 = s3 tie for the smallest: s1 stays
        {{0, 500, 450, 400, 300}, 300}, // s4 strictly smallest
        {{0, 500, 500, 600, 700}, 500}, // a camera level with camera 1 keeps camera 1
        {{0, 500, 400, 450, 450}, 400},
    };
    const PointCounts counts{0, 100, 100, 100, 100};
    for (const HeightCase& c : cases) {
        CoilTable t;
        for (int cam = 1; cam <= kCameras; ++cam) {
            t.count[cam] = 1;
            t.coils[cam][1].start = c.starts[cam];
        }
        const Measure h = heightResult(t, counts, p);
        ASSERT_TRUE(h.has_value());
        EXPECT_FLOAT_EQ(*h, 1000.0F - c.expected) << c.starts[1] << c.starts[2] << c.starts[3] << c.starts[4];
    }

    // dhL shifts the numbering of cameras 2..4 against camera 1.
    CoilTable t;
    t.count = {0, 1, 1, 1, 1};
    t.coils[1][1].start = 500;
    t.coils[2][1].start = 480;
    t.coils[3][1].start = 480;
    t.coils[4][1].start = 600;
    p.dhL = {0, 0, 100, 0, 0}; // s2 = 480 + 0 - 100
    EXPECT_FLOAT_EQ(*heightResult(t, counts, p), 1000.0F - 380.0F);
    // A camera without coils contributes start 0, which is then the smallest.
    p.dhL = {0, 0, 0, 0, 0};
    t.count[2] = 0;
    EXPECT_FLOAT_EQ(*heightResult(t, counts, p), 1000.0F);

    // UDDZ rescales to NZ points; a camera with no points keeps its start.
    p.UDDZ = true;
    p.NZ = 200;
    p.HV = 200.0F; // cdg stays 1
    t.count[2] = 1;
    t.coils[2][1].start = 900;
    const PointCounts c2{0, 1000, 0, 1000, 1000};
    // s1 = trunc(0.2 * 500) = 100, s2 = 900 unscaled, s3 = 96, s4 = 120 -> s3
    EXPECT_FLOAT_EQ(*heightResult(t, c2, p), 1000.0F - 96.0F);
}

TEST(Height, UndefinedScanStepIsInvalid) {
    MathParams p;
    p.NZ = 0;
    CoilTable t;
    EXPECT_FALSE(scanStep(p).has_value());
    EXPECT_FALSE(heightResult(t, {}, p).has_value());
    EXPECT_EQ(measureText(heightResult(t, {}, p)), "?");
    EXPECT_EQ(measureText(Measure(0.5F)), "0.5");
}

TEST(PitchSpread, Cases) {
    MathParams p;
    p.HV = 3.0F;
    p.HN = 1.0F;
    p.NZ = 4; // cdg = 0.5
    CoilTable t;
    t.count[4] = 5;
    const int peaks[] = {10, 110, 205, 310, 400};
    for (int k = 1; k <= 5; ++k) {
        t.coils[4][k].peak = peaks[k - 1];
    }
    EXPECT_FLOAT_EQ(*pitchSpreadResult(t, p), 10.0F * 0.5F); // differences 95 and 105 points, 0.5 mm each

    t.count[4] = 4; // one difference
    EXPECT_FLOAT_EQ(*pitchSpreadResult(t, p), 0.0F);
    t.count[4] = 3; // precondition fails: a valid 0, even with an undefined step
    p.HV = p.HN;
    EXPECT_FLOAT_EQ(*pitchSpreadResult(t, p), 0.0F);
    t.count[4] = 5;
    EXPECT_FALSE(pitchSpreadResult(t, p).has_value()); // the default HV = HN
    p.HV = 3.0F;
    p.CamRS = 7;
    EXPECT_FALSE(pitchSpreadResult(t, p).has_value());
}

TEST(Geometry, DiameterAndNonPerpendicularity) {
    const Calibration cal = test::linearCalibration(); // 150 mm at pixel 0 .. 50 mm at 2047
    MathParams p;
    p.gx = {0, 180, 80, 180, 180};
    p.dmm = {0, 1.0F, 0, -1.0F, 2.0F};
    ProfileStore store;
    CoilTable t;
    // Six coils on cameras 1, 3 and 4; coil k peaks at point 10 k.
    auto pixelFor = [](double mm) { return static_cast<std::int32_t>(std::lround((150.0 - mm) * 2047.0 / 100.0)); };
    for (int c : {1, 3, 4}) {
        t.count[c] = 6;
        for (int k = 1; k <= 6; ++k) {
            t.coils[c][k] = {10 * k - 3, 10 * k + 3, 10 * k};
        }
    }
    // Coil 2: surface points (180, 80), (280, 180), (180, 280) with the offsets taken off.
    store.setValue(1, 20, pixelFor(80.0 - 1.0));
    store.setValue(4, 20, pixelFor(80.0 - 2.0));
    store.setValue(3, 20, pixelFor(80.0 + 1.0));
    // Coil 5 (n1 - 1): camera 1 nearer by 3 mm, camera 4 farther by 4 mm.
    store.setValue(1, 50, pixelFor(76.0));
    store.setValue(4, 50, pixelFor(82.0));
    const Measure d = diameterResult(store, t, cal, p);
    ASSERT_TRUE(d.has_value());
    EXPECT_NEAR(*d, 200.0 + p.DMD, 0.1); // pixel quantisation is 0.05 mm
    const Measure nep = nonPerpendicularityResult(store, t, cal);
    ASSERT_TRUE(nep.has_value());
    EXPECT_NEAR(*nep, 5.0 * 6.0 / 4.0, 0.1); // sqrt(3^2 + 4^2) times 1.5

    t.count[3] = 2;
    EXPECT_EQ(*diameterResult(store, t, cal, p), 0.0F);
    EXPECT_NE(*nonPerpendicularityResult(store, t, cal), 0.0F); // cameras 1 and 4 suffice
    t.count[4] = 2;
    EXPECT_EQ(*nonPerpendicularityResult(store, t, cal), 0.0F);
}

TEST(Workbench, DiameterAndNonPerpendicularity) {
    const Calibration cal = test::linearCalibration();
    MathParams p;
    p.gx = {0, 180, 80, 170, 180};
    auto pixelFor = [](double mm) { return static_cast<double>(std::lround((150.0 - mm) * 2047.0 / 100.0)); };
    SelectedCoils sel;
    sel[1].maxValue = pixelFor(80.0);
    sel[4].maxValue = pixelFor(80.0);
    sel[3].maxValue = pixelFor(80.5); // (170, 279.5) is on the circle of radius 100 too
    WorkbenchGeometry wb;
    workbenchDiameter(wb, sel, cal, p);
    EXPECT_NEAR(wb.diameter, 200.0F, 0.2F);
    EXPECT_EQ(workbenchDiameterCaption(123.456F), "D(нар)=123.46");

    sel[1].maxValue = pixelFor(83.0);
    sel[4].maxValue = pixelFor(76.0); // x4 moves by +4
    workbenchNonPerpendicularity(wb, sel, cal, p);
    EXPECT_NEAR(wb.nonPerp, 5.0F * 1.3F, 0.15F);

    // Camera 1 and 4 points on one horizontal line: the first slope is 0, the radius undefined.
    sel[1].maxValue = pixelFor(80.0);
    sel[4].maxValue = pixelFor(80.0);
    p.gx[4] = cameraDistance(cal, p, 1, static_cast<std::int64_t>(sel[1].maxValue));
    workbenchDiameter(wb, sel, cal, p);
    EXPECT_EQ(wb.diameter, 0.0F);
}

} // namespace
} // namespace veltron::math
