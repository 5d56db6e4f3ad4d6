// The exports of libhdlc.so and the library-wide state they share. One caller thread; the
// trace flusher thread touches only the trace buffer, under the trace's own lock.
#include "hdlc/hdlc.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <string>
#include <thread>
#include <unistd.h>

#include "hdlc/frame.h"
#include "platform/serial.h"
#include "trace.h"

namespace veltron::hdlc {
namespace {

constexpr std::int32_t kVersion = 34;
constexpr int kPortSlots = 256;
constexpr int kFirstNetworkPort = 240;
constexpr const char* kDefaultCpuFile = "/etc/veltron/cpu.txt";

static_assert(sizeof(bool) == 1, "the interface passes one-byte booleans");

std::string cp1251(std::string_view utf8) {
    return text::utf8ToCp1251(utf8);
}

// Hex digits of the trace: " 7E" for every byte.
void appendHex(std::string& out, std::uint8_t b) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    const char t[3] = {' ', kDigits[b >> 4], kDigits[b & 0x0F]};
    out.append(t, 3);
}

std::string traceLogPath() {
    std::string dir(4096, '\0');
    if (getcwd(dir.data(), dir.size()) == nullptr) {
        return "hdlc.log";
    }
    dir.resize(std::strlen(dir.c_str()));
    return dir + "/hdlc.log";
}

void createEmpty(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd >= 0) {
        ::close(fd);
    }
}

std::string cpuFilePath() {
    const char* env = std::getenv("VELTRON_CPU_FILE");
    return (env != nullptr && *env != '\0') ? std::string(env) : std::string(kDefaultCpuFile);
}

class Library {
public:
    Library()
        : logPath_(traceLogPath()), trace_(readCountsPerSecond(cpuFilePath())),
          textBadAddress_(cp1251("Недопустимый адрес!")) {
        createEmpty(logPath_);
        trace_.line("Create, Version HDLC - " + std::to_string(kVersion));
        trace_.line(cp1251(logPath_));
        if (trace_.countsPerSecond() != 0) {
            trace_.line(cp1251("частота процессора: ") + std::to_string(trace_.countsPerSecond()) + cp1251("Гц"));
        } else {
            trace_.line(cp1251("частота процессора не заданна (временные промежутки будут в тактах процессора)"));
        }
        trace_.line(std::string(54, '-'));
        flusher_ = std::make_unique<TraceFlusher>(trace_, logPath_, busy_);
        trace_.restartClock();
    }

    ~Library() { flusher_.reset(); } // unwritten lines are dropped, as documented

    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;

    static bool validPort(std::int32_t port) { return port >= 1 && port < kPortSlots; }
    static bool networkPort(std::int32_t port) { return port >= kFirstNetworkPort; }

    void traceStamped(std::string_view text) { trace_.line(trace_.stamp() + std::string(text)); }
    static const char* yesNo(bool v) { return v ? "True" : "False"; }

    bool initComPort(std::int32_t port, std::int32_t baud) {
        if (!validPort(port)) {
            traceStamped(" InitComPort. " + textBadAddress_);
            return false;
        }
        if (networkPort(port)) {
            traceStamped(" InitPortIP");
            return setSpeed(port, baud);
        }
        if (ports_[port].isOpen()) {
            traceStamped(" ReInitComPort");
            return setSpeed(port, baud);
        }
        serial::Port p;
        bool ok = p.open(serial::devicePath(port)) && p.configure(baud, serial::StopBits::one);
        if (ok) {
            p.raiseRtsDtr(); // pseudo-terminals have no modem lines; a refusal is no failure
            ports_[port] = std::move(p);
        }
        traceStamped(" InitComPort, Speed=" + std::to_string(baud) + ", Result=" + yesNo(ok));
        return ok;
    }

    bool setSpeed(std::int32_t port, std::int32_t baud) {
        const bool ok = validPort(port) && ports_[port].isOpen() && ports_[port].setBaud(baud);
        traceStamped(" SetSpeed=" + std::to_string(baud) + ", Result=" + yesNo(ok));
        return ok;
    }

