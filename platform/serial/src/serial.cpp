#include "platform/serial.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#include <utility>

namespace veltron::serial {
namespace {

speed_t standardSpeed(int baud) {
    switch (baud) {
    case 50:
        return B50;
    case 75:
        return B75;
    case 110:
        return B110;
    case 134:
        return B134;
    case 150:
        return B150;
    case 200:
        return B200;
    case 300:
        return B300;
    case 600:
        return B600;
    case 1200:
        return B1200;
    case 1800:
        return B1800;
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    case 230400:
        return B230400;
    case 460800:
        return B460800;
    case 500000:
        return B500000;
    case 576000:
        return B576000;
    case 921600:
        return B921600;
    case 1000000:
        return B1000000;
    case 1152000:
        return B1152000;
    case 1500000:
        return B1500000;
    case 2000000:
        return B2000000;
    case 2500000:
        return B2500000;
    case 3000000:
        return B3000000;
    case 3500000:
        return B3500000;
    case 4000000:
        return B4000000;
    default:
        return B0;
    }
}

using Clock = std::chrono::steady_clock;

// Bytes taken from the driver in one read; the size of the original driver queue.
constexpr std::size_t kReadAhead = 1024;

int remainingMs(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// Applies the baud rate to a termios image and writes it; rates without a B constant go
// through termios2 after the rest of the settings are written.
bool writeSettings(int fd, termios& t, int baud) {
    const speed_t speed = standardSpeed(baud);
    if (speed != B0) {
        cfsetispeed(&t, speed);
        cfsetospeed(&t, speed);
    }
    if (tcsetattr(fd, TCSANOW, &t) != 0) {
        return false;
    }
    return speed != B0 || setCustomBaud(fd, baud);
}

} // namespace

std::string deviceFolder() {
    const char* dir = std::getenv("VELTRON_DEVDIR");
    return (dir != nullptr && *dir != '\0') ? std::string(dir) : std::string("/dev");
}

std::string devicePath(int port) {
    return deviceFolder() + "/COM" + std::to_string(port);
}

Port::~Port() {
    close();
}

Port::Port(Port&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), pending_(std::move(other.pending_)), head_(std::exchange(other.head_, 0)),
      tail_(std::exchange(other.tail_, 0)) {}

Port& Port::operator=(Port&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = std::exchange(other.fd_, -1);
        pending_ = std::move(other.pending_);
        head_ = std::exchange(other.head_, 0);
        tail_ = std::exchange(other.tail_, 0);
    }
    return *this;
}

bool Port::open(const std::string& path) {
    close();
    // O_NONBLOCK only for the open itself: without CLOCAL a modem port would wait for carrier.
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    // flock first: TIOCEXCL does not stop root, and the rig program may well run as root.
    if (isatty(fd) == 0 || flock(fd, LOCK_EX | LOCK_NB) != 0 || ioctl(fd, TIOCEXCL) != 0) {
        ::close(fd);
        return false;
    }
    const int flags = fcntl(fd, F_GETFL);
    if (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        ioctl(fd, TIOCNXCL);
        ::close(fd);
        return false;
    }
    fd_ = fd;
    pending_.assign(kReadAhead, 0);
    head_ = tail_ = 0;
    return true;
}

bool Port::close() {
    if (fd_ < 0) {
        return true;
    }
    // The exclusive mark belongs to the terminal, not to the descriptor; a pseudo-terminal
    // whose other side stays open would keep it after the close.
    ioctl(fd_, TIOCNXCL);
    head_ = tail_ = 0;
    const int rc = ::close(std::exchange(fd_, -1));
    return rc == 0;
}

bool Port::configure(int baud, StopBits stopBits) {
    if (fd_ < 0 || baud <= 0) {
        return false;
    }
    termios t{};
    if (tcgetattr(fd_, &t) != 0) {
        return false;
    }
    t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF |
                                        IXANY | INPCK | IUCLC | IMAXBEL);
    t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHOE | ECHOK | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
    t.c_cflag |= CS8 | CLOCAL | CREAD;
    if (stopBits == StopBits::two) {
        t.c_cflag |= CSTOPB;
    }
    // Reads are paced by poll; once poll reports data, read returns at once.
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    return writeSettings(fd_, t, baud);
}

