// Load-cell frames, answer decoding, BCD weights, and the link over a pseudo-terminal.
#include "drivers/tenzo.h"
#include "platform/files.h"
#include "raw_peer.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace veltron::testing {
namespace {

using drivers::decodeTenzoAnswer;
using drivers::encodeTenzoFrame;

// CRC-8 with polynomial 0x69 in its second, equivalent form: each bit of the message and of
// one appended zero byte shifted in from the low end.
std::uint8_t referenceCrc(const Bytes& message) {
    Bytes m = message;
    m.push_back(0);
    unsigned reg = 0;
    for (const std::uint8_t b : m) {
        for (int k = 7; k >= 0; --k) {
            const bool out = (reg & 0x80) != 0;
            reg = ((reg << 1) | ((b >> k) & 1U)) & 0xFF;
            if (out) {
                reg ^= 0x69;
            }
        }
    }
    return static_cast<std::uint8_t>(reg);
}

TEST(TenzoFrame, CrcMatchesTheShiftRegisterForm) {
    const std::vector<Bytes> messages = {{0x11, 0xC3}, {0x11, 0xC3, 0x56, 0x34, 0x12}, {0xFF}, {}, {0, 0, 0}};
    for (const Bytes& m : messages) {
        EXPECT_EQ(drivers::tenzoCrc(m), referenceCrc(m));
    }
}

TEST(TenzoFrame, RequestsStuffEveryFFButTheCrc) {
    EXPECT_EQ(encodeTenzoFrame(0x11, 0xC3, {}), (Bytes{0xFF, 0x11, 0xC3, 0xD3, 0xFF, 0xFF}));
    const Bytes data{0xFF, 0x01};
    const std::uint8_t crc = drivers::tenzoCrc(Bytes{0x11, 0xC3, 0xFF, 0x01});
    EXPECT_EQ(encodeTenzoFrame(0x11, 0xC3, data), (Bytes{0xFF, 0x11, 0xC3, 0xFF, 0xFE, 0x01, crc, 0xFF, 0xFF}));
}

Bytes cat(Bytes a, const Bytes& b) {
    for (const std::uint8_t x : b) {
        a.push_back(x);
    }
    return a;
}

struct AnswerCase {
    const char* name;
    Bytes wire;
    int result;
    Bytes data;
};

Bytes answer(const Bytes& body) {
    Bytes w{0xFF};
    for (const std::uint8_t b : body) {
        w.push_back(b);
        if (b == 0xFF) {
            w.push_back(0xFE);
        }
    }
    w.push_back(drivers::tenzoCrc(body));
    w.push_back(0xFF);
    w.push_back(0xFF);
    return w;
}

TEST(TenzoFrame, AnswersDecodeByTheReceiveRules) {
    const Bytes ninety{0x11, 0xC3, 0x90, 0x00, 0x00};
    ASSERT_EQ(drivers::tenzoCrc(ninety), 0xFF); // a weight whose CRC runs into the end marker
    Bytes badCrc = answer({0x11, 0xC3, 0x01, 0x02, 0x03});
    badCrc[badCrc.size() - 3] ^= 1;
    const std::vector<AnswerCase> cases = {
        {"weight", answer({0x11, 0xC3, 0x56, 0x34, 0x12}), 1, {0x56, 0x34, 0x12}},
        {"noise before the frame", cat(Bytes{0x00, 0x12}, answer({0x11, 0xC3, 1, 2, 3})), 1, {1, 2, 3}},
        {"stuffed data FF", answer({0x11, 0xC3, 0xFF, 0x00, 0x07}), 1, {0xFF, 0x00, 0x07}},
        {"CRC FF", Bytes{0xFF, 0x11, 0xC3, 0x90, 0x00, 0x00, 0xFF, 0xFF, 0xFF}, 1, {0x90, 0x00, 0x00}},
        {"bad CRC", badCrc, -3, {}},
        {"other station", answer({0x12, 0xC3, 1, 2, 3}), -1, {}},
        {"other command", answer({0x11, 0xC4, 1, 2, 3}), -1, {}},
        {"no data", answer({0x11, 0xC3}), 0, {}},
        {"cut off", Bytes{0xFF, 0x11, 0xC3, 0x01}, -2, {}},
    };
    for (const AnswerCase& c : cases) {
        const auto a = decodeTenzoAnswer(c.wire, 0x11, 0xC3);
        EXPECT_EQ(a.result, c.result) << c.name;
        EXPECT_EQ(a.data, c.data) << c.name;
    }
    // 10000 bytes without an end marker: result 2.
    Bytes flood(10001, 0x01);
    flood[0] = 0xFF;
    EXPECT_EQ(decodeTenzoAnswer(flood, 0x11, 0xC3).result, 2);
}

TEST(TenzoWeight, PackedBcdLeastSignificantByteFirst) {
    const auto w = drivers::decodeWeight(Bytes{0x56, 0x34, 0x12});
    ASSERT_TRUE(w);
    EXPECT_EQ(w->text, "123456");
    EXPECT_EQ(w->value, 123456);
    const auto zero = drivers::decodeWeight(Bytes{0, 0, 0});
    ASSERT_TRUE(zero);
    EXPECT_EQ(zero->text, "000000");
    EXPECT_EQ(zero->value, 0);
    EXPECT_FALSE(drivers::decodeWeight(Bytes{0x5A, 0x34, 0x12})); // nibble above 9
    EXPECT_FALSE(drivers::decodeWeight(Bytes{0x56, 0x34}));
}

class TenzoLinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ =
            std::filesystem::temp_directory_path() / ("veltron-tenzo-" + std::to_string(::getpid()) + "-" +
                                                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
        ::setenv("VELTRON_DEVDIR", dir_.c_str(), 1);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::filesystem::path dir_;
    std::vector<int> sleeps_;
};

bool frameEnd(const Bytes& b) {
    return b.size() >= 3 && b[b.size() - 1] == 0xFF && b[b.size() - 2] == 0xFF && b[b.size() - 3] != 0xFF;
}

TEST_F(TenzoLinkTest, ExchangeOverAPseudoTerminalWithItsTrace) {
    RawPeer peer(frameEnd, [](const Bytes&) { return answer({0x11, 0xC3, 0x56, 0x34, 0x12}); });
    peer.pty().link(dir_, 4);
    drivers::TenzoLink link(
        dir_ / "tenzo.log", [this](int ms) { sleeps_.push_back(ms); }, [] { return "T"; });
    EXPECT_EQ(link.exchange(4, 0x11, 0xC3, {}), -6); // not open
    ASSERT_TRUE(link.open(4, 57600));
    EXPECT_EQ(link.exchange(4, 0x11, 0xC3, {}), 1);
    EXPECT_EQ(link.answer(), (Bytes{0x56, 0x34, 0x12}));
    EXPECT_EQ(peer.requests().at(0), (Bytes{0xFF, 0x11, 0xC3, 0xD3, 0xFF, 0xFF}));
    EXPECT_EQ(link.exchange(4, 0x11, 0xC3, Bytes(9991, 0)), -5);
    EXPECT_TRUE(link.close(4));
    EXPECT_FALSE(link.open(5, 57600)); // no such device

    char crc[4];
    std::snprintf(crc, sizeof crc, "%02X", drivers::tenzoCrc(Bytes{0x11, 0xC3, 0x56, 0x34, 0x12}));
    const std::string log = files::readFile(dir_ / "tenzo.log").value_or("");
    EXPECT_EQ(log, std::string("Create, Version HDLC - 2.1\r\n"
                               " InitComPort, Speed=57600, Result=True\r\n"
                               "T -4-> FF 11 C3 D3 FF FF\r\n"
                               "T <-4- 11 C3 56 34 12 ") +
                       crc +
                       "\r\n"
                       "result=1\r\n"
                       " CloseComPort, Result=True\r\n"
                       " InitComPort, Speed=57600, Result=False\r\n")
        << log;
}

TEST_F(TenzoLinkTest, BroadcastIsSentOnceAndAwaitsNothing) {
    RawPeer peer(frameEnd, [](const Bytes&) { return Bytes{}; });
    peer.pty().link(dir_, 4);
    drivers::TenzoLink link(dir_ / "tenzo.log", [](int) {});
    ASSERT_TRUE(link.open(4, 57600));
    EXPECT_EQ(link.exchange(4, 0xFF, 0xC3, {}), 0);
    link.close(4);
    // The frame is on the line once exchange returns; wait for the peer to have read it.
    EXPECT_TRUE(peer.waitForRequests(1));
    EXPECT_EQ(peer.requests().size(), 1U);
}

} // namespace
} // namespace veltron::testing
