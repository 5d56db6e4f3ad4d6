// The load-cell instrument and the frequency drive, the latter through libmodbus as the
// Modbus master.
#include "harness.h"

#include "sim/peripherals.h"

#include <gtest/gtest.h>
#include <modbus.h>

namespace veltron::simtest {
namespace {

TEST(LoadCellFrames, CrcAndStuffingOfTheRequestExample) {
    EXPECT_EQ(sim::loadCellCrc(Bytes{0x11, 0xC3}), 0xD3);
    EXPECT_EQ(sim::LoadCell::encode(0x11, 0xC3, {}), (Bytes{0xFF, 0x11, 0xC3, 0xD3, 0xFF, 0xFF}));
    const Bytes data{0xFF, 0x01};
    const Bytes f = sim::LoadCell::encode(0x11, 0xC3, data);
    EXPECT_EQ(Bytes(f.begin() + 3, f.begin() + 6), (Bytes{0xFF, 0xFE, 0x01}));
}

class LoadCellTest : public ::testing::Test {
protected:
    LoadCellTest() : dir_(scratch("tenzo")), rig_(fastOptions(dir_)), link_(rig_.port(4), 57600) {}
    Bytes ask(const Bytes& request) {
        link_.port().purge();
        EXPECT_TRUE(link_.send(request));
        return link_.readAll(300);
    }
    std::filesystem::path dir_;
    RunningSim rig_;
    Link link_;
};

TEST_F(LoadCellTest, AnswersTheWeightInPackedBcd) {
    const Bytes request{0xFF, 0x11, 0xC3, 0xD3, 0xFF, 0xFF};
    EXPECT_EQ(ask(request), sim::LoadCell::encode(0x11, 0xC3, Bytes{0, 0, 0}));
    // Load the spring: 20 mm down from the free height at 100 kg/mm is 2000 kg.
    Link ck(rig_.port(1), 115200);
    ASSERT_TRUE(ck.exchange(55, 36, {3, 1, 0, 0, 0x75, 0x30, 0, 0, 0x3E, 0x80, 0x27, 0x15}));
    ASSERT_TRUE(rig_.waitStopped());
    EXPECT_EQ(ask(request), sim::LoadCell::encode(0x11, 0xC3, Bytes{0x00, 0x20, 0x00}));
    EXPECT_EQ(rig_.counter("tenzo", "195"), 2);
}

TEST_F(LoadCellTest, IgnoresBadCrcOtherStationsAndOtherCommands) {
    EXPECT_TRUE(ask({0xFF, 0x11, 0xC3, 0xD4, 0xFF, 0xFF}).empty());
    EXPECT_TRUE(ask(sim::LoadCell::encode(0x12, 0xC3, {})).empty());
    EXPECT_TRUE(ask(sim::LoadCell::encode(0x11, 0xC4, {})).empty());
    EXPECT_EQ(rig_.counter("tenzo", "bad"), 1);
    EXPECT_EQ(rig_.counter("tenzo", "foreign"), 1);
    EXPECT_EQ(rig_.counter("tenzo", "unknown"), 1);
}

class DriveTest : public ::testing::Test {
protected:
    DriveTest() : dir_(scratch("drive")), rig_(fastOptions(dir_)) {
        ctx_ = modbus_new_rtu(rig_.port(3).c_str(), 9600, 'N', 8, 2);
        if (ctx_ == nullptr || modbus_set_slave(ctx_, 1) != 0 || modbus_connect(ctx_) != 0) {
            ADD_FAILURE() << "libmodbus cannot open " << rig_.port(3);
        }
    }
    ~DriveTest() override {
        if (ctx_) {
            modbus_close(ctx_);
            modbus_free(ctx_);
        }
    }
    int status() {
        std::uint16_t v = 0xFFFF;
        return modbus_read_input_registers(ctx_, 0x000E, 1, &v) == 1 ? v : -1;
    }
    std::filesystem::path dir_;
    RunningSim rig_;
    modbus_t* ctx_ = nullptr;
};

TEST_F(DriveTest, StartsStopsAndTakesTheFrequencyOfModelTwo) {
    ASSERT_NE(ctx_, nullptr);
    EXPECT_EQ(status(), 0);
    ASSERT_EQ(modbus_write_register(ctx_, 5, 2), 1); // start
    EXPECT_EQ(status(), 1);
    EXPECT_EQ(rig_.state().at("pump"), "1");
    ASSERT_EQ(modbus_write_register(ctx_, 4, 5000), 1);
    std::uint16_t f = 0;
    ASSERT_EQ(modbus_read_registers(ctx_, 4, 1, &f), 1);
    EXPECT_EQ(f, 5000);
    ASSERT_EQ(modbus_write_register(ctx_, 5, 1), 1); // stop
    EXPECT_EQ(status(), 0);
    EXPECT_EQ(rig_.counter("drive", "start"), 1);
    EXPECT_EQ(rig_.counter("drive", "stop"), 1);
}

TEST_F(DriveTest, UnknownFunctionGetsAnExceptionReply) {
    ASSERT_NE(ctx_, nullptr);
    std::uint8_t bits[8];
    EXPECT_EQ(modbus_read_bits(ctx_, 0, 8, bits), -1);
    EXPECT_EQ(errno, EMBXILFUN);
    EXPECT_EQ(rig_.counter("drive", "unknown"), 1);
    EXPECT_EQ(status(), 0); // and the line goes on
}

TEST(DriveFrames, ModelTwoFrequencyRequestCrc) {
    // 01 06 00 04 13 88 C5 5D
    const Bytes body{0x01, 0x06, 0x00, 0x04, 0x13, 0x88};
    const std::uint16_t crc = sim::modbusCrc(body);
    EXPECT_EQ(crc & 0xFF, 0xC5);
    EXPECT_EQ(crc >> 8, 0x5D);
}

} // namespace
} // namespace veltron::simtest
