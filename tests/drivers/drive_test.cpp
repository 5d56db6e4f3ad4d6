// The drive's Modbus RTU master: its frames, checked against libmodbus acting as the drive on
// the other end of a pseudo-terminal bridge, and its reading rules against scripted replies.
#include "drivers/drive.h"
#include "raw_peer.h"

#include <gtest/gtest.h>
#include <modbus/modbus.h>

#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>

namespace veltron::testing {
namespace {

using drivers::DriveLink;

// The driver's 25 ms answer window is real time; the 300 ms pauses of the check are not what
// these tests are about and pass in no time.
void driveSleep(int ms) {
    if (ms < 100) {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
}

TEST(DriveFrame, RequestsOfBothModels) {
    EXPECT_EQ(drivers::modbusFrame(1, drivers::writeRegisterData(4, 5000)),
              (Bytes{0x01, 0x06, 0x00, 0x04, 0x13, 0x88, 0xC5, 0x5D}));
    const auto m1 = drivers::frequencyWrites(1, 50.0);
    ASSERT_TRUE(m1);
    ASSERT_EQ(m1->size(), 3U);
    EXPECT_EQ((*m1)[0].reg, 6101);
    EXPECT_EQ((*m1)[0].value, 10);
    EXPECT_EQ((*m1)[1].reg, 6102);
    EXPECT_EQ((*m1)[2].reg, 5);
    EXPECT_EQ((*m1)[2].value, 5000);
    const auto m2 = drivers::frequencyWrites(2, 2.5); // halves to even
    ASSERT_TRUE(m2);
    EXPECT_EQ((*m2)[0].value, 2);
    // Values that would be cut to 16 bits, negative or not finite values, other models.
    EXPECT_FALSE(drivers::frequencyWrites(1, 5000.0)); // 500000 would go out as 41248
    EXPECT_FALSE(drivers::frequencyWrites(2, 65536.0));
    EXPECT_FALSE(drivers::frequencyWrites(2, -1.0));
    EXPECT_FALSE(drivers::frequencyWrites(2, std::nan("")));
    EXPECT_FALSE(drivers::frequencyWrites(3, 10.0));
}

TEST(DriveFrame, ReaderTakesOnlyWaitingBytes) {
    const Bytes queued{1, 6, 0, 4, 0x13};
    std::size_t at = 0;
    const auto next = [&](std::uint8_t& b) {
        if (at >= queued.size()) {
            return false;
        }
        b = queued[at++];
        return true;
    };
    const auto w = drivers::readDriveAnswer(true, next);
    EXPECT_EQ(w.count, 0); // fewer than 8 bytes
    EXPECT_EQ(w.completionCode, 15);
    EXPECT_EQ(w.text, "01 06 00 04 13 ");
    at = 0;
    const auto r = drivers::readDriveAnswer(false, next);
    EXPECT_EQ(r.count, 5);
}

class DriveLinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ =
            std::filesystem::temp_directory_path() / ("veltron-drive-" + std::to_string(::getpid()) + "-" +
                                                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
        ::setenv("VELTRON_DEVDIR", dir_.c_str(), 1);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::filesystem::path dir_;
};

// libmodbus as the drive: slave 1 on one end of the bridge.
class ModbusDrive {
public:
    explicit ModbusDrive(const std::string& device) {
        ctx_ = modbus_new_rtu(device.c_str(), 9600, 'N', 8, 2);
        modbus_set_slave(ctx_, 1);
        map_ = modbus_mapping_new(0, 0, 7000, 32);
        map_->tab_input_registers[0x0E] = 321;
        connected_ = modbus_connect(ctx_) == 0;
        modbus_set_indication_timeout(ctx_, 0, 20000);
        thread_ = std::thread([this] { run(); });
    }
    ~ModbusDrive() {
        stop_ = true;
        thread_.join();
        modbus_close(ctx_);
        modbus_mapping_free(map_);
        modbus_free(ctx_);
    }
    bool connected() const { return connected_; }
    std::uint16_t holding(int reg) const {
        std::lock_guard lock(mutex_);
        return map_->tab_registers[reg];
    }
    std::vector<Bytes> queries() const {
        std::lock_guard lock(mutex_);
        return queries_;
    }

private:
    void run() {
        std::uint8_t query[MODBUS_RTU_MAX_ADU_LENGTH];
        while (!stop_) {
            const int rc = modbus_receive(ctx_, query);
            if (rc > 0) {
                std::lock_guard lock(mutex_);
                queries_.emplace_back(query, query + rc);
                modbus_reply(ctx_, query, rc, map_);
            }
        }
    }

    modbus_t* ctx_ = nullptr;
    modbus_mapping_t* map_ = nullptr;
    bool connected_ = false;
    mutable std::mutex mutex_;
    std::vector<Bytes> queries_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

TEST_F(DriveLinkTest, LibmodbusDriveAcceptsOurFramesAndWeReadItsReplies) {
    Bridge bridge;
    ModbusDrive drive(bridge.a().path());
    ASSERT_TRUE(drive.connected());
    bridge.b().link(dir_, 7);

    DriveLink model2(7, 9600, 2, driveSleep);
    ASSERT_TRUE(model2.open());
    ASSERT_TRUE(model2.setFrequency(5000));
    EXPECT_EQ(drive.holding(4), 5000);
    ASSERT_FALSE(drive.queries().empty());
    EXPECT_EQ(drive.queries().back(), (Bytes{0x01, 0x06, 0x00, 0x04, 0x13, 0x88, 0xC5, 0x5D}));
    // The drive echoes a register write: all 8 bytes read back.
    EXPECT_EQ(model2.answerCount(), 8);
    EXPECT_EQ(model2.completionCode(), 0);
    EXPECT_EQ(model2.answerText(), "01 06 00 04 13 88 C5 5D ");

    ASSERT_TRUE(model2.pumpStart());
    EXPECT_EQ(drive.holding(5), 2);
    ASSERT_TRUE(model2.pumpStop());
    EXPECT_EQ(drive.holding(5), 1);

    EXPECT_TRUE(model2.check()); // function 4 reply: 7 bytes
    EXPECT_EQ(model2.answerCount(), 7);

    DriveLink model1(7, 9600, 1, driveSleep);
    ASSERT_TRUE(model1.setFrequency(50));
    EXPECT_EQ(drive.holding(6101), 10);
    EXPECT_EQ(drive.holding(6102), 10);
    EXPECT_EQ(drive.holding(5), 5000);
    model1.pumpStart();
    EXPECT_EQ(drive.holding(6), 2);

    const auto before = drive.queries().size();
    EXPECT_FALSE(model1.setFrequency(5000)); // 500000 does not fit a register
    EXPECT_FALSE(DriveLink(7, 9600, 3, driveSleep).pumpStart());
    EXPECT_EQ(drive.queries().size(), before);
}

TEST_F(DriveLinkTest, CheckPassesOnARegisterReplyNotOnAnExceptionReply) {
    struct Case {
        Bytes reply;
        bool passes;
    } cases[] = {
        {{0x01, 0x04, 0x02, 0x00, 0x10, 0xB9, 0x3C}, true},
        {{0x01, 0x84, 0x02, 0xC2}, false},
        {{}, false},
    };
    for (const Case& c : cases) {
        RawPeer peer([](const Bytes& b) { return b.size() >= 8; }, [&c](const Bytes&) { return c.reply; });
        peer.pty().link(dir_, 7);
        DriveLink link(7, 9600, 2, driveSleep);
        EXPECT_EQ(link.check(), c.passes) << c.reply.size();
        ASSERT_TRUE(peer.waitForRequests(2));
        EXPECT_EQ(peer.requests()[0], drivers::modbusFrame(1, Bytes{4, 0x00, 0x0E, 0x00, 0x01}));
    }
}

TEST_F(DriveLinkTest, ShortWriteReplyLeavesTheCountAtZero) {
    RawPeer peer([](const Bytes& b) { return b.size() >= 8; },
                 [](const Bytes&) {
                     return Bytes{0x01, 0x06, 0x00, 0x05, 0x00};
                 });
    peer.pty().link(dir_, 7);
    DriveLink link(7, 9600, 2, driveSleep);
    link.pumpStart();
    EXPECT_EQ(link.answerCount(), 0);
    EXPECT_EQ(link.completionCode(), 15);

    DriveLink missing(8, 9600, 2, driveSleep); // no device: nothing collected, no error
    EXPECT_FALSE(missing.open());
    EXPECT_FALSE(missing.check());
}

} // namespace
} // namespace veltron::testing
