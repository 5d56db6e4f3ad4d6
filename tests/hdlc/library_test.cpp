// libhdlc.so through its C exports, against a scripted station on a pseudo-terminal.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <regex>
#include <termios.h>

#include "api.h"
#include "platform/serial.h"
#include "station.h"

namespace {

using namespace veltron::testing;

constexpr int kPort = 7;
const Bytes kSentinel = {0xA5, 0x5A, 0xC3, 0x3C};

struct Exchange {
    int result = 0;
    Bytes answer;
    int length = -1;
    const std::uint8_t* pointer = nullptr;
};

Exchange sendData(int port, int address, int control, const Bytes& data) {
    Exchange e;
    std::int32_t length = -1;
    e.result = hdlc().sendData(port, address, control, data.empty() ? nullptr : data.data(),
                               static_cast<std::int32_t>(data.size()), &e.pointer, &length);
    e.length = length;
    if (e.pointer != nullptr && length > 0) {
        e.answer.assign(e.pointer, e.pointer + length);
    }
    return e;
}

class Link : public ::testing::Test {
protected:
    void SetUp() override {
        link_ = linkComPort(devDir(), kPort, pty_);
        // Generous for answering stations, so a loaded machine cannot turn an answer into a
        // time-out; tests of silent stations set a short one.
        hdlc().hdlcSetup(2000, 2, 0, 0);
        ASSERT_TRUE(hdlc().hdlcInitComPort(kPort, 115200));
    }
    void TearDown() override {
        hdlc().hdlcCloseComPort(kPort);
        std::filesystem::remove(link_);
    }

    // Runs the calls against the script; the sentinel written after them proves that nothing
    // but the scripted bytes went out. Empty when the wire matched the script.
    std::string run(ScriptedStation& station, const std::function<void()>& calls) {
        station.expect(kSentinel);
        station.start();
        calls();
        EXPECT_EQ(hdlc().outPort(kPort, kSentinel.data(), static_cast<std::int32_t>(kSentinel.size())),
                  static_cast<int>(kSentinel.size()));
        return station.finish();
    }

