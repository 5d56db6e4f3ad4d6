// The named fault modes, each doing what it says, switched over the control channel.
#include "harness.h"

#include <gtest/gtest.h>

namespace veltron::simtest {
namespace {

constexpr std::uint8_t kCk = 55;

class FaultTest : public ::testing::Test {
protected:
    FaultTest() : dir_(scratch("fault")), rig_(fastOptions(dir_)) {}
    std::filesystem::path dir_;
    RunningSim rig_;
};

TEST_F(FaultTest, AnswerFaultsOfOneDevice) {
    Link ck(rig_.port(1), 115200);
    const Bytes good = hdlc::encodeAnswer(kCk, 'O', Bytes{'k'});
    auto request = [&] {
        ck.port().purge();
        ASSERT_TRUE(ck.send(hdlc::encodeRequest(kCk, 85, {})));
    };

    rig_.control("fault ck silent");
    request();
    EXPECT_TRUE(ck.readAll(100).empty());
    EXPECT_EQ(rig_.counter("ck", "suppressed"), 1);

    rig_.control("fault ck clear");
    rig_.control("fault ck badcheck");
    request();
    Bytes got = ck.readAll(200);
    ASSERT_EQ(got.size(), good.size());
    EXPECT_NE(got, good);
    EXPECT_EQ(Bytes(got.begin(), got.begin() + 3), Bytes(good.begin(), good.begin() + 3));
    Bytes storage(hdlc::kMaxStored);
    auto d = hdlc::decodeFrame(got, storage);
    ASSERT_EQ(d.end, hdlc::DecodeResult::End::complete);
    EXPECT_FALSE(hdlc::fcsGood(std::span<const std::uint8_t>(storage.data(), d.stored)));

    rig_.control("fault ck clear");
    rig_.control("fault ck noise 5");
    request();
    got = ck.readAll(200);
    ASSERT_EQ(got.size(), good.size() + 5);
    EXPECT_EQ(Bytes(got.begin() + 5, got.end()), good);
    d = hdlc::decodeFrame(got, storage); // the receiver skips the noise
    ASSERT_EQ(d.end, hdlc::DecodeResult::End::complete);
    EXPECT_TRUE(hdlc::fcsGood(std::span<const std::uint8_t>(storage.data(), d.stored)));

    // The other devices are not touched.
    Link ck2(rig_.port(5), 57600);
    EXPECT_TRUE(ck2.exchange(240, 28, {0, 0, 0}));
}

TEST_F(FaultTest, SlowBytesMissAShortGapTimeOut) {
    Link ck(rig_.port(1), 115200);
    rig_.control("fault ck slow 150");
    // A reader allowed 20 ms between bytes (the rig's STM1) gives up before the frame is
    // through; one allowed a second gets all of it.
    EXPECT_FALSE(ck.exchange(kCk, 85, {}, 20));
    ASSERT_TRUE(ck.exchange(kCk, 85, {}, 1000));
}

TEST_F(FaultTest, SilentCameraLeavesTheOthersAnswering) {
    Link cam(rig_.port(2), 57600);
    rig_.control("fault cam2 silent");
    EXPECT_FALSE(cam.exchange(2, 0x8B, {1}, 100));
    EXPECT_TRUE(cam.exchange(1, 0x8B, {1}));
    EXPECT_TRUE(cam.exchange(3, 0x8B, {1}));
    EXPECT_EQ(rig_.counter("cam2", "rx"), 1); // it heard the request all the same
}

TEST_F(FaultTest, UnpluggedLineDisappearsAndComesBack) {
    const auto path = rig_.port(1);
    {
        Link ck(path, 115200);
        rig_.control("unplug ck");
        EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(path)));
        EXPECT_FALSE(ck.exchange(kCk, 85, {}, 100)); // the old descriptor is dead
    }
    rig_.control("plug ck");
    ASSERT_TRUE(std::filesystem::is_symlink(path));
    Link again(path, 115200);
    EXPECT_TRUE(again.exchange(kCk, 85, {}));

    // With a time, the line comes back by itself.
    rig_.control("unplug ck 30");
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(path)));
    bool back = false;
    for (int i = 0; i < 100000 && !back; ++i) {
        rig_.state(); // one round trip to the simulator's loop
        back = std::filesystem::is_symlink(path);
    }
    EXPECT_TRUE(back);
}

TEST_F(FaultTest, StuckSensorAndAxisThatNeverReachesItsEnd) {
    Link ck(rig_.port(1), 115200);
    auto status = [&] {
        auto f = ck.exchange(kCk, 17, {});
        const auto d = fields(*f).data;
        return (d[0] << 8) | d[1];
    };
    EXPECT_TRUE(status() & (1 << 3)); // geometry measurer up
    rig_.control("stuck 3 off");
    rig_.control("stuck 8 on");
    EXPECT_EQ(status() & 0x0108, 0x0100);
    rig_.control("stuck 3 free");
    rig_.control("stuck 8 free");
    EXPECT_EQ(status() & 0x0108, 0x0008);

    rig_.control("noend geometry on");
    ASSERT_TRUE(ck.exchange(kCk, 35, {1, 1, 0, 0, 0x4E, 0x20, 0, 0, 0, 0}));
    ASSERT_TRUE(rig_.waitStopped());
    EXPECT_FALSE(status() & (1 << 4)); // never at the lower end
    EXPECT_NEAR(std::stod(rig_.state().at("geometry")), 120.2 + 5.0, 0.01);

    // Jammed at rest on its end, the press has backed off it and never gets there again.
    EXPECT_TRUE(status() & (1 << 5));
    rig_.control("noend press on");
    EXPECT_FALSE(status() & (1 << 5));
    ASSERT_TRUE(ck.exchange(kCk, 36, {1, 0, 0, 0, 0x4E, 0x20, 0, 0, 0, 0}));
    ASSERT_TRUE(rig_.waitStopped());
    EXPECT_FALSE(status() & (1 << 5));
}

TEST_F(FaultTest, ADeadLoadCellReadsZeroOnTheControllersAdc) {
    EXPECT_NE(std::stoi(rig_.state().at("adc")), 0); // the zero reading of the unloaded cell
    rig_.control("fault tenzo silent");
    EXPECT_EQ(std::stoi(rig_.state().at("adc")), 0);
    rig_.control("fault tenzo clear");
    EXPECT_NE(std::stoi(rig_.state().at("adc")), 0);
}

TEST_F(FaultTest, BadControlCommandsAreRefused) {
    for (const char* cmd : {"fault nobody silent", "fault ck sulky", "stuck 16 on", "noend press maybe", "speed -1",
                            "spring H=abc", "spring D=10 d=8", "frobnicate"}) {
        EXPECT_EQ(rig_.controlRaw(cmd).rfind("error: ", 0), 0U) << cmd;
    }
    EXPECT_NE(rig_.control("spring H=300 rate=80").find("H=300.000"), std::string::npos);
}

} // namespace
} // namespace veltron::simtest
