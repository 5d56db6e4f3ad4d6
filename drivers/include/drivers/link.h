// The framed controller and camera links, reached only through the C exports of libhdlc.so.
//
// The library owns one answer buffer for every port: the last answer below points into it and
// stays valid only until the next exchange on any controller or camera link. Every command
// decodes it right after its own exchange.
#pragma once

#include <cstdint>
#include <span>

namespace veltron::drivers {

// Exchange results of the link (the library's small integers).
inline constexpr int kLinkAnswer = 1;
inline constexpr int kLinkNoData = 0;
inline constexpr int kLinkOverflow = 2;
inline constexpr int kLinkBadPort = -6;

// The answer of the most recent exchange: byte 0 is the control byte of the answer frame, the
// data follow; in answer mode 2 the two check bytes stay at the end.
struct LastAnswer {
    const std::uint8_t* data = nullptr;
    int length = 0;
    int result = kLinkNoData; // exchange result that produced it
    int checkBytes = 0;       // trailing check bytes kept in the length (2 in answer mode 2)

    // True when the exchange delivered an answer (result 1) that holds byte lastIndex. A
    // reading decodes nothing else: after a failed exchange the buffer holds foreign bytes.
    bool usable(int lastIndex) const {
        return result == kLinkAnswer && data != nullptr && length - checkBytes > lastIndex;
    }
    std::uint8_t at(int i) const { return data != nullptr && i >= 0 && i < length ? data[i] : 0; }
    // Big-endian values starting at byte i (callers check usable() first).
    std::uint16_t u16(int i) const { return static_cast<std::uint16_t>((at(i) << 8) | at(i + 1)); }
    std::int32_t s32(int i) const {
        return static_cast<std::int32_t>((std::uint32_t{at(i)} << 24) | (std::uint32_t{at(i + 1)} << 16) |
                                         (std::uint32_t{at(i + 2)} << 8) | std::uint32_t{at(i + 3)});
    }
};

// One object per program: the library's settings and answer buffer are library-wide anyway.
class HdlcLink {
public:
    bool initComPort(int port, int baud);
    // Read time-out [ms], tries, retry pause [ms], answer mode; -1 keeps a value.
    void setup(int readTimeout, int tries, int retryPause, int answerMode);
    bool setSpeed(int port, int baud);
    // Copies the payload, exchanges it and keeps what the library returns as the last answer.
    int exchange(int port, int address, int command, std::span<const std::uint8_t> payload);

    const LastAnswer& last() const { return last_; }
    // Byte i of the library's answer buffer whatever the length says (the buffer holds at
    // least 10000 bytes once an exchange has run); 0 before the first exchange.
    std::uint8_t rawByte(int i) const { return last_.data != nullptr && i >= 0 && i < 10000 ? last_.data[i] : 0; }
    // The link check of the main controller clears the "Ok" bytes so that the same buffer
    // cannot pass a second check.
    void clearAnswerBytes(int from, int count);
    // Number of exchanges so far (benchmarks, tests).
    long exchanges() const { return exchanges_; }

private:
    LastAnswer last_;
    long exchanges_ = 0;
    int answerMode_ = 0; // the library's, as the last setup left it
};

} // namespace veltron::drivers