    Pty pty_;
    std::filesystem::path link_;
};

TEST_F(Link, SendsTheDocumentedWireBytesAndReturnsTheData) {
    struct Case {
        int address, control;
        Bytes data, wire;
    };
    const Case cases[] = {
        {0x37, 0x11, {}, {0xFF, 0x7E, 0x37, 0x11, 0xE5, 0xF5, 0x7E}},
        {0xF0, 0x1C, {0, 0, 0}, {0xFF, 0x7E, 0xF0, 0x1C, 0x00, 0x00, 0x00, 0x44, 0x04, 0x7E}},
        // Address and control passed as integers: only their low bytes count.
        {0x137, 0x7F11, {}, {0xFF, 0x7E, 0x37, 0x11, 0xE5, 0xF5, 0x7E}},
        // Escaped data bytes; FCS bytes 7E CF and D5 7E escaped as well.
        {0x37, 0x11, {0x7E, 0x7D}, referenceRequest({0x37, 0x11, 0x7E, 0x7D})},
        {0x37, 0x11, {0x3B}, {0xFF, 0x7E, 0x37, 0x11, 0x3B, 0x7D, 0x5E, 0xCF, 0x7E}},
        {0x37, 0x11, {0xCF}, {0xFF, 0x7E, 0x37, 0x11, 0xCF, 0xD5, 0x7D, 0x5E, 0x7E}},
    };
    for (const Case& c : cases) {
        ScriptedStation station(pty_);
        const auto addr = static_cast<std::uint8_t>(c.address);
        const auto ctl = static_cast<std::uint8_t>(c.control);
        station.expect(c.wire).reply(referenceAnswer({addr, ctl, 0x7E, 0x42}));
        Exchange e;
        EXPECT_EQ(run(station, [&] { e = sendData(kPort, c.address, c.control, c.data); }), "") << hex(c.wire);
        EXPECT_EQ(e.result, 1);
        EXPECT_EQ(hex(e.answer), "7E 42");
    }
}

TEST_F(Link, ChecksAndCutsAnswersPerMode) {
    const Bytes request = referenceRequest({0x37, 0x11, 0x05});
    const Bytes good = referenceAnswer({0x37, 0x11, 0x01, 0x02, 0x03});
    Bytes badFcs = good;
    badFcs[badFcs.size() - 2] ^= 0x01;
    const Bytes otherControl = referenceAnswer({0x37, 0x55, 0x09});
    const Bytes otherAddress = referenceAnswer({0x38, 0x11, 0x01});
    const Bytes noData = referenceAnswer({0x37, 0x11});
    struct Case {
        const char* what;
        int mode;
        Bytes answer;
        int result;
        int sends;
        const char* kept;
    };
    const Case cases[] = {
        {"strict", 0, good, 1, 1, "01 02 03"},
        {"strict, bad FCS", 0, badFcs, -3, 2, ""},
        {"strict, other control", 0, otherControl, -1, 2, ""},
        {"strict, other address", 0, otherAddress, -1, 2, ""},
        {"strict, no data", 0, noData, 0, 1, ""},
        {"strict, noise before the flag", 0, concat({{0x00, 0x7D, 0xFF, 0x13}, good}), 1, 1, "01 02 03"},
        {"strict, flag after one byte", 0, concat({{0x7E, 0x37, 0x7E}, Bytes(good.begin() + 2, good.end())}), 1, 1,
         "01 02 03"},
        {"relaxed, any control", 1, otherControl, 1, 1, "55 09"},
        {"relaxed, bad FCS", 1, badFcs, -3, 2, ""},
        {"relaxed, other address", 1, otherAddress, -1, 2, ""},
        {"relaxed, no data keeps the control", 1, noData, 1, 1, "11"},
        {"raw, bad FCS accepted", 2, badFcs, 1, 1, ""},
        {"raw, other address", 2, otherAddress, -1, 2, ""},
    };
    for (const Case& c : cases) {
        hdlc().hdlcSetup(-1, -1, -1, c.mode);
        ScriptedStation station(pty_);
        station.expectEach(request, c.sends, c.answer);
        Exchange e;
        EXPECT_EQ(run(station, [&] { e = sendData(kPort, 0x37, 0x11, {0x05}); }), "") << c.what;
        EXPECT_EQ(e.result, c.result) << c.what;
        if (c.result == 1 && c.mode == 2) {
            // Control, data and both FCS bytes as received.
            const Bytes body(badFcs.begin() + 2, badFcs.end() - 1);
            EXPECT_EQ(hex(e.answer), hex(body)) << c.what;
        } else if (c.result == 1) {
            EXPECT_EQ(hex(e.answer), c.kept) << c.what;
        } else {
            EXPECT_EQ(e.length, 0) << c.what;
        }
        if (c.result < 0) {
            // The uncut reception stays in the buffer, address first.
            EXPECT_EQ(e.pointer[0], c.answer[1]) << c.what;
        }
    }
}

TEST_F(Link, BytesLeftFromAFailedTryAreDroppedBeforeTheNext) {
    Bytes badFcs = referenceAnswer({0x37, 0x11, 0xAA});
    badFcs[badFcs.size() - 2] ^= 0x01;
    const Bytes stale = referenceAnswer({0x37, 0x11, 0xAA});
    ScriptedStation station(pty_);
    station.expect(referenceRequest({0x37, 0x11})).reply(concat({badFcs, stale}));
    station.expect(referenceRequest({0x37, 0x11})).reply(referenceAnswer({0x37, 0x11, 0xBB}));
    Exchange e;
    EXPECT_EQ(run(station, [&] { e = sendData(kPort, 0x37, 0x11, {}); }), "");
    EXPECT_EQ(e.result, 1);
    EXPECT_EQ(hex(e.answer), "BB");
}

TEST_F(Link, SilentStationIsAskedOncePerTry) {
    hdlc().hdlcSetup(10, 2, 5, 0);
    ScriptedStation station(pty_);
    station.expectEach(referenceRequest({0x21, 0x03}), 2, {});
    Exchange e;
    EXPECT_EQ(run(station, [&] { e = sendData(kPort, 0x21, 0x03, {}); }), "");
    EXPECT_EQ(e.result, -2);
    EXPECT_EQ(e.length, 0);
}

TEST_F(Link, TenThousandBytesWithoutAClosingFlagOverflow) {
    hdlc().hdlcSetup(-1, 1, -1, 0);
    Bytes flood = {0x7E};
    flood.insert(flood.end(), 10000, 0x41);
    ScriptedStation station(pty_);
    station.expect(referenceRequest({0x37, 0x11})).reply(flood);
    Exchange e;
    EXPECT_EQ(run(station, [&] { e = sendData(kPort, 0x37, 0x11, {}); }), "");
    EXPECT_EQ(e.result, 2);
    EXPECT_EQ(e.length, 0);
    EXPECT_EQ(e.pointer[9999], 0x41);
}

TEST_F(Link, BroadcastAndZeroTriesAwaitNoAnswer) {
    hdlc().hdlcSetup(-1, 3, -1, -1);
    ScriptedStation station(pty_);
    station.expect(referenceRequest({0xFF, 0x10, 0x01}));
    Exchange broadcast;
    Exchange none;
    EXPECT_EQ(run(station,
                  [&] {
                      broadcast = sendData(kPort, 0xFF, 0x10, {0x01});
                      hdlc().hdlcSetup(-1, 0, -1, -1);
                      none = sendData(kPort, 0x37, 0x11, {});
                  }),
              "");
    EXPECT_EQ(broadcast.result, 0);
    EXPECT_EQ(broadcast.length, 0);
    EXPECT_EQ(none.result, 0);
    EXPECT_EQ(none.length, 0);
}

TEST_F(Link, RefusesBadCallsWithoutSendingOrTouchingTheAnswer) {
    ScriptedStation station(pty_);
    station.expect(referenceRequest({0x37, 0x11})).reply(referenceAnswer({0x37, 0x11, 0xAA, 0xBB}));
    station.expect(referenceRequest({0x37, 0x11})).reply(referenceAnswer({0x37, 0x11, 0xCC}));
    const Bytes big(9991, 0x00);
    const Bytes most(9990, 0x00);
    struct Case {
        const char* what;
        int port;
        const std::uint8_t* data;
        int length;
        int result;
    };
    const Case cases[] = {
        {"port 0", 0, nullptr, 0, -6},
        {"port 256", 256, nullptr, 0, -6},
        {"negative port", -1, nullptr, 0, -6},
        {"closed port", 5, nullptr, 0, -6},
        {"9991 bytes", kPort, big.data(), 9991, -5},
        {"negative length", kPort, most.data(), -1, -5},
        {"null data", kPort, nullptr, 3, -5},
    };
    EXPECT_EQ(run(station,
                  [&] {
                      ASSERT_EQ(sendData(kPort, 0x37, 0x11, {}).result, 1);
                      for (const Case& c : cases) {
                          const std::uint8_t* answer = nullptr;
                          std::int32_t length = -1;
                          EXPECT_EQ(hdlc().sendData(c.port, 0x37, 0x11, c.data, c.length, &answer, &length), c.result)
                              << c.what;
                          EXPECT_EQ(length, 2) << c.what;
                          ASSERT_NE(answer, nullptr);
                          EXPECT_EQ(answer[0], 0xAA) << c.what;
                      }
                      // Null with length 0 is an empty request, not a refusal.
                      EXPECT_EQ(hdlc().sendData(kPort, 0x37, 0x11, nullptr, 0, nullptr, nullptr), 1);
                  }),
              "");
}

TEST_F(Link, LargestRequestGoesOutWhole) {
    Bytes data(9990);
    for (std::size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<std::uint8_t>(i * 7);
    }
    Bytes body = {0x37, 0x11};
    body.insert(body.end(), data.begin(), data.end());
    ScriptedStation station(pty_);
    station.expect(referenceRequest(body)).reply(referenceAnswer({0x37, 0x11, 0x01}));
    Exchange e;
    EXPECT_EQ(run(station, [&] { e = sendData(kPort, 0x37, 0x11, data); }), "");
    EXPECT_EQ(e.result, 1);
}

TEST_F(Link, SetupWithNegativesChangesOnlyTheGivenSettings) {
    hdlc().hdlcSetup(2000, 3, 0, 0);
    hdlc().hdlcSetup(-1, -1, -1, 2);
    Bytes badFcs = referenceAnswer({0x37, 0x11, 0x01});
    badFcs[badFcs.size() - 2] ^= 0x01;
    ScriptedStation station(pty_);
    station.expect(referenceRequest({0x37, 0x11})).reply(badFcs);
    station.expectEach(referenceRequest({0x37, 0x11}), 3, {}); // three tries kept
    Exchange raw;
    Exchange silent;
    EXPECT_EQ(run(station,
                  [&] {
                      raw = sendData(kPort, 0x37, 0x11, {});
                      hdlc().hdlcSetup(10, -1, -1, -1);
                      silent = sendData(kPort, 0x37, 0x11, {});
                  }),
              "");
    EXPECT_EQ(raw.result, 1); // mode 2 took the bad FCS
    EXPECT_EQ(silent.result, -2);

    hdlc().hdlcSetup(2000, -1, -1, 7); // no such mode: kept
    ScriptedStation again(pty_);
    again.expect(referenceRequest({0x37, 0x11})).reply(badFcs);
    EXPECT_EQ(run(again, [&] { raw = sendData(kPort, 0x37, 0x11, {}); }), "");
    EXPECT_EQ(raw.result, 1);
}

TEST_F(Link, OpensRawAndReinitialisingOnlyChangesTheBaud) {
    termios t{};
    ASSERT_EQ(tcgetattr(pty_.master(), &t), 0); // the master reports the slave's settings
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0U);
    EXPECT_EQ(t.c_oflag & OPOST, 0U);
    EXPECT_EQ(t.c_cflag & (CSIZE | PARENB | CSTOPB), static_cast<tcflag_t>(CS8));
    EXPECT_EQ(cfgetospeed(&t), B115200);

