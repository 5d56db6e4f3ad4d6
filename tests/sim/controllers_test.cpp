// The main and the second controller over their pseudo-terminals: every command's answer,
// and the physical model behind the sensors as the motion commands move the axes.
#include "harness.h"

#include <gtest/gtest.h>

namespace veltron::simtest {
namespace {

constexpr std::uint8_t kCk = 55;

Bytes motion(int mode, int dir, std::uint32_t ms, std::optional<std::uint32_t> second = {},
             std::optional<std::uint16_t> third = {}) {
    Bytes p{static_cast<std::uint8_t>(mode),     static_cast<std::uint8_t>(dir),
            static_cast<std::uint8_t>(ms >> 24), static_cast<std::uint8_t>(ms >> 16),
            static_cast<std::uint8_t>(ms >> 8),  static_cast<std::uint8_t>(ms)};
    if (second) {
        for (int s = 24; s >= 0; s -= 8) {
            p.push_back(static_cast<std::uint8_t>(*second >> s));
        }
    }
    if (third) {
        p.push_back(static_cast<std::uint8_t>(*third >> 8));
        p.push_back(static_cast<std::uint8_t>(*third));
    }
    return p;
}

class ControllerTest : public ::testing::Test {
protected:
    ControllerTest() : dir_(scratch("ck")), rig_(fastOptions(dir_)), ck_(rig_.port(1), 115200) {}

    Bytes data(std::uint8_t code, const Bytes& payload = {}) {
        auto frame = ck_.exchange(kCk, code, payload);
        if (!frame) {
            ADD_FAILURE() << "no answer to command " << int(code);
            return {};
        }
        const auto f = fields(*frame);
        EXPECT_TRUE(f.valid);
        EXPECT_EQ(f.address, kCk);
        EXPECT_EQ(f.control, code == 85 ? 'O' : code);
        return Bytes(f.data.begin(), f.data.end());
    }
    std::uint16_t status() {
        const Bytes d = data(17);
        return d.size() == 2 ? static_cast<std::uint16_t>((d[0] << 8) | d[1]) : 0xFFFF;
    }
    bool bit(int b) { return (status() >> b) & 1; }
    // Polls the status word, as the program's waiting commands do, until the bits are as given.
    bool pollUntil(std::uint16_t mask, std::uint16_t want, int polls = 5000) {
        for (int i = 0; i < polls; ++i) {
            if ((status() & mask) == want) {
                return true;
            }
        }
        return false;
    }