    bool closeComPort(std::int32_t port) {
        if (!validPort(port)) {
            traceStamped(" CloseComPort. " + textBadAddress_);
            return false;
        }
        const bool ok = ports_[port].close();
        traceStamped(std::string(" CloseComPort, Result=") + yesNo(ok));
        return ok;
    }

    void setup(std::int32_t readTimeout, std::int32_t tries, std::int32_t retryPause, std::int32_t answerMode) {
        // Reads take the time-out at each byte, so a new value holds for every open port at once.
        if (readTimeout >= 0) {
            readTimeout_ = readTimeout;
        }
        if (tries >= 0) {
            tries_ = tries;
        }
        if (retryPause >= 0) {
            retryPause_ = retryPause;
        }
        // Modes above 2 have no checks or cut defined; they keep the current mode.
        if (answerMode >= 0 && answerMode <= static_cast<int>(AnswerMode::raw)) {
            answerMode_ = static_cast<AnswerMode>(answerMode);
        }
    }

    std::int32_t outPort(std::int32_t port, const std::uint8_t* data, std::int32_t length) {
        if (!validPort(port) || !ports_[port].isOpen()) {
            return kResultBadPort;
        }
        if (length < 0 || (data == nullptr && length > 0)) {
            return -1;
        }
        return static_cast<std::int32_t>(ports_[port].write(data, static_cast<std::size_t>(length)));
    }

    std::int32_t inPort(std::int32_t port, std::uint8_t* buffer, std::int32_t count) {
        if (!validPort(port)) {
            return kResultBadPort;
        }
        if (count < 0 || !ports_[port].isOpen()) {
            return -1;
        }
        return static_cast<std::int32_t>(ports_[port].read(buffer, static_cast<std::size_t>(count), readTimeout_));
    }

    std::int32_t exchange(std::int32_t port, std::int32_t address, std::int32_t control, const std::uint8_t* data,
                          std::int32_t length, const std::uint8_t** answer, std::int32_t* answerLength) {
        const std::int32_t result = exchangeChecked(port, address, control, data, length);
        if (answer != nullptr) {
            *answer = answer_.data();
        }
        if (answerLength != nullptr) {
            *answerLength = answerLength_;
        }
        return result;
    }

private:
    std::string outPrefix(std::int32_t port) { return trace_.stamp() + " -" + std::to_string(port) + "->"; }
    std::string inPrefix(std::int32_t port) { return trace_.stamp() + " <-" + std::to_string(port) + "-"; }

    // Marks an exchange as running so the flusher leaves the disk alone meanwhile.
    struct Busy {
        explicit Busy(std::atomic<int>& b) : busy(b) { busy.fetch_add(1, std::memory_order_acq_rel); }
        ~Busy() { busy.fetch_sub(1, std::memory_order_acq_rel); }
        Busy(const Busy&) = delete;
        Busy& operator=(const Busy&) = delete;
        std::atomic<int>& busy;
    };