    EXPECT_TRUE(hdlc().hdlcInitComPort(kPort, 9600));
    ASSERT_EQ(tcgetattr(pty_.master(), &t), 0);
    EXPECT_EQ(cfgetospeed(&t), B9600);
    EXPECT_EQ(t.c_lflag & ICANON, 0U);
    EXPECT_TRUE(hdlc().hdlcSetSpeed(kPort, 19200));
    EXPECT_FALSE(hdlc().hdlcSetSpeed(kPort, 0));
    ASSERT_EQ(tcgetattr(pty_.master(), &t), 0);
    EXPECT_EQ(cfgetospeed(&t), B19200);
    EXPECT_TRUE(hdlc().hdlcSetSpeed(kPort, 250000)); // a rate without a B constant
    EXPECT_EQ(veltron::serial::readCustomBaud(pty_.master()), 250000);

    // The port still exchanges after the re-initialisation.
    ScriptedStation station(pty_);
    station.expect(referenceRequest({0x37, 0x11})).reply(referenceAnswer({0x37, 0x11, 0x01}));
    EXPECT_EQ(run(station, [&] { EXPECT_EQ(sendData(kPort, 0x37, 0x11, {}).result, 1); }), "");
}

TEST_F(Link, OpensExclusively) {
    const auto second = linkComPort(devDir(), kPort + 1, pty_); // another name, the same device
    EXPECT_FALSE(hdlc().hdlcInitComPort(kPort + 1, 115200));
    veltron::serial::Port other;
    EXPECT_FALSE(other.open(pty_.slavePath()));
    EXPECT_TRUE(hdlc().hdlcCloseComPort(kPort));
    EXPECT_TRUE(hdlc().hdlcInitComPort(kPort + 1, 115200));
    EXPECT_TRUE(hdlc().hdlcCloseComPort(kPort + 1));
    EXPECT_TRUE(hdlc().hdlcCloseComPort(kPort + 1)); // nothing open: still true
    std::filesystem::remove(second);
    EXPECT_FALSE(hdlc().hdlcInitComPort(kPort + 2, 115200)); // no such device
}

