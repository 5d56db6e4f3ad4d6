// The four cameras: their setting commands, the profile answer, and the profiles of a scan
// run through the program's own four-camera evaluation.
#include "harness.h"
#include "platform/ini.h"

#include "app/settings.h"
#include "math/calibration_file.h"
#include "math/evaluation.h"
#include "math/settings_bridge.h"
#include "sim/stations.h"

#include <fstream>
#include <gtest/gtest.h>

namespace veltron::simtest {
namespace {

constexpr std::uint8_t kCk = 55;

// The points of a profile answer decoded as the program's camera link does: bytes from
// offset 4 of the answer (control byte first), (p0 + 256 p1 + 4096 p2 + 65536 p3) / 32.
std::vector<std::int32_t> decodeProfile(const hdlc::FrameFields& f) {
    std::vector<std::int32_t> pts;
    const auto& d = f.data; // answer byte k is d[k - 1]
    for (std::size_t i = 3; i + 3 < d.size(); i += 4) {
        pts.push_back((d[i] + 256 * d[i + 1] + 4096 * d[i + 2] + 65536 * d[i + 3]) / 32);
    }
    return pts;
}

class CameraTest : public ::testing::Test {
protected:
    explicit CameraTest(sim::SpringSpec spring = {}) : dir_(scratch("cam")), rig_(options(dir_, spring)) {}
    static sim::Options options(const std::filesystem::path& dir, const sim::SpringSpec& spring) {
        auto o = fastOptions(dir);
        o.spring = spring;
        return o;
    }
    std::vector<std::int32_t> download(Link& cam, int c) {
        auto frame = cam.exchange(static_cast<std::uint8_t>(c), 0x8C, {});
        if (!frame) {
            ADD_FAILURE() << "camera " << c << " did not answer";
            return {};
        }
        const auto f = fields(*frame);
        EXPECT_TRUE(f.valid);
        EXPECT_EQ(f.control, 0x8C);
        EXPECT_LE(frame->size(), hdlc::kMaxStored - 1); // fits the link's answer buffer
        return decodeProfile(f);
    }
    // The geometry measurement's scan: measurer up, scan start, run down to the lower end.
    void scan() {
        Link ck(rig_.port(1), 115200);
        Link ck2(rig_.port(5), 57600);
        ASSERT_TRUE(ck.exchange(kCk, 35, {1, 0, 0, 0, 0x4E, 0x20, 0, 0, 0, 0}));
        ASSERT_TRUE(rig_.waitStopped());
        ASSERT_TRUE(ck2.exchange(240, 12, {0, 0, 0}));
        ASSERT_TRUE(ck.exchange(kCk, 35, {1, 1, 0, 0, 0x4E, 0x20, 0, 0, 0, 0, 10}));
        ASSERT_TRUE(rig_.waitStopped());
    }