    std::filesystem::path dir_;
    RunningSim rig_;
    Link ck_;
};

TEST_F(ControllerTest, AnswersEveryReadingCommandAtRest) {
    // At rest: carriage left, geometry measurer and press up, nothing touched, unloaded cell.
    EXPECT_EQ(data(85), Bytes{'k'}); // with the control byte: "Ok"
    EXPECT_EQ(status(), (1U << 1) | (1U << 3) | (1U << 5));
    const Bytes adc = data(19);
    ASSERT_EQ(adc.size(), 2U);
    EXPECT_EQ((adc[0] << 8) | adc[1], 5); // the unloaded cell's zero reading passes ADClev = 1

    // Press height: the count read back through the installation's conversion gives the
    // plate's height: mm = Hpr - c (cmm1 - cmm2) / (cLir2 - cLir1) + dHpr, 560 mm at the top.
    const Bytes h = data(45, {0});
    ASSERT_EQ(h.size(), 5U);
    const auto count = static_cast<std::int32_t>(be32(h, 1));
    EXPECT_NEAR(600.0 - count * (600.0 - 100.0) / 100000.0, 560.0, 1e-6);
    const Bytes force = data(3);
    ASSERT_EQ(force.size(), 6U);
    EXPECT_EQ(static_cast<std::int32_t>(be32(force, 0)), count);

    const Bytes enc = data(7, {2});
    ASSERT_EQ(enc.size(), 5U);
    EXPECT_EQ(enc[0], 2);
    EXPECT_EQ(be32(enc, 1), 0U);
    const Bytes st = data(1);
    ASSERT_EQ(st.size(), 11U);
    EXPECT_EQ(st[8] & 0x40, 0);
    EXPECT_EQ(data(33, {1}), Bytes{1});
    EXPECT_EQ(rig_.state().at("drain"), "1");
    EXPECT_EQ(rig_.counter("ck", "rx"), 8);
}

TEST_F(ControllerTest, IgnoresForeignAddressesBadFramesAndUnknownCommands) {
    EXPECT_FALSE(ck_.exchange(54, 85, {}, 100));
    EXPECT_FALSE(ck_.exchange(kCk, 99, {}, 100));
    Bytes broken = hdlc::encodeRequest(kCk, 85, {});
    broken[broken.size() - 2] ^= 0x01; // FCS high byte
    ASSERT_TRUE(ck_.send(broken));
    EXPECT_TRUE(ck_.readAll(100).empty());
    EXPECT_EQ(rig_.counter("ck", "foreign"), 1);
    EXPECT_EQ(rig_.counter("ck", "unknown"), 1);
    EXPECT_EQ(rig_.counter("ck", "bad"), 1);
    EXPECT_EQ(data(85), Bytes{'k'}); // and still answers what it knows
}

TEST_F(ControllerTest, AxesRunBetweenTheirEndSensors) {
    struct Case {
        std::uint8_t code;
        int dir;
        int leaves; // end sensor bit cleared by the move (-1: none at the start)
        int reaches;
    };
    const Case cases[] = {
        {34, 1, 1, 2},  // carriage right
        {34, 0, 2, 1},  // carriage left
        {37, 1, -1, 0}, // centring close
        {35, 1, 3, 4},  // geometry measurer down
        {35, 0, 4, 3},  // and up
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.code) * 10 + c.dir);
        data(c.code, c.code == 35 ? motion(1, c.dir, 20000, 0u) : motion(1, c.dir, 20000));
        if (c.leaves >= 0) {
            EXPECT_TRUE(pollUntil(1U << c.leaves, 0));
        }
        EXPECT_TRUE(pollUntil(1U << c.reaches, 1U << c.reaches));
    }
    EXPECT_EQ(rig_.counter("ck", "34:1:1"), 1);
    EXPECT_EQ(rig_.counter("ck", "35:1:1"), 1);
}

TEST_F(ControllerTest, MovesEndOnTheirTimeOutJogTimeAndStop) {
    // A time-out shorter than the travel: the carriage stops on the way, no end sensor set.
    data(34, motion(1, 1, 500));
    ASSERT_TRUE(rig_.waitStopped());
    auto s = rig_.state();
    EXPECT_NEAR(std::stod(s.at("carriage")), 200.0, 1.0); // 400 mm/s for 0.5 s
    EXPECT_FALSE(bit(1) || bit(2));
    // A jog runs for its time; a stop ends a move at once.
    data(34, motion(2, 0, 250));
    ASSERT_TRUE(rig_.waitStopped());
    EXPECT_NEAR(std::stod(rig_.state().at("carriage")), 100.0, 1.0);
    data(34, motion(1, 1, 20000));
    data(34, {0});
    s = rig_.state();
    EXPECT_EQ(s.at("moving"), "0000");
    EXPECT_LT(std::stod(s.at("carriage")), 1000.0);
    EXPECT_EQ(rig_.counter("ck", "34:0"), 1);
}

