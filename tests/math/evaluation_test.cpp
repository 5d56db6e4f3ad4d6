#include "helpers.h"
#include "math/calibration_file.h"
#include "math/evaluation.h"
#include "math/synthetic_spring.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace veltron::math {
namespace {

using synth::ScanModel;
using synth::SpringModel;

// One evaluation over a folder, with the calibration read back from the folder's files.
struct Bench {
    explicit Bench(const synth::SyntheticScan& scan) : params(scan.params) {
        synth::writeFolder(dir.path(), scan);
        readCalibrationTables(*calibration, dir.path());
        store->setBaseDir(dir.path());
    }
    test::TempDir dir;
    MathParams params;
    std::unique_ptr<Calibration> calibration = std::make_unique<Calibration>();
    std::unique_ptr<ProfileStore> store = std::make_unique<ProfileStore>();
};

struct SpringCase {
    double diameter, height, wire, turns, tiltX, tiltY;
};

// Tolerances of the synthetic scans (step 0.05 mm, 10 000 points, pixels of about 0.05 mm):
// - Height: the five-point median moves the first start two points earlier and the height
//   constants put the estimate in the middle of the scan step that holds the top, so the error
//   is at most half a step (a top exactly on a sample point gives +step / 2).
// - Diameter: each calibrated distance is off by at most half a pixel step, and the peak (the
//   last of the points with the largest pixel) may sit up to one pixel step off the crest:
//   under 0.1 mm per point. The three points are a quarter turn apart, so a tilted axis has
//   moved by up to tilt * pitch / 2 (about 0.15 mm at 0.006) between them. The circle through
//   three points 90 degrees apart turns radial errors e into a diameter error of about 2e,
//   giving 0.5 mm with margin.
// - Non-perpendicularity: coils 2 and n-1 of cameras 1 and 4 are (n - 3) pitches apart, so the
//   axis moves by tilt * (n - 3) * pitch between them and the result is that times n / (n - 2);
//   each of the four distances carries the 0.1 mm above.
TEST(SyntheticSpring, EvaluationRecoversTheGeometry) {
    const SpringCase cases[] = {
        {200.0, 340.0, 36.0, 7.75, 0.0, 0.0},
        {200.0, 340.0, 36.0, 7.75, 0.004, -0.003},
        {180.0, 300.0, 30.0, 7.25, -0.006, 0.0},
        {230.0, 385.0, 40.0, 7.75, 0.0, 0.005},
    };
    for (const SpringCase& c : cases) {
        SpringModel spring;
        spring.outerDiameter = c.diameter;
        spring.freeHeight = c.height;
        spring.wireDiameter = c.wire;
        spring.turns = c.turns;
        spring.tiltX = c.tiltX;
        spring.tiltY = c.tiltY;
        ScanModel scan;
        scan.top = 400.0;
        scan.strayEvery = 89;
        Bench b(synth::scanSpring(spring, scan));
        FourCameraEvaluation ev(*b.store, *b.calibration, b.params);
        ev.autoCompute();
        const std::string what = "D " + std::to_string(c.diameter) + " H " + std::to_string(c.height);
        const int n = ev.coils().count[1];
        EXPECT_EQ(n, 8) << what;
        EXPECT_EQ(ev.coils().count[4], 8) << what;
        ASSERT_TRUE(ev.results().height && ev.results().diameter && ev.results().nonPerp) << what;
        EXPECT_NEAR(*ev.results().height, c.height, scan.step / 2 + 1e-3) << what;
        EXPECT_NEAR(*ev.results().diameter, c.diameter, 0.5) << what;
        const double pitch = (c.height - 0.8 * c.wire / 2.0) / c.turns;
        const double tilt = std::hypot(c.tiltX, c.tiltY) * (n - 3) * pitch * n / (n - 2);
        EXPECT_NEAR(*ev.results().nonPerp, tilt, 0.3) << what;
        // Even coils: a coil's crest is flat to within a pixel for about a millimetre either
        // way, and its peak point may fall anywhere on that flat, so the peak distances of an
        // even spring still differ by up to about a millimetre (values in scan steps, never
        // steps per mm).
        ASSERT_TRUE(ev.results().pitchSpread.has_value()) << what;
        EXPECT_LE(*ev.results().pitchSpread, 1.5) << what;
    }
}

TEST(SyntheticSpring, CameraOneAndFourSeeTheGroundTopOnOneStep) {
    Bench b(synth::scanSpring(SpringModel{}, ScanModel{}));
    FourCameraEvaluation ev(*b.store, *b.calibration, b.params);
    ev.autoCompute();
    EXPECT_EQ(ev.coils().coil(1, 1).start, ev.coils().coil(4, 1).start); // the tie keeps camera 1
    EXPECT_LT(ev.coils().coil(1, 1).start, ev.coils().coil(3, 1).start);
    EXPECT_LT(ev.coils().coil(1, 1).start, ev.coils().coil(2, 1).start);
}

TEST(Evaluation, ChainMemoAndReload) {
    Bench b(synth::scanSpring(SpringModel{}, ScanModel{}));
    FourCameraEvaluation ev(*b.store, *b.calibration, b.params);
    ev.autoCompute();
    const auto& memo = ev.memo();
    ASSERT_GE(memo.size(), 7U);
    EXPECT_EQ(memo[0], "Камера:1  Витков:8");
    EXPECT_EQ(memo[1], "------");
    EXPECT_EQ(memo[2], "Камера :1");
    EXPECT_EQ(memo[3], "Виток : 1");
    EXPECT_EQ(memo[4].rfind("Начало: ", 0), 0U);
    const std::vector<std::string> tail(memo.end() - 7, memo.end());
    EXPECT_EQ(tail[0], "===1");
    EXPECT_EQ(tail[1], "cdg=0.0500000007450581"); // the single-precision step, as computed
    EXPECT_EQ(tail[2], "===2");
    EXPECT_EQ(tail[3], "Vis=" + measureText(ev.results().height));
    EXPECT_EQ(tail[6].rfind("mrS=", 0), 0U);
    EXPECT_FALSE(std::filesystem::exists(ev.fitFile())); // no smoothing: the fit is never run
    EXPECT_EQ(ev.countLabel(3), "3:10000");

    ev.valueWindowStep();
    const auto once = test::rowValues(*b.store, 2, 10000);
    ev.valueWindowStep(); // "1" reloads first
    EXPECT_EQ(test::rowValues(*b.store, 2, 10000), once);
    EXPECT_TRUE(ev.memo().empty());

    // The default scan step (HV = HN) leaves the pitch spread undefined.
    b.params.HV = b.params.HN;
    ev.autoCompute();
    EXPECT_EQ(ev.memo().back(), "mrS=?");
    EXPECT_EQ(ev.memo()[ev.memo().size() - 6], "cdg=0");

    std::filesystem::remove(b.dir.path() / "cam3.txt");
    EXPECT_THROW(ev.autoCompute(), std::runtime_error);
}

TEST(Evaluation, SmoothingOfInnerCoils) {
    test::TempDir dir;
    // Camera 1: three coils; the middle one a parabola with a zig-zag of 3 on it.
    std::vector<std::int32_t> cam1{0, 0, 0};
    auto coil = [](std::vector<std::int32_t>& row, int length, std::int32_t v) {
        row.insert(row.end(), static_cast<std::size_t>(length), v);
        row.insert(row.end(), {0, 0, 0, 0});
    };
    coil(cam1, 8, 500);
    const std::size_t middle = cam1.size() + 1; // point number of the middle coil's start
    for (int i = 0; i <= 20; ++i) {
        cam1.push_back(1000 - (i - 10) * (i - 10) + (i % 2 == 1 ? 3 : -3));
    }
    cam1.insert(cam1.end(), {0, 0, 0, 0});
    coil(cam1, 8, 600);
    // Camera 2: middle coil with end - start = 5 (MNKvmin 6); camera 3: end - start = 8, whose
    // fitting window (start + 4 .. end - 5) is empty; camera 4: two coils only.
    std::vector<std::int32_t> cam2{0, 0, 0}, cam3{0, 0, 0}, cam4{0, 0, 0};
    coil(cam2, 8, 700);
    coil(cam2, 6, 710);
    coil(cam2, 8, 720);
    coil(cam3, 8, 800);
    coil(cam3, 9, 810);
    coil(cam3, 8, 820);
    coil(cam4, 30, 900);
    coil(cam4, 30, 910);
    const std::array<const std::vector<std::int32_t>*, 5> rows{nullptr, &cam1, &cam2, &cam3, &cam4};
    for (int c = 1; c <= kCameras; ++c) {
        dir.write("cam" + std::to_string(c) + ".txt", synth::camFileText(*rows[static_cast<std::size_t>(c)]));
    }

    MathParams params;
    params.FMNKEnable = true;
    for (int c = 1; c <= kCameras; ++c) {
        params.k[c] = {0, 0, 2047, 0, 0, 1, 10001, 0, 0, 0, 0, 1, 1};
    }
    auto calibration = std::make_unique<Calibration>();
    auto store = std::make_unique<ProfileStore>();
    store->setBaseDir(dir.path());
    FourCameraEvaluation ev(*store, *calibration, params);
    ev.valueWindowStep();
    ev.segmentStep();
    ASSERT_EQ(ev.coils().count[1], 3);
    ASSERT_EQ(ev.coils().count[3], 3);
    ASSERT_EQ(ev.coils().coil(3, 2).end - ev.coils().coil(3, 2).start, 8);
    ASSERT_EQ(ev.coils().coil(2, 2).end - ev.coils().coil(2, 2).start, 5);
    const std::size_t memoBefore = ev.memo().size();
    ev.smoothStep();

    // The raw points lie 3 off the parabola; the fitted ones within 2 (the fit covers points
    // start + 4 .. end - 5 and is extrapolated to the coil's ends, and values are truncated).
    for (int i = 0; i <= 20; ++i) {
        const int n = static_cast<int>(middle) + i;
        EXPECT_NEAR(store->value(1, n), 1000 - (i - 10) * (i - 10), 2.0) << "point " << n;
    }
    EXPECT_EQ(test::rowValues(*store, 1, 15), std::vector<std::int32_t>(cam1.begin(), cam1.begin() + 15));
    EXPECT_EQ(test::rowValues(*store, 2, static_cast<int>(cam2.size())), cam2);
    // Camera 3's fit cannot be solved: its coil keeps its points although fi.txt (camera 1's
    // coil) is there to be read.
    EXPECT_EQ(test::rowValues(*store, 3, static_cast<int>(cam3.size())), cam3);
    EXPECT_EQ(test::rowValues(*store, 4, static_cast<int>(cam4.size())), cam4);
    EXPECT_TRUE(std::filesystem::exists(ev.fitFile()));

    // Memo: a listing for cameras 1 to 3 (camera 4 has fewer than three coils) and one line for
    // the coil that could not be smoothed.
    std::vector<std::string> added(ev.memo().begin() + static_cast<std::ptrdiff_t>(memoBefore), ev.memo().end());
    int listings = 0;
    int skipped = 0;
    for (const auto& line : added) {
        listings += line == "------" ? 1 : 0;
        skipped += line.rfind("Камера 3, виток 2: не сглажен", 0) == 0 ? 1 : 0;
    }
    EXPECT_EQ(listings, 3);
    EXPECT_EQ(skipped, 1);

    // Negative margins widen the fitting window, but never beyond the row.
    params.MNKdn = -1000;
    params.MNKup = -20000;
    ev.valueWindowStep();
    ev.segmentStep();
    EXPECT_NO_THROW(ev.smoothStep());
    EXPECT_EQ(test::rowValues(*store, 1, 15), std::vector<std::int32_t>(cam1.begin(), cam1.begin() + 15));
}

} // namespace
} // namespace veltron::math
