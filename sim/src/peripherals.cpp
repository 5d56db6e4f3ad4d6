#include "sim/peripherals.h"

#include <algorithm>
#include <cmath>

namespace veltron::sim {

std::uint16_t modbusCrc(std::span<const std::uint8_t> bytes) {
    std::uint16_t crc = 0xFFFF;
    for (std::uint8_t b : bytes) {
        crc ^= b;
        for (int i = 0; i < 8; ++i) {
            crc = (crc & 1) ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001) : static_cast<std::uint16_t>(crc >> 1);
        }
    }
    return crc;
}

std::uint8_t loadCellCrc(std::span<const std::uint8_t> bytes) {
    std::uint8_t crc = 0;
    for (std::uint8_t b : bytes) {
        crc ^= b;
        for (int i = 0; i < 8; ++i) {
            crc = (crc & 0x80) ? static_cast<std::uint8_t>((crc << 1) ^ 0x69) : static_cast<std::uint8_t>(crc << 1);
        }
    }
    return crc;
}

// ---------------------------------------------------------------- frequency drive

namespace {

Answer modbusAnswer(Bytes body) {
    const std::uint16_t crc = modbusCrc(body);
    Answer a;
    a.device = "drive";
    a.frame = body;
    a.frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    a.frame.push_back(static_cast<std::uint8_t>(crc >> 8));
    a.badCheck = body;
    a.badCheck.push_back(static_cast<std::uint8_t>((crc & 0xFF) ^ 0xFF));
    a.badCheck.push_back(static_cast<std::uint8_t>(crc >> 8));
    return a;
}

std::uint16_t be16(std::span<const std::uint8_t> d, std::size_t at) {
    return static_cast<std::uint16_t>((d[at] << 8) | d[at + 1]);
}

} // namespace

std::uint16_t FrequencyDrive::reg(std::uint16_t r) const {
    if (r == 0x000E) {
        return model_.pumpRunning ? 1 : 0;
    }
    const auto it = regs_.find(r);
    return it == regs_.end() ? 0 : it->second;
}

std::size_t FrequencyDrive::requestLength() const {
    if (buffer_.size() < 2) {
        return 0;
    }
    switch (buffer_[1]) {
    case 1: // the read and single-write functions have one length, whether served or not
    case 2:
    case 3:
    case 4:
    case 5:
    case 6:
        return 8;
    case 15:
    case 16:
        return buffer_.size() < 7 ? 0 : 9 + static_cast<std::size_t>(buffer_[6]);
    default:
        return 4; // address, function, CRC: all a slave can tell of an unknown function
    }
}

void FrequencyDrive::receive(std::span<const std::uint8_t> bytes, std::vector<Answer>& out) {
    buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
    for (;;) {
        const std::size_t n = requestLength();
        if (n == 0 || buffer_.size() < n) {
            return;
        }
        const std::span<const std::uint8_t> req(buffer_.data(), n);
        const std::uint16_t crc = static_cast<std::uint16_t>(req[n - 2] | (req[n - 1] << 8));
        if (modbusCrc(req.first(n - 2)) != crc) {
            // No silence on a byte stream to resynchronise by: drop one byte and look again.
            counters_.add("bad");
            buffer_.erase(buffer_.begin());
            continue;
        }
        const Bytes frame(req.begin(), req.end());
        buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(n));
        if (frame[0] != kSlave && frame[0] != 0) {
            counters_.add("foreign");
            continue;
        }
        handle(frame, out);
    }
}

void FrequencyDrive::write(std::uint16_t r, std::uint16_t v) {
    regs_[r] = v;
    counters_.add("reg" + std::to_string(r));
    const std::uint16_t control = driveModel_ == 1 ? 6 : 5;
    if (r == control) {
        if (v == 2) {
            model_.pumpRunning = true;
            counters_.add("start");
        } else if (v == 1) {
            model_.pumpRunning = false;
            counters_.add("stop");
        }
    }
}

