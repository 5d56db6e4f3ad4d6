// The termios layer over pseudo-terminals. A pty slave starts in cooked mode, and the master
// reports the slave's line settings, so a missing raw setting shows up here.
#include "platform/serial.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <poll.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

#include "station.h"

namespace {

using namespace veltron::serial;
using veltron::testing::Bytes;
using veltron::testing::Pty;

termios slaveSettings(const Pty& pty) {
    termios t{};
    EXPECT_EQ(tcgetattr(pty.master(), &t), 0);
    return t;
}

TEST(SerialDevice, PortNumberMapsToComInTheDeviceFolder) {
    const char* old = std::getenv("VELTRON_DEVDIR");
    const std::string saved = old != nullptr ? old : "";
    unsetenv("VELTRON_DEVDIR");
    EXPECT_EQ(devicePath(4), "/dev/COM4");
    setenv("VELTRON_DEVDIR", "", 1);
    EXPECT_EQ(devicePath(12), "/dev/COM12");
    setenv("VELTRON_DEVDIR", "/run/rig", 1);
    EXPECT_EQ(devicePath(239), "/run/rig/COM239");
    if (old != nullptr) {
        setenv("VELTRON_DEVDIR", saved.c_str(), 1);
    } else {
        unsetenv("VELTRON_DEVDIR");
    }
}

TEST(SerialPort, ConfiguresRawLinesWithStandardAndUnusualRates) {
    Pty pty;
    Port port;
    ASSERT_TRUE(port.open(pty.slavePath()));
    ASSERT_TRUE(port.configure(57600, StopBits::one));
    termios t = slaveSettings(pty);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0U);
    EXPECT_EQ(t.c_iflag & (ICRNL | IXON | INLCR | ISTRIP), 0U);
    EXPECT_EQ(t.c_oflag & OPOST, 0U);
    EXPECT_EQ(t.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS | CLOCAL | CREAD), CS8 | CLOCAL | CREAD);
    EXPECT_EQ(cfgetospeed(&t), B57600);
    EXPECT_EQ(port.baud(), 57600);

    ASSERT_TRUE(port.configure(250000, StopBits::two)); // no B constant: termios2
    t = slaveSettings(pty);
    EXPECT_EQ(t.c_cflag & CSTOPB, static_cast<tcflag_t>(CSTOPB));
    EXPECT_EQ(port.baud(), 250000);

    ASSERT_TRUE(port.setBaud(9600));
    t = slaveSettings(pty);
    EXPECT_EQ(port.baud(), 9600);
    EXPECT_EQ(t.c_cflag & CSTOPB, static_cast<tcflag_t>(CSTOPB)); // other settings kept
    EXPECT_EQ(t.c_lflag & ICANON, 0U);
    EXPECT_FALSE(port.setBaud(0));
}

TEST(SerialPort, OpensExclusivelyAndOnlyTerminals) {
    Pty pty;
    Port first;
    ASSERT_TRUE(first.open(pty.slavePath()));
    Port second;
    EXPECT_FALSE(second.open(pty.slavePath())); // refused even to root
    EXPECT_TRUE(first.close());
    EXPECT_TRUE(second.open(pty.slavePath()));

    Port other;
    EXPECT_FALSE(other.open("/nonexistent/COM1"));
    const std::string file = "/tmp/hdlc-not-a-tty-" + std::to_string(::getpid());
    ::close(::open(file.c_str(), O_CREAT | O_WRONLY, 0600));
    EXPECT_FALSE(other.open(file));
    ::unlink(file.c_str());
    EXPECT_FALSE(other.isOpen());
}

TEST(SerialPort, ReadsBytesWithinTheTimeOut) {
    Pty pty;
    Port port;
    ASSERT_TRUE(port.open(pty.slavePath()));
    ASSERT_TRUE(port.configure(115200, StopBits::one));

    std::uint8_t b = 0;
    EXPECT_EQ(port.readByte(b, 0), ReadStatus::timeout);
    pty.send({0x0D, 0x0A, 0x03, 0x7F}); // would be mapped or eaten by a cooked line
    ASSERT_EQ(port.readByte(b, 5000), ReadStatus::byte);
    EXPECT_EQ(b, 0x0D);
    std::uint8_t buf[8] = {};
    EXPECT_EQ(port.read(buf, 3, 5000), 3);
    EXPECT_EQ(Bytes(buf, buf + 3), (Bytes{0x0A, 0x03, 0x7F}));
    EXPECT_EQ(port.read(buf + 3, 5, 20), 0); // fewer than asked once the time-out passes

    // Bytes count as available whether still in the driver or already read ahead; purge
    // drops both.
    pty.send({5, 6, 7});
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (port.bytesAvailable() < 3 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::yield();
    }
    ASSERT_EQ(port.bytesAvailable(), 3);
    ASSERT_EQ(port.readByte(b, 0), ReadStatus::byte);
    EXPECT_EQ(port.bytesAvailable(), 2);
    EXPECT_TRUE(port.purge());
    EXPECT_EQ(port.bytesAvailable(), 0);
    EXPECT_EQ(port.readByte(b, 0), ReadStatus::timeout);

    EXPECT_EQ(port.write(buf, 3), 3);
    std::uint8_t echo[3] = {};
    pollfd m{pty.master(), POLLIN, 0};
    ASSERT_EQ(::poll(&m, 1, 5000), 1);
    EXPECT_EQ(::read(pty.master(), echo, 3), 3);
    EXPECT_EQ(Bytes(echo, echo + 3), (Bytes{0x0A, 0x03, 0x7F}));
}

TEST(SerialPort, HangUpIsAnErrorNotATimeOut) {
    auto pty = std::make_unique<Pty>();
    Port port;
    ASSERT_TRUE(port.open(pty->slavePath()));
    ASSERT_TRUE(port.configure(9600, StopBits::one));
    pty.reset();
    std::uint8_t b = 0;
    EXPECT_EQ(port.readByte(b, 5000), ReadStatus::error);
    EXPECT_EQ(port.read(&b, 1, 5000), -1);
}

TEST(SerialPort, ClosedPortsFailEveryOperation) {
    Port port;
    std::uint8_t b = 0;
    EXPECT_EQ(port.readByte(b, 10), ReadStatus::error);
    EXPECT_EQ(port.read(&b, 1, 10), -1);
    EXPECT_EQ(port.write(&b, 1), -1);
    EXPECT_EQ(port.bytesAvailable(), -1);
    EXPECT_FALSE(port.purge());
    EXPECT_FALSE(port.configure(9600, StopBits::one));
    EXPECT_TRUE(port.close());
}

} // namespace
