// Profile download, the geometry measurement and the UDP step events.
#include "fixture.h"

#include "../drivers/raw_peer.h"
#include "hdlc/hdlc.h"
#include "platform/files.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fstream>

namespace veltron::testing {
namespace {

// Camera answer data: three unused bytes, then the points.
Bytes profileData(const std::vector<Bytes>& points) {
    Bytes d{9, 9, 9};
    for (const Bytes& p : points) {
        d.insert(d.end(), p.begin(), p.end());
    }
    return d;
}

std::string fileText(const std::filesystem::path& p) {
    return files::readFile(p).value_or("<missing>");
}

class Download : public RigTest {
protected:
    void serveProfile(const Bytes& data) {
        cams_.respond([data](const Request& r) -> std::optional<Reply> {
            if (r.control == 0x8C) {
                return Reply{0x8C, data};
            }
            return Reply{r.control, {0}};
        });
    }
};

TEST_F(Download, AnswersWithAndWithoutCheckBytesGiveTheSamePoints) {
    start();
    // p0 = 0x20 gives 1; p2 = 1 alone gives 128 (weight 4096); p3 = 1 gives 2048.
    serveProfile(profileData({{0x20, 0, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}));
    for (int mode : {2, 1}) {
        t_->link().setup(-1, -1, -1, mode);
        t_->cameras().select(2);
        EXPECT_TRUE(t_->cameras().download()) << mode;
        EXPECT_EQ(t_->link().last().length, mode == 2 ? 4 + 12 + 2 : 4 + 12);
        EXPECT_EQ(t_->cameras().downloadedCount(2), 3) << mode;
        EXPECT_EQ(fileText(dir_ / "cam2.txt"), "1\r\n128\r\n2048\r\n") << mode;
        EXPECT_EQ(fileText(dir_ / "STORE" / "z7cam2.txt"), "1\r\n128\r\n2048\r\n") << mode;
        EXPECT_EQ(t_->cameras().row(2)[1], 128);
    }
}

TEST_F(Download, FailedOrRefusedDownloadDecodesNothing) {
    settings_.STM1 = 30;
    start();
    serveProfile(profileData({{0x40, 0, 0, 0}, {0x60, 0, 0, 0}}));
    t_->cameras().select(1);
    ASSERT_TRUE(t_->cameras().download());
    ASSERT_EQ(t_->cameras().row(1)[0], 2);

    cams_.respond([](const Request&) { return std::nullopt; }); // silent camera
    EXPECT_FALSE(t_->cameras().download());
    EXPECT_EQ(t_->cameras().downloadedCount(1), -1);
    EXPECT_EQ(fileText(dir_ / "cam1.txt"), "");
    EXPECT_EQ(fileText(dir_ / "STORE" / "z7cam1.txt"), "");
    EXPECT_EQ(t_->cameras().row(1)[0], 2); // the row keeps its points
    EXPECT_EQ(faults().back(), 56);

    // Refused before sending (port closed): the previous answer must not be decoded again.
    serveProfile(profileData({{0x40, 0, 0, 0}}));
    ASSERT_TRUE(t_->cameras().download());
    hdlcCloseComPort(5);
    EXPECT_FALSE(t_->cameras().download());
    EXPECT_EQ(t_->cameras().downloadedCount(1), -1);
    EXPECT_EQ(fileText(dir_ / "cam1.txt"), "");
}

TEST_F(Download, MissingStoreFolderRaises) {
    start();
    std::filesystem::remove_all(dir_ / "STORE");
    serveProfile(profileData({{0x20, 0, 0, 0}}));
    EXPECT_THROW(t_->cameras().download(), std::system_error);
}

TEST_F(Download, CameraCommandsCarryTheirPayloadsAndFaultCodes) {
    settings_.STM1 = 30;
    start();
    t_->state.Edit2 = "3";
    t_->laserOn();
    t_->laserOff();
    t_->cameraSetup();
    const auto reqs = cams_.requests();
    ASSERT_EQ(reqs.size(), 2U + 12U);
    EXPECT_EQ(reqs[0].address, 3);
    EXPECT_EQ(reqs[0].control, 0x8B);
    EXPECT_EQ(reqs[0].data, Bytes{1});
    EXPECT_EQ(reqs[1].data, Bytes{0});
    EXPECT_EQ(reqs[2].address, 1);
    EXPECT_EQ(reqs[2].control, 0x86);
    EXPECT_EQ(reqs[2].data, (Bytes{0xD0, 0x07, 1})); // 2000
    EXPECT_EQ(reqs[3].control, 0x84);
    EXPECT_EQ(reqs[3].data, Bytes{90});
    EXPECT_EQ(reqs[4].control, 0x8A);
    EXPECT_EQ(reqs[4].data, (Bytes{0x40, 0x00, 0x40}));
    EXPECT_EQ(reqs[13].address, 4);

    // A camera number outside 1..4 is used as the address; a non-number sends nothing.
    cams_.respond([](const Request&) { return std::nullopt; });
    cams_.clear();
    t_->state.Edit2 = "7";
    t_->laserOn();
    t_->state.Edit2 = "x";
    t_->laserOff();
    ASSERT_TRUE(cams_.waitForRequests(1));
    ASSERT_EQ(cams_.requests().size(), 1U);
    EXPECT_EQ(cams_.requests()[0].address, 7);
    EXPECT_EQ(faults().back(), 42); // laser on base 35 + 7
    EXPECT_TRUE(t_->values.commandRefused);
}

TEST_F(Download, GeometryMeasurementScansAndReadsTheCameras) {
    settings_.tpeGEOMETR_VNIZ = 4;
    settings_.tpeGEOMETR_VVERH = 2;
    start();
    MainModel m;
    m.status = [](int) { return static_cast<std::uint16_t>((1 << 3) | (1 << 4)); }; // both ends at once
    serveMain(m);
    serveProfile(profileData({{0x20, 0, 0, 0}}));
    t_->values.progressDisplay = 1;
    std::vector<rig::ProgressBar> bars;
    t_->drawProgressBar = [&](const rig::ProgressBar& p) { bars.push_back(p); };
    std::vector<std::string> screenTexts;
    t_->mainScreenText = [&](int, int, const std::string& s) { screenTexts.push_back(s); };

    t_->geometryMeasurement();
    EXPECT_FALSE(t_->values.motionTimeout);
    EXPECT_EQ(t_->values.progressDisplay, 1);
    // The first move ran without bars; the scan drew bar 3.
    ASSERT_EQ(bars.size(), 1U);
    EXPECT_EQ(bars[0].bar, 3);
    const auto mainReqs = main_.requests();
    const auto down = std::find_if(mainReqs.begin(), mainReqs.end(),
                                   [](const Request& r) { return r.control == 35 && r.data.size() == 11; });
    ASSERT_NE(down, mainReqs.end());
    EXPECT_EQ(down->data, (Bytes{1, 1, 0, 0, 0x27, 0x10, 0, 0, 0, 0, 10}));
    EXPECT_EQ(second_.count(12), 1);
    EXPECT_EQ(cams_.count(0x8C), 4);
    EXPECT_EQ(screenTexts.size(), 4U);
    EXPECT_EQ(screenTexts[0], "Камера №1 : 1замеров ");
    EXPECT_EQ(t_->state.Memo1.back(), "№4<<1");
    EXPECT_EQ(fileText(dir_ / "cam4.txt"), "1\r\n");
}

TEST_F(Download, FailedScanStartSetsTheMotionTimeOut) {
    settings_.STM1 = 30;
    start();
    MainModel m;
    m.status = [](int) { return static_cast<std::uint16_t>((1 << 3) | (1 << 4)); };
    serveMain(m);
    serveSecond(std::nullopt);
    settings_.tpeGEOMETR_VNIZ = 4;
    t_->geometryMeasurement();
    EXPECT_TRUE(t_->values.motionTimeout);
    EXPECT_NE(std::find(t_->state.Memo1.begin(), t_->state.Memo1.end(), "№1<<0"), t_->state.Memo1.end());
}

// --- load cell -------------------------------------------------------------------------------

TEST_F(RigTest, WeightReadShowsBcdDigitsAndKeepsTheLastWeightOnABadAnswer) {
    Bytes reply;
    RawPeer peer([](const Bytes& b) { return b.size() >= 6 && b[b.size() - 1] == 0xFF && b[b.size() - 2] == 0xFF; },
                 [&reply](const Bytes&) { return reply; });
    peer.pty().link(dir_ / "dev", 4);
    start();
    const auto frame = [](Bytes body) {
        Bytes w{0xFF};
        for (const std::uint8_t b : body) {
            w.push_back(b);
        }
        w.push_back(drivers::tenzoCrc(body));
        w.push_back(0xFF);
        w.push_back(0xFF);
        return w;
    };
    reply = frame({0x11, 0xC3, 0x56, 0x34, 0x12});
    t_->weightRead();
    EXPECT_EQ(t_->state.labels.at("Label38").caption, "Вес=123456");
    EXPECT_EQ(t_->values.lastWeight, 123456);

    reply = frame({0x11, 0xC3, 0x5A, 0x34, 0x12}); // not packed BCD
    t_->weightRead();
    EXPECT_EQ(t_->state.labels.at("Label38").caption, "Вес=?");
    EXPECT_EQ(t_->values.lastWeight, 123456);
    EXPECT_EQ(peer.requests().size(), 2U);
    EXPECT_TRUE(std::filesystem::exists(dir_ / "tenzo.log"));
}

// --- UDP --------------------------------------------------------------------------------------

class Receiver {
public:
    Receiver() {
        fd_ = ::socket(AF_INET, SOCK_DGRAM, 0);
        // No SO_REUSEADDR: when another program holds the port the test skips instead of
        // sharing its datagrams.
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(1111);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bound_ = ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    }
    ~Receiver() { ::close(fd_); }
    bool bound() const { return bound_; }
    // The next datagram, or nothing when none is queued (it was sent before this returns).
    std::optional<std::string> next() {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, 0) <= 0) {
            return std::nullopt;
        }
        char buf[64];
        const ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
        return std::string(buf, static_cast<std::size_t>(std::max<ssize_t>(n, 0)));
    }

private:
    int fd_ = -1;
    bool bound_ = false;
};

TEST_F(RigTest, StepEventsReachARealSocketOnPort1111) {
    Receiver rx;
    if (!rx.bound()) {
        GTEST_SKIP() << "127.0.0.1:1111 is in use";
    }
    start();
    t_->stepEvent("5"); // Ardu off: nothing at all
    EXPECT_FALSE(rx.next());
    EXPECT_NE(t_->state.Memo1.back(), "send:5 - ok");
    EXPECT_EQ(host_.beeps, 0);

    settings_.Ardu = true;
    settings_.ardup[1] = 0;
    const int pumps = host_.pumps;
    t_->stepEvent("12");
    EXPECT_EQ(rx.next(), std::optional<std::string>("12"));
    EXPECT_EQ(t_->state.Memo1.back(), "send:12 - ok");
    EXPECT_EQ(host_.beeps, 3);
    EXPECT_EQ(host_.pumps, pumps + 1); // pumps once even with ardup1 = 0
}

} // namespace
} // namespace veltron::testing
