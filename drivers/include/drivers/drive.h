// The frequency drive of the hydraulic pump: a Modbus RTU master on a plain COM port, slave
// address 1, 8 data bits, no parity, 2 stop bits. The port is opened for every request and
// closed after it.
//
// Timing rule of the drive: a request is followed by a 25 ms sleep, after which only bytes
// already in the receive queue count; the reader never waits for a late byte. The answer's CRC
// is not verified (the drives answered that way when the rig was commissioned).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace veltron::drivers {

std::uint16_t modbusCrc(std::span<const std::uint8_t> bytes);
// Address, function data and the CRC, low byte first.
std::vector<std::uint8_t> modbusFrame(std::uint8_t address, std::span<const std::uint8_t> functionData);
// Function 6: write one register (value as its two low bytes, high byte first).
std::vector<std::uint8_t> writeRegisterData(std::uint16_t reg, std::uint16_t value);

// Register values of a frequency set: model 1 writes 10 into 6101 and 6102 and then R(x*100)
// into register 5; model 2 writes R(x) into register 4. Nothing when x is not finite, a value
// falls outside 0..65535, or the model is neither 1 nor 2.
struct RegisterWrite {
    std::uint16_t reg;
    std::uint16_t value;
};
std::optional<std::vector<RegisterWrite>> frequencyWrites(int model, double x);

// What one request collected. The reader takes only bytes already waiting: next() gives the
// next waiting byte or false when none is queued.
struct DriveAnswer {
    int count = 0;                       // bytes of the answer; function 6: 8 or 0
    std::string text;                    // two hex digits and a space per byte
    std::array<std::uint8_t, 8> write{}; // function 6: the first 8 bytes
    int completionCode = 0;              // function 6: 0 all 8 bytes, 10 + j stopped at byte j
};
inline constexpr int kDriveMaxAnswer = 256; // a babbling line must not hold the thread
DriveAnswer readDriveAnswer(bool writeFunction, const std::function<bool(std::uint8_t&)>& next);

class DriveLink {
public:
    using SleepMs = std::function<void(int ms)>;

    DriveLink(int port, int baud, int model, SleepMs sleep);

    // Opens the port with the drive's line settings and closes it again.
    bool open();
    // Sends the check request twice, 300 ms apart; passed when the last answer had more than
    // 4 bytes (a register reply has 7, an exception reply 4 or 5).
    bool check();
    bool pumpStart(); // false when the model is neither 1 nor 2 (nothing sent)
    bool pumpStop();
    // False (nothing sent) when x or a register value is out of range; see frequencyWrites.
    bool setFrequency(double x);

    // One request: open, drain, write byte by byte, sleep 25 ms, read what is queued, close.
    void request(std::span<const std::uint8_t> functionData);

    // Answer state of the last request.
    int answerCount() const { return answerCount_; }
    const std::string& answerText() const { return answerText_; } // "01 06 00 04 " ...
    const std::array<std::uint8_t, 8>& writeAnswer() const { return writeAnswer_; }
    int completionCode() const { return completionCode_; } // function 6: 0 all 8 bytes, 10 + j stopped at j

private:
    int port_;
    int baud_;
    int model_;
    SleepMs sleep_;
    int answerCount_ = 0;
    std::string answerText_;
    std::array<std::uint8_t, 8> writeAnswer_{};
    int completionCode_ = 0;
};

} // namespace veltron::drivers