TEST_F(Link, RawBytesGoOutAndComeInUnframed) {
    ScriptedStation station(pty_);
    station.expect({0x7E, 0x00, 0x0A}).reply({0x31, 0x32, 0x33});
    std::uint8_t buf[8] = {};
    int got = -1;
    EXPECT_EQ(run(station,
                  [&] {
                      const std::uint8_t out[] = {0x7E, 0x00, 0x0A};
                      EXPECT_EQ(hdlc().outPort(kPort, out, 3), 3);
                      got = hdlc().inPort(kPort, buf, 12345, 3);
                  }),
              "");
    EXPECT_EQ(got, 3);
    EXPECT_EQ(hex(Bytes(buf, buf + 3)), "31 32 33");
    hdlc().hdlcSetup(5, -1, -1, -1);
    EXPECT_EQ(hdlc().inPort(kPort, buf, 0, 3), 0); // nothing arrives within the time-out

    const std::uint8_t one = 1;
    EXPECT_EQ(hdlc().outPort(5, &one, 1), -6);
    EXPECT_EQ(hdlc().outPort(256, &one, 1), -6);
    EXPECT_EQ(hdlc().outPort(kPort, nullptr, 1), -1);
    EXPECT_EQ(hdlc().inPort(5, buf, 0, 1), -1);
    EXPECT_EQ(hdlc().inPort(0, buf, 0, 1), -6);
    EXPECT_EQ(hdlc().inPort(kPort, nullptr, 0, 1), -1);
}

