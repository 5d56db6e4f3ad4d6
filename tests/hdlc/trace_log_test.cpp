// The texts of hdlc.log as the library writes them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <thread>
#include <unistd.h>

#include "api.h"
#include "platform/text.h"
#include "station.h"

namespace {

using namespace veltron::testing;

constexpr int kPort = 9;

std::vector<std::string> lines(const std::string& log) {
    std::vector<std::string> out;
    std::size_t from = 0;
    for (std::size_t at = log.find("\r\n"); at != std::string::npos; at = log.find("\r\n", from)) {
        out.push_back(log.substr(from, at - from));
        from = at + 2;
    }
    return out;
}

// `count` lines from the first (or the last) one containing `first` on.
std::vector<std::string> linesFrom(const std::string& log, const std::string& first, std::size_t count,
                                   bool last = false) {
    const auto all = lines(log);
    for (std::size_t k = 0; k < all.size(); ++k) {
        const std::size_t i = last ? all.size() - 1 - k : k;
        if (all[i].find(first) != std::string::npos) {
            return {all.begin() + static_cast<long>(i),
                    all.begin() + static_cast<long>(std::min(all.size(), i + count))};
        }
    }
    return {};
}

const std::string kStamp =
    R"(\d\d\.\d\d\.\d{4} \d{1,2}:\d\d:\d\d\.[ \d]{3}\(\+(\d+\.\d\d(пс |нс |мкс|мс |сек)| >= 1000 сек)\))";

bool stamped(const std::string& line, const std::string& rest) {
    return std::regex_match(line, std::regex(kStamp + rest));
}

TEST(TraceLog, StartsWithTheHeaderBlock) {
    const std::string log = waitForTrace(std::string(54, '-'));
    const auto l = lines(log);
    ASSERT_GE(l.size(), 4U) << log;
    EXPECT_EQ(l[0], "Create, Version HDLC - 34");
    EXPECT_EQ(l[1], (workDir() / "hdlc.log").string()); // the directory at load time
    EXPECT_EQ(l[2], "частота процессора: 1000000000Гц");
    EXPECT_EQ(l[3], std::string(54, '-'));
}

TEST(TraceLog, HeaderAndStampsFollowTheCountsPerSecondFile) {
    // A fresh process per case, since the file is read once at load.
    struct Case {
        const char* content;
        const char* header;
        const char* stampUnit;
    };
    const Case cases[] = {
        {"0\r\n", "частота процессора не заданна (временные промежутки будут в тактах процессора)", R"(\(\+\d+мц\))"},
        {"2000000000\r\n", "частота процессора: 2000000000Гц", R"(\(\+\d+\.\d\d(пс |нс |мкс|мс |сек)\))"},
    };
    char self[4096] = {};
    ASSERT_GT(readlink("/proc/self/exe", self, sizeof self - 1), 0);
    for (const Case& c : cases) {
        const auto dir = workDir() / ("child-" + std::to_string(&c - cases));
        std::filesystem::create_directories(dir);
        std::ofstream(dir / "cpu.txt", std::ios::binary) << c.content;
        const std::string cmd = "VELTRON_CPU_FILE='" + (dir / "cpu.txt").string() + "' '" + self +
                                "' --load-library-in '" + dir.string() + "'";
        ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
        std::ifstream in(dir / "hdlc.log", std::ios::binary);
        const std::string log = veltron::text::cp1251ToUtf8(
            std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()));
        const auto l = lines(log);
        ASSERT_EQ(l.size(), 5U) << log;
        EXPECT_EQ(l[0], "Create, Version HDLC - 34");
        EXPECT_EQ(l[1], (dir / "hdlc.log").string());
        EXPECT_EQ(l[2], c.header);
        EXPECT_EQ(l[3], std::string(54, '-'));
        const std::string clock = R"(\d\d\.\d\d\.\d{4} \d{1,2}:\d\d:\d\d\.[ \d]{3})";
        EXPECT_TRUE(std::regex_match(l[4], std::regex(clock + c.stampUnit + " InitComPort. Недопустимый адрес!")))
            << l[4];
    }
}

class TraceOfLink : public ::testing::Test {
protected:
    void SetUp() override {
        link_ = linkComPort(devDir(), kPort, pty_);
        hdlc().hdlcSetup(2000, 2, 0, 0);
        ASSERT_TRUE(hdlc().hdlcInitComPort(kPort, 115200));
    }
    void TearDown() override {
        hdlc().hdlcCloseComPort(kPort);
        std::filesystem::remove(link_);
    }
    int send(int address, int control, const Bytes& data) {
        const std::uint8_t* answer = nullptr;
        std::int32_t length = 0;
        return hdlc().sendData(kPort, address, control, data.data(), static_cast<std::int32_t>(data.size()), &answer,
                               &length);
    }
    Pty pty_;
    std::filesystem::path link_;
};

