// The devices on plain serial lines: the pump's frequency drive (Modbus RTU slave 1) and the
// load-cell instrument (0xFF-delimited frames with an 8-bit CRC).
#pragma once

#include "sim/device.h"
#include "sim/model.h"

#include <map>

namespace veltron::sim {

std::uint16_t modbusCrc(std::span<const std::uint8_t> bytes);
// CRC-8, polynomial 0x69, initial value 0, most significant bit first.
std::uint8_t loadCellCrc(std::span<const std::uint8_t> bytes);

// Registers of the two drive models: model 1 starts and stops with register 6 (2 start,
// 1 stop) and takes the frequency × 100 in register 5 after 6101 and 6102; model 2 starts and
// stops with register 5 and takes the frequency in register 4. Input register 0x000E is the
// drive's status (1 while the pump runs).
class FrequencyDrive : public Device {
public:
    static constexpr std::uint8_t kSlave = 1;
    FrequencyDrive(RigModel& model, int driveModel) : model_(model), driveModel_(driveModel) {}
    void receive(std::span<const std::uint8_t> bytes, std::vector<Answer>& out) override;
    std::vector<std::string> names() const override { return {"drive"}; }
    Counters& counters(const std::string&) override { return counters_; }
    std::uint16_t reg(std::uint16_t r) const;

private:
    // Length of the request at the buffer's start, 0 while it cannot be told yet.
    std::size_t requestLength() const;
    void handle(std::span<const std::uint8_t> req, std::vector<Answer>& out);
    void write(std::uint16_t r, std::uint16_t v);

    RigModel& model_;
    int driveModel_;
    Bytes buffer_;
    std::map<std::uint16_t, std::uint16_t> regs_;
    Counters counters_;
};

class LoadCell : public Device {
public:
    static constexpr std::uint8_t kAddress = 0x11;
    static constexpr std::uint8_t kReadWeight = 0xC3;
    explicit LoadCell(RigModel& model) : model_(model) {}
    void receive(std::span<const std::uint8_t> bytes, std::vector<Answer>& out) override;
    std::vector<std::string> names() const override { return {"tenzo"}; }
    Counters& counters(const std::string&) override { return counters_; }
    // Frame of address, command and data: 0xFF, stuffed fields, CRC (not stuffed), 0xFF 0xFF.
    static Bytes encode(std::uint8_t address, std::uint8_t command, std::span<const std::uint8_t> data,
                        bool breakCrc = false);

private:
    void frame(std::vector<Answer>& out);
    RigModel& model_;
    enum class State { idle, body, mark } state_ = State::idle;
    Bytes body_;
    Counters counters_;
};

} // namespace veltron::sim
