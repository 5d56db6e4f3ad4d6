// The load-cell link: a weighing instrument on its own COM port, without libhdlc. Frames are
// delimited by 0xFF:
//   0xFF, address, command, data.., CRC-8, 0xFF 0xFF
// where an address, command or data byte 0xFF goes as 0xFF 0xFE and the CRC goes unstuffed.
// CRC-8: polynomial 0x69, initial 0, MSB first, no reflection, no final XOR, over the unstuffed
// address, command and data.
//
// Results as for the controller links: 1 answer with data, 0 answer without data or address
// 0xFF, 2 10000 bytes without an end, -1 foreign address or command, -2 no byte within the read
// time-out, -3 bad CRC, -5 bad data length, -6 port not open.
#pragma once

#include "platform/serial.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace veltron::drivers {

inline constexpr std::size_t kTenzoMaxData = 9990;
inline constexpr std::size_t kTenzoMaxCollected = 10000;

std::uint8_t tenzoCrc(std::span<const std::uint8_t> bytes);
std::vector<std::uint8_t> encodeTenzoFrame(std::uint8_t address, std::uint8_t command,
                                           std::span<const std::uint8_t> data);

// The receive rules, one byte at a time: bytes before the first 0xFF are skipped; after it
// 0xFF 0xFE is one data byte 0xFF, 0xFF 0xFF ends the frame, 0xFF followed by any other byte
// keeps both, every other byte is kept. At most 10000 bytes are collected.
class TenzoReceiver {
public:
    enum class Step { more, complete, full };
    Step push(std::uint8_t b);
    void reset();
    const std::vector<std::uint8_t>& collected() const { return collected_; }

private:
    std::vector<std::uint8_t> collected_;
    bool started_ = false;
    bool pendingFF_ = false;
};

struct TenzoAnswer {
    int result = 0;
    std::vector<std::uint8_t> data; // result 1 only
};

// Checks a collected frame (address, command, data, CRC) against the request. When the CRC
// fails, the frame is tried once more as address, command and data whose CRC was 0xFF: such a
// CRC runs straight into the end marker (0xFF 0xFF 0xFF) and is cut off by it.
TenzoAnswer checkTenzoAnswer(std::span<const std::uint8_t> collected, std::uint8_t address, std::uint8_t command);

// The receiver and the check over a line that delivers exactly these bytes and falls silent.
TenzoAnswer decodeTenzoAnswer(std::span<const std::uint8_t> input, std::uint8_t address, std::uint8_t command);

// Weight of the answer's packed BCD bytes 0..2 (least significant first) with its six-digit
// text; nothing when a byte is missing or a nibble is above 9.
struct TenzoWeight {
    std::string text;   // "123456"
    std::int32_t value; // 123456
};
std::optional<TenzoWeight> decodeWeight(std::span<const std::uint8_t> data);

class TenzoLink {
public:
    using Clock = std::function<std::string()>; // the trace stamp
    using SleepMs = std::function<void(int ms)>;

    // Creates the trace file empty with its first line.
    TenzoLink(std::filesystem::path traceFile, SleepMs sleep, Clock stamp = {});

    bool open(int port, int baud);
    bool close(int port);
    bool setSpeed(int port, int baud);
    int exchange(int port, std::uint8_t address, std::uint8_t command, std::span<const std::uint8_t> data);
    // Data of the last answer (result 1), else empty.
    const std::vector<std::uint8_t>& answer() const { return answer_; }

    static constexpr int kReadTimeoutMs = 100;
    static constexpr int kTries = 1;
    static constexpr int kRetryPauseMs = 10;

private:
    void trace(const std::string& line);
    std::string stamp() const;

    std::filesystem::path traceFile_;
    SleepMs sleep_;
    Clock stamp_;
    std::array<serial::Port, 256> ports_;
    std::vector<std::uint8_t> answer_;
};

} // namespace veltron::drivers