    std::int32_t exchangeChecked(std::int32_t port, std::int32_t address, std::int32_t control,
                                 const std::uint8_t* data, std::int32_t length) {
        if (!validPort(port)) {
            trace_.line(outPrefix(port) + " hdlcSend. " + textBadAddress_);
            return kResultBadPort;
        }
        const bool network = networkPort(port);
        if (!network && !ports_[port].isOpen()) {
            return kResultBadPort;
        }
        if (length < 0 || static_cast<std::size_t>(length) > kMaxData || (data == nullptr && length > 0)) {
            return kResultBadLength;
        }
        const Busy busy(busy_);
        const auto addr = static_cast<std::uint8_t>(address & 0xFF);
        const auto ctl = static_cast<std::uint8_t>(control & 0xFF);
        const std::size_t frameLength =
            encodeRequest(frame_, addr, ctl, {data, static_cast<std::size_t>(length)}, network);
        const std::span<const std::uint8_t> frame(frame_.data(), frameLength);

        serial::Port& line = ports_[port]; // never open for network ports: every read fails
        answerLength_ = 0;
        std::int32_t result = kResultNoData;
        for (int attempt = 0; attempt < tries_; ++attempt) {
            if (attempt > 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(retryPause_));
            }
            std::string out = outPrefix(port);
            out.reserve(out.size() + 3 * frame.size());
            for (const std::uint8_t b : frame) {
                appendHex(out, b);
            }
            trace_.line(out);
            // Clearing the line's error state has no termios counterpart: errors come with the
            // read that meets them. Purging drops a late answer to the previous try.
            line.purge();
            line.write(frame.data(), frame.size()); // a failed write shows as a silent station
            if (addr == kBroadcast) {
                return kResultNoData; // a broadcast awaits no answer and is sent once
            }
            result = receive(port, line, addr, ctl);
            if (result == kResultAnswer || result == kResultNoData) {
                break;
            }
        }
        trace_.line("result=" + std::to_string(result));
        return result;
    }

    // One reception and its checks; a kept answer is moved to the start of the answer buffer.
    std::int32_t receive(std::int32_t port, serial::Port& line, std::uint8_t addr, std::uint8_t ctl) {
        FrameReceiver rx(answer_);
        std::string hex;
        bool silent = false;
        while (!rx.full()) {
            std::uint8_t b = 0;
            if (line.readByte(b, readTimeout_) != serial::ReadStatus::byte) {
                silent = true;
                break;
            }
            const FrameReceiver::Step step = rx.push(b);
            if (step == FrameReceiver::Step::complete) {
                break;
            }
            if (step == FrameReceiver::Step::stored) {
                appendHex(hex, rx.last());
            }
        }
        trace_.line(inPrefix(port) + hex);
        if (silent) {
            return kResultTimeout;
        }
        if (rx.full()) {
            return kResultOverflow;
        }
        const AnswerCheck check = checkAnswer(rx.bytes(), addr, ctl, answerMode_);
        if (check.result == kResultAnswer) {
            std::memmove(answer_.data(), answer_.data() + check.offset, check.length);
            answerLength_ = static_cast<std::int32_t>(check.length);
        }
        return check.result;
    }

    const std::string logPath_;
    Trace trace_;
    const std::string textBadAddress_;
    std::atomic<int> busy_{0};
    std::unique_ptr<TraceFlusher> flusher_;

    std::array<serial::Port, kPortSlots> ports_;
    int readTimeout_ = 100; // [ms] one byte may wait
    int tries_ = 2;         // sends per request
    int retryPause_ = 10;   // [ms] before every send after the first
    AnswerMode answerMode_ = AnswerMode::strict;

    std::array<std::uint8_t, maxFrameSize(kMaxData)> frame_{};
    std::array<std::uint8_t, kMaxStored> answer_{};
    std::int32_t answerLength_ = 0;
};

Library library;

} // namespace
} // namespace veltron::hdlc

using veltron::hdlc::library;

extern "C" {

int32_t hdlcVersion(void) {
    return veltron::hdlc::kVersion;
}

int32_t inPort(int32_t port, uint8_t* buffer, int32_t /*unused*/, int32_t count) {
    return library.inPort(port, buffer, count);
}

int32_t _hdlcSendDataDll(int32_t port, int32_t address, int32_t control, const uint8_t* data, int32_t length,
                         const uint8_t** answer, int32_t* answerLength) {
    return library.exchange(port, address, control, data, length, answer, answerLength);
}

int32_t _hdlcOutPortDll(int32_t port, const uint8_t* data, int32_t length) {
    return library.outPort(port, data, length);
}

void hdlcSetup(int32_t readTimeout, int32_t tries, int32_t retryPause, int32_t answerMode) {
    library.setup(readTimeout, tries, retryPause, answerMode);
}

bool hdlcSetSpeed(int32_t port, int32_t baud) {
    return library.setSpeed(port, baud);
}

bool hdlcCloseComPort(int32_t port) {
    return library.closeComPort(port);
}

bool hdlcInitComPort(int32_t port, int32_t baud) {
    return library.initComPort(port, baud);
}

} // extern "C"