    std::filesystem::path dir_;
    RunningSim rig_;
};

TEST_F(CameraTest, SettingCommandsAreAnsweredAndKept) {
    Link cam(rig_.port(2), 57600);
    struct Case {
        std::uint8_t code;
        Bytes payload;
    };
    const Case cases[] = {{0x8B, {1}}, {0x86, {0xD0, 0x07, 1}}, {0x84, {90}}, {0x8A, {0x40, 0x00, 0x40}}, {0x8D, {}}};
    for (int c = 1; c <= 4; ++c) {
        for (const Case& k : cases) {
            auto frame = cam.exchange(static_cast<std::uint8_t>(c), k.code, k.payload);
            ASSERT_TRUE(frame) << c << " " << int(k.code);
            const auto f = fields(*frame);
            EXPECT_TRUE(f.valid);
            EXPECT_EQ(f.address, c);
            EXPECT_EQ(f.control, k.code);
        }
        EXPECT_EQ(rig_.counter("cam" + std::to_string(c), "rx"), 5);
    }
    EXPECT_FALSE(cam.exchange(5, 0x8B, {1}, 100)); // no camera there
    // The single measurement at the top of the scan, above the spring, sees nothing.
    EXPECT_EQ(download(cam, 1), std::vector<std::int32_t>{0});
}

TEST_F(CameraTest, ProfileIsEmptyBeforeAScanAndCappedAfterIt) {
    Link cam(rig_.port(2), 57600);
    EXPECT_TRUE(download(cam, 3).empty());
    scan();
    const auto pts = download(cam, 3);
    // 600 mm down to 120.2 mm in steps of 0.2 mm: 2400 points, within the camera's 2498.
    EXPECT_EQ(pts.size(), 2400U);
    int seen = 0;
    for (auto v : pts) {
        EXPECT_GE(v, 0);
        EXPECT_LE(v, 2047);
        seen += v != 0;
    }
    EXPECT_GT(seen, 200);
    // A reset of the second controller ends the counting, not the cameras' memory.
    Link ck2(rig_.port(5), 57600);
    ASSERT_TRUE(ck2.exchange(240, 9, {0, 0, 0}));
    EXPECT_EQ(download(cam, 3), pts);
}

TEST(CameraAnswer, PointsAreThirtyTwoTimesThePixel) {
    const Bytes d = sim::CameraBus::profileData({1, 2047, 0});
    EXPECT_EQ(d, (Bytes{0, 0, 0, 0x20, 0, 0, 0, 0xE0, 0xFF, 0, 0, 0, 0, 0, 0}));
}

// A spring of the sample catalogue's size, evaluated from the downloaded profiles.
struct Spring {
    const char* name;
    sim::SpringSpec spec;
};

class EvaluationTest : public ::testing::TestWithParam<Spring> {};

TEST_P(EvaluationTest, RecoversHeightAndDiameter) {
    const sim::SpringSpec spring = GetParam().spec;
    const auto dir = scratch(GetParam().name);
    auto o = fastOptions(dir);
    o.spring = spring;
    const auto setup = o.setupPath;
    RunningSim rig(o);
    {
        Link ck(rig.port(1), 115200);
        Link ck2(rig.port(5), 57600);
        ASSERT_TRUE(ck.exchange(kCk, 35, {1, 0, 0, 0, 0x4E, 0x20, 0, 0, 0, 0}));
        ASSERT_TRUE(rig.waitStopped());
        ASSERT_TRUE(ck2.exchange(240, 12, {0, 0, 0}));
        ASSERT_TRUE(ck.exchange(kCk, 35, {1, 1, 0, 0, 0x4E, 0x20, 0, 0, 0, 0, 10}));
        ASSERT_TRUE(rig.waitStopped());
    }
    const auto work = dir / "work";
    std::filesystem::create_directories(work);
    Link cam(rig.port(2), 57600);
    for (int c = 1; c <= 4; ++c) {
        auto frame = cam.exchange(static_cast<std::uint8_t>(c), 0x8C, {});
        ASSERT_TRUE(frame);
        std::ofstream f(work / ("cam" + std::to_string(c) + ".txt"), std::ios::binary);
        for (auto v : decodeProfile(fields(*frame))) {
            f << v << "\r\n";
        }
    }

    const Settings settings = readSettingsFile(setup.string());
    const math::MathParams params = math::mathParamsFrom(settings);
    math::Calibration calibration;
    math::readCalibrationTables(calibration, setup.parent_path());
    math::ProfileStore store;
    store.setBaseDir(work);
    math::FourCameraEvaluation ev(store, calibration, params);
    ev.autoCompute();
    const auto& r = ev.results();
    ASSERT_TRUE(r.height && r.diameter);
    EXPECT_NEAR(*r.height, spring.freeHeight, 1.0);
    EXPECT_NEAR(*r.diameter, spring.outerDiameter, 0.5);
}

sim::SpringSpec make(double H, double D, double d, double n, double tiltX = 0, double x = 0) {
    sim::SpringSpec s;
    s.freeHeight = H;
    s.outerDiameter = D;
    s.wireDiameter = d;
    s.turns = n;
    s.tiltX = tiltX;
    s.offsetX = x;
    return s;
}

// The spring files shipped with the simulator.
sim::SpringSpec fromFile(const char* name) {
    return sim::readSpringFile(std::filesystem::path(VELTRON_SOURCE_DIR) / "sim" / "springs" / name);
}

INSTANTIATE_TEST_SUITE_P(Springs, EvaluationTest,
                         ::testing::Values(Spring{"default", make(340, 200, 36, 7.75)},
                                           Spring{"tall", make(420, 240, 40, 8.5)},
                                           Spring{"small", make(260, 160, 28, 6.25)},
                                           Spring{"tilted_offset", make(340, 200, 36, 7.75, 0.004, 6)},
                                           Spring{"central_motor_outer", fromFile("central-motor-outer.txt")},
                                           Spring{"axlebox_motor", fromFile("axlebox-motor.txt")}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace veltron::simtest

namespace veltron::simtest {
namespace {

TEST(InstallationCheck, WarnsOfScansTooLongAndCamerasThatCannotSeeTheSpring) {
    const auto dir = scratch("check");
    sim::Options o = fastOptions(dir);
    EXPECT_TRUE(sim::Simulator(o).warnings().empty());

    // A scan of 10000 points, more than the cameras hold.
    {
        IniFile ini = IniFile::load(o.setupPath);
        ini.set("Mathem", "NZ", "10000");
        ini.save(o.setupPath.parent_path() / "long-scan.ini");
    }
    o.setupPath = o.setupPath.parent_path() / "long-scan.ini";
    auto w = sim::Simulator(o).warnings();
    ASSERT_EQ(w.size(), 1U);
    EXPECT_NE(w[0].find("NZ=10000"), std::string::npos);

    o = fastOptions(dir);
    o.spring.offsetX = 150; // far off the centre: out of cameras 2 and 4's tables
    w = sim::Simulator(o).warnings();
    ASSERT_EQ(w.size(), 2U);
    EXPECT_EQ(w[0].rfind("camera 2 sees nothing", 0), 0U);
    EXPECT_EQ(w[1].rfind("camera 4 sees nothing", 0), 0U);
}

} // namespace
} // namespace veltron::simtest