bool Port::setBaud(int baud) {
    if (fd_ < 0 || baud <= 0) {
        return false;
    }
    termios t{};
    if (tcgetattr(fd_, &t) != 0) {
        return false;
    }
    return writeSettings(fd_, t, baud);
}

int Port::baud() const {
    return fd_ < 0 ? 0 : readCustomBaud(fd_);
}

bool Port::raiseRtsDtr() {
    if (fd_ < 0) {
        return false;
    }
    const int rts = TIOCM_RTS;
    const int dtr = TIOCM_DTR;
    const bool rtsOk = ioctl(fd_, TIOCMBIS, &rts) == 0;
    const bool dtrOk = ioctl(fd_, TIOCMBIS, &dtr) == 0;
    return rtsOk && dtrOk;
}

bool Port::purge() {
    head_ = tail_ = 0;
    return fd_ >= 0 && tcflush(fd_, TCIOFLUSH) == 0;
}

int Port::bytesAvailable() const {
    int n = 0;
    if (fd_ < 0 || ioctl(fd_, FIONREAD, &n) != 0) {
        return -1;
    }
    return n + static_cast<int>(buffered());
}

bool Port::fill(int timeoutMs) {
    failed_ = false;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs > 0 ? timeoutMs : 0);
    int wait = timeoutMs > 0 ? timeoutMs : 0;
    for (;;) {
        pollfd p{fd_, POLLIN, 0};
        const int r = ::poll(&p, 1, wait);
        if (r == 0) {
            return false;
        }
        if (r > 0 && (p.revents & POLLIN) != 0) {
            const ssize_t n = ::read(fd_, pending_.data(), pending_.size());
            if (n > 0) {
                head_ = 0;
                tail_ = static_cast<std::size_t>(n);
                return true;
            }
            if (n == 0 || (errno != EINTR && errno != EAGAIN)) {
                failed_ = true;
                return false;
            }
        } else if (r > 0 || errno != EINTR) {
            failed_ = true; // hang-up or error without data
            return false;
        }
        wait = remainingMs(deadline);
    }
}

ReadStatus Port::readByte(std::uint8_t& out, int timeoutMs) {
    if (buffered() == 0) {
        if (fd_ < 0) {
            return ReadStatus::error;
        }
        if (!fill(timeoutMs)) {
            return failed_ ? ReadStatus::error : ReadStatus::timeout;
        }
    }
    out = pending_[head_++];
    return ReadStatus::byte;
}

long Port::read(std::uint8_t* buffer, std::size_t count, int timeoutMs) {
    if (fd_ < 0 || (buffer == nullptr && count > 0)) {
        return -1;
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs > 0 ? timeoutMs : 0);
    std::size_t got = 0;
    while (got < count) {
        if (buffered() == 0 && !fill(remainingMs(deadline))) {
            if (failed_ && got == 0) {
                return -1;
            }
            break;
        }
        const std::size_t take = std::min(count - got, buffered());
        std::memcpy(buffer + got, pending_.data() + head_, take);
        head_ += take;
        got += take;
    }
    return static_cast<long>(got);
}

long Port::write(const std::uint8_t* data, std::size_t count) {
    if (fd_ < 0 || (data == nullptr && count > 0)) {
        return -1;
    }
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n = ::write(fd_, data + done, count - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && errno == EAGAIN) {
            pollfd p{fd_, POLLOUT, 0};
            ::poll(&p, 1, -1);
        } else {
            return -1;
        }
    }
    return static_cast<long>(done);
}

} // namespace veltron::serial