void FrequencyDrive::handle(std::span<const std::uint8_t> req, std::vector<Answer>& out) {
    counters_.add("rx");
    const std::uint8_t fn = req[1];
    counters_.add("fn" + std::to_string(fn));
    const bool broadcast = req[0] == 0;
    auto exception = [&](std::uint8_t code) {
        if (!broadcast) {
            out.push_back(modbusAnswer({kSlave, static_cast<std::uint8_t>(fn | 0x80), code}));
        }
    };
    switch (fn) {
    case 3:
    case 4: {
        const std::uint16_t start = be16(req, 2);
        const std::uint16_t count = be16(req, 4);
        if (count < 1 || count > 125) {
            exception(3);
            return;
        }
        Bytes body{kSlave, fn, static_cast<std::uint8_t>(2 * count)};
        for (std::uint16_t i = 0; i < count; ++i) {
            const std::uint16_t v = reg(static_cast<std::uint16_t>(start + i));
            body.push_back(static_cast<std::uint8_t>(v >> 8));
            body.push_back(static_cast<std::uint8_t>(v));
        }
        if (!broadcast) {
            out.push_back(modbusAnswer(body));
        }
        return;
    }
    case 6:
        write(be16(req, 2), be16(req, 4));
        if (!broadcast) {
            out.push_back(modbusAnswer(Bytes(req.begin(), req.end() - 2))); // the echo
        }
        return;
    case 16: {
        const std::uint16_t start = be16(req, 2);
        const std::uint16_t count = be16(req, 4);
        if (req[6] != 2 * count) {
            exception(3);
            return;
        }
        for (std::uint16_t i = 0; i < count; ++i) {
            write(static_cast<std::uint16_t>(start + i), be16(req, 7 + 2 * static_cast<std::size_t>(i)));
        }
        if (!broadcast) {
            out.push_back(modbusAnswer(Bytes(req.begin(), req.begin() + 6)));
        }
        return;
    }
    default:
        counters_.add("unknown");
        exception(1);
    }
}

// ---------------------------------------------------------------- load cell

Bytes LoadCell::encode(std::uint8_t address, std::uint8_t command, std::span<const std::uint8_t> data, bool breakCrc) {
    Bytes body{address, command};
    body.insert(body.end(), data.begin(), data.end());
    std::uint8_t crc = loadCellCrc(body);
    if (breakCrc) {
        crc = static_cast<std::uint8_t>(crc ^ 0x5A);
    }
    Bytes out{0xFF};
    for (std::uint8_t b : body) {
        out.push_back(b);
        if (b == 0xFF) {
            out.push_back(0xFE);
        }
    }
    out.push_back(crc);
    out.push_back(0xFF);
    out.push_back(0xFF);
    return out;
}

void LoadCell::receive(std::span<const std::uint8_t> bytes, std::vector<Answer>& out) {
    for (std::uint8_t b : bytes) {
        switch (state_) {
        case State::idle:
            if (b == 0xFF) {
                body_.clear();
                state_ = State::body;
            }
            break;
        case State::body:
            if (b == 0xFF) {
                state_ = State::mark;
            } else {
                body_.push_back(b);
            }
            if (body_.size() > 9996) { // no end mark: give up on this frame
                counters_.add("bad");
                state_ = State::idle;
            }
            break;
        case State::mark:
            if (b == 0xFE) { // stuffed data byte 0xFF
                body_.push_back(0xFF);
                state_ = State::body;
            } else if (b == 0xFF) {
                state_ = State::idle;
                frame(out);
            } else { // a CRC of 0xFF, sent unstuffed, followed by more bytes
                body_.push_back(0xFF);
                body_.push_back(b);
                state_ = State::body;
            }
            break;
        }
    }
}

void LoadCell::frame(std::vector<Answer>& out) {
    if (body_.size() < 3) {
        counters_.add("bad");
        return;
    }
    const std::span<const std::uint8_t> fields(body_.data(), body_.size() - 1);
    if (loadCellCrc(fields) != body_.back()) {
        counters_.add("bad");
        return;
    }
    const std::uint8_t address = body_[0];
    const std::uint8_t command = body_[1];
    if (address != kAddress && address != 0xFF) {
        counters_.add("foreign");
        return;
    }
    counters_.add("rx");
    if (command != kReadWeight) {
        counters_.add("unknown");
        return;
    }
    counters_.add(std::to_string(command));
    if (address == 0xFF) {
        return; // broadcast: nobody answers
    }
    // Weight in kg as six packed BCD digits, lowest pair first.
    auto w = static_cast<long>(std::clamp(std::lround(model_.forceKg()), 0L, 999999L));
    Bytes data;
    for (int i = 0; i < 3; ++i) {
        const int lo = static_cast<int>(w % 10);
        w /= 10;
        const int hi = static_cast<int>(w % 10);
        w /= 10;
        data.push_back(static_cast<std::uint8_t>((hi << 4) | lo));
    }
    Answer a;
    a.device = "tenzo";
    a.frame = encode(kAddress, command, data);
    a.badCheck = encode(kAddress, command, data, true);
    out.push_back(std::move(a));
}

} // namespace veltron::sim