TEST(LinkPorts, NetworkAndInvalidPortNumbers) {
    hdlc().hdlcSetup(5, 2, 0, 0);
    EXPECT_EQ(hdlc().hdlcVersion(), 34);
    EXPECT_FALSE(hdlc().hdlcInitComPort(240, 115200));
    EXPECT_FALSE(hdlc().hdlcInitComPort(0, 115200));
    EXPECT_FALSE(hdlc().hdlcInitComPort(256, 115200));
    EXPECT_FALSE(hdlc().hdlcSetSpeed(12, 9600));
    EXPECT_FALSE(hdlc().hdlcCloseComPort(300));
    EXPECT_TRUE(hdlc().hdlcCloseComPort(255));
    EXPECT_EQ(sendData(250, 0x37, 0x11, {}).result, -2); // no transport behind 240..255
    EXPECT_EQ(sendData(250, 0xFF, 0x11, {}).result, 0);
}

TEST(LinkExports, OnlyTheEightFunctionsAreExported) {
    const std::string cmd = "nm -D --defined-only " HDLC_LIBRARY " 2>/dev/null";
    std::unique_ptr<FILE, int (*)(FILE*)> p(popen(cmd.c_str(), "r"), pclose);
    ASSERT_NE(p, nullptr);
    std::vector<std::string> names;
    char line[512];
    while (std::fgets(line, sizeof line, p.get()) != nullptr) {
        std::string s(line);
        s = s.substr(s.find_last_of(' ') + 1);
        s.pop_back();
        names.push_back(s);
    }
    if (names.empty()) {
        GTEST_SKIP() << "nm not available";
    }
    std::sort(names.begin(), names.end());
    const std::vector<std::string> want = {"_hdlcOutPortDll", "_hdlcSendDataDll", "hdlcCloseComPort", "hdlcInitComPort",
                                           "hdlcSetSpeed",    "hdlcSetup",        "hdlcVersion",      "inPort"};
    EXPECT_EQ(names, want);
}

} // namespace