TEST_F(ControllerTest, PressTouchesLoadsToTheTargetAndLiftsOff) {
    // Down to contact: stops once all three touch sensors are closed, before loading.
    data(36, motion(1, 1, 30000, 12000u, std::uint16_t{230}));
    constexpr std::uint16_t touch = 0x01C0;
    EXPECT_TRUE(pollUntil(touch, touch));
    ASSERT_TRUE(rig_.waitStopped());
    EXPECT_LT(std::stod(rig_.state().at("force")), 50.0);

    // Down to a force of 2000 kg: ADC 10000 on the sample line (5 ADC per kg) plus the zero.
    const std::uint16_t target = 10005;
    data(36, motion(3, 1, 30000, 16000u, target));
    bool reached = false;
    for (int i = 0; i < 5000 && !reached; ++i) {
        const Bytes st = data(1);
        reached = st.size() == 11 && (st[8] & 0x40) != 0;
    }
    ASSERT_TRUE(reached);
    const Bytes f = data(3);
    const int adc = (f[4] << 8) | f[5];
    EXPECT_NEAR(adc, target, 3);
    // 100 kg/mm: 20 mm below the free height of 340 mm.
    EXPECT_NEAR(600.0 - static_cast<std::int32_t>(be32(f, 0)) * 0.005, 320.0, 0.02);

    data(36, motion(3, 0, 20000, 0u));
    EXPECT_TRUE(pollUntil(touch, 0));
    ASSERT_TRUE(rig_.waitStopped());
    EXPECT_EQ(std::stod(rig_.state().at("force")), 0.0);
    data(36, motion(1, 0, 30000, 0u));
    EXPECT_TRUE(pollUntil(1U << 5, 1U << 5));
    EXPECT_EQ(rig_.counter("ck", "36:3:1"), 1);
}

TEST_F(ControllerTest, EncodersCountAndReset) {
    data(35, motion(1, 1, 100, 0u)); // 30 mm down
    ASSERT_TRUE(rig_.waitStopped());
    const Bytes e = data(7, {1});
    // 0.2 mm per point over a divider of 8: 40 pulses per mm.
    EXPECT_NEAR(static_cast<double>(static_cast<std::int32_t>(be32(e, 1))), 30.0 * 40, 2);
    data(8, {1});
    EXPECT_EQ(be32(data(7, {1}), 1), 0U);
}

class SecondControllerTest : public ::testing::Test {
protected:
    SecondControllerTest() : dir_(scratch("ck2")), rig_(fastOptions(dir_)), ck2_(rig_.port(5), 57600) {}
    Bytes data(std::uint8_t code, const Bytes& p = {0, 0, 0}) {
        auto frame = ck2_.exchange(240, code, p);
        if (!frame) {
            ADD_FAILURE() << "no answer to command " << int(code);
            return {};
        }
        const auto f = fields(*frame);
        EXPECT_TRUE(f.valid);
        EXPECT_EQ(f.control, code);
        return Bytes(f.data.begin(), f.data.end());
    }
    std::filesystem::path dir_;
    RunningSim rig_;
    Link ck2_;
};

TEST_F(SecondControllerTest, AnswersItsEightCommands) {
    EXPECT_EQ(data(28).size(), 3U);
    EXPECT_EQ(data(5), (Bytes{'K', '2', 0}));
    EXPECT_EQ(data(7)[0], 1); // its sensor sees the spring on the rig
    EXPECT_EQ(data(22, {4, 0, 0}), (Bytes{'O', 'K', 0}));
    EXPECT_EQ(rig_.state().at("divider"), "4");
    EXPECT_EQ(data(29, {10, 0, 0}), (Bytes{'O', 'K', 0}));
    EXPECT_EQ(data(12)[0], 1);
    EXPECT_EQ(rig_.state().at("scan"), "1");
    data(9);
    EXPECT_EQ(rig_.state().at("scan"), "0");
    EXPECT_EQ(data(8), (Bytes{0, 0, 0}));
    EXPECT_EQ(rig_.counter("ck2", "rx"), 8);
}

TEST_F(SecondControllerTest, EncoderFollowsTheMeasurerLowByteFirst) {
    Link ck(rig_.port(1), 115200);
    ASSERT_TRUE(ck.exchange(kCk, 35, motion(1, 1, 200, 0u))); // 60 mm down
    ASSERT_TRUE(rig_.waitStopped());
    const Bytes d = data(8);
    EXPECT_NEAR(d[0] + 256 * d[1], 60 * 40, 2); // 2400 = 0x0960: low byte first
    EXPECT_EQ(d[1], 0x09);
}

} // namespace
} // namespace veltron::simtest