TEST_F(TraceOfLink, ExchangeLinesShowWireAndStoredBytes) {
    ScriptedStation station(pty_);
    station.expect(referenceRequest({0x5A, 0x21, 0x7E}))
        .reply(concat({{0x33}, referenceAnswer({0x5A, 0x21, 0x7D, 0x01})}));
    station.expectEach(referenceRequest({0x5B, 0x21}), 2, {});
    station.expect(referenceRequest({0xFF, 0x22}));
    station.start();
    EXPECT_EQ(send(0x5A, 0x21, {0x7E}), 1);
    hdlc().hdlcSetup(10, -1, -1, -1);
    EXPECT_EQ(send(0x5B, 0x21, {}), -2);
    EXPECT_EQ(send(0xFF, 0x22, {}), 0);
    EXPECT_EQ(station.finish(), "");

    const std::string wire = hex(referenceRequest({0x5A, 0x21, 0x7E}));
    const std::string stored = hex(withFcs({0x5A, 0x21, 0x7D, 0x01}));
    const std::string log = waitForTrace("-9-> FF 7E FF 22");
    auto l = linesFrom(log, "-9-> " + wire, 3);
    ASSERT_EQ(l.size(), 3U) << log;
    EXPECT_TRUE(stamped(l[0], " -9-> " + wire)) << l[0];
    EXPECT_TRUE(stamped(l[1], " <-9- " + stored)) << l[1];
    EXPECT_EQ(l[2], "result=1");

    const std::string silent = hex(referenceRequest({0x5B, 0x21}));
    l = linesFrom(log, "-9-> " + silent, 6);
    ASSERT_EQ(l.size(), 6U) << log;
    EXPECT_TRUE(stamped(l[0], " -9-> " + silent)) << l[0];
    EXPECT_TRUE(stamped(l[1], " <-9-")) << l[1];
    EXPECT_TRUE(stamped(l[2], " -9-> " + silent)) << l[2];
    EXPECT_TRUE(stamped(l[3], " <-9-")) << l[3];
    EXPECT_EQ(l[4], "result=-2");
    // The broadcast is sent and nothing more is traced for it.
    EXPECT_TRUE(stamped(l[5], " -9-> " + hex(referenceRequest({0xFF, 0x22})))) << l[5];
}

TEST_F(TraceOfLink, PortCallsAreTraced) {
    EXPECT_TRUE(hdlc().hdlcInitComPort(kPort, 9600));
    EXPECT_FALSE(hdlc().hdlcInitComPort(0, 9600));
    EXPECT_FALSE(hdlc().hdlcInitComPort(241, 4800));
    EXPECT_FALSE(hdlc().hdlcInitComPort(kPort + 1, 2400)); // no such device
    EXPECT_FALSE(hdlc().hdlcCloseComPort(256));
    EXPECT_TRUE(hdlc().hdlcCloseComPort(kPort));
    EXPECT_EQ(send(0x37, 0x11, {}), -6); // closed: refused without a trace
    const std::uint8_t* answer = nullptr;
    std::int32_t length = 0;
    EXPECT_EQ(hdlc().sendData(999, 0x37, 0x11, nullptr, 0, &answer, &length), -6);
    EXPECT_FALSE(hdlc().hdlcSetSpeed(kPort, 1200));
    hdlc().hdlcSetup(-1, 2, -1, -1);
    EXPECT_EQ(hdlc().sendData(247, 0x37, 0x11, nullptr, 0, &answer, &length), -2);

    const std::string log = waitForTrace("-247->");
    const auto l = linesFrom(log, " InitComPort, Speed=115200, Result=True", 16, true);
    ASSERT_EQ(l.size(), 16U) << log;
    EXPECT_TRUE(stamped(l[0], " InitComPort, Speed=115200, Result=True")) << l[0];
    EXPECT_TRUE(stamped(l[1], " ReInitComPort")) << l[1];
    EXPECT_TRUE(stamped(l[2], " SetSpeed=9600, Result=True")) << l[2];
    EXPECT_TRUE(stamped(l[3], " InitComPort. Недопустимый адрес!")) << l[3];
    EXPECT_TRUE(stamped(l[4], " InitPortIP")) << l[4];
    EXPECT_TRUE(stamped(l[5], " SetSpeed=4800, Result=False")) << l[5];
    EXPECT_TRUE(stamped(l[6], " InitComPort, Speed=2400, Result=False")) << l[6];
    EXPECT_TRUE(stamped(l[7], " CloseComPort. Недопустимый адрес!")) << l[7];
    EXPECT_TRUE(stamped(l[8], " CloseComPort, Result=True")) << l[8];
    EXPECT_TRUE(stamped(l[9], " -999-> hdlcSend. Недопустимый адрес!")) << l[9];
    EXPECT_TRUE(stamped(l[10], " SetSpeed=1200, Result=False")) << l[10];
    // Network ports: the 0x01 prefix, no transport, every try fails at once.
    EXPECT_TRUE(stamped(l[11], " -247-> 01 FF 7E 37 11 E5 F5 7E")) << l[11];
    EXPECT_TRUE(stamped(l[12], " <-247-")) << l[12];
    EXPECT_TRUE(stamped(l[13], " -247-> 01 FF 7E 37 11 E5 F5 7E")) << l[13];
    EXPECT_TRUE(stamped(l[14], " <-247-")) << l[14];
    EXPECT_EQ(l[15], "result=-2");
}

TEST_F(TraceOfLink, NothingIsWrittenWhileAnExchangeRuns) {
    // The station holds its answer for more than two flush periods and looks at the file
    // meanwhile: the exchange's own request line must still be only in memory.
    bool seenDuringExchange = true;
    const std::string wire = hex(referenceRequest({0x6C, 0x21}));
    hdlc().hdlcSetup(2000, 1, -1, -1);
    ScriptedStation station(pty_);
    station.expect(referenceRequest({0x6C, 0x21}))
        .then([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(450));
            seenDuringExchange = readTrace().find(wire) != std::string::npos;
        })
        .reply(referenceAnswer({0x6C, 0x21, 0x01}));
    station.start();
    EXPECT_EQ(send(0x6C, 0x21, {}), 1);
    EXPECT_EQ(station.finish(), "");
    EXPECT_FALSE(seenDuringExchange);
    EXPECT_NE(waitForTrace("-9-> " + wire), "");
}

} // namespace
