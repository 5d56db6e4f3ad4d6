#include "drivers/drive.h"

#include "platform/serial.h"
#include "platform/text.h"

#include <cmath>
#include <cstdio>

namespace veltron::drivers {

std::uint16_t modbusCrc(std::span<const std::uint8_t> bytes) {
    std::uint16_t crc = 0xFFFF;
    for (const std::uint8_t b : bytes) {
        crc ^= b;
        for (int k = 0; k < 8; ++k) {
            crc =
                (crc & 1) != 0 ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001) : static_cast<std::uint16_t>(crc >> 1);
        }
    }
    return crc;
}

std::vector<std::uint8_t> modbusFrame(std::uint8_t address, std::span<const std::uint8_t> functionData) {
    std::vector<std::uint8_t> f;
    f.reserve(functionData.size() + 3);
    f.push_back(address);
    f.insert(f.end(), functionData.begin(), functionData.end());
    const std::uint16_t crc = modbusCrc(f);
    f.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    f.push_back(static_cast<std::uint8_t>(crc >> 8));
    return f;
}

std::vector<std::uint8_t> writeRegisterData(std::uint16_t reg, std::uint16_t value) {
    return {6, static_cast<std::uint8_t>(reg >> 8), static_cast<std::uint8_t>(reg & 0xFF),
            static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value & 0xFF)};
}

std::optional<std::vector<RegisterWrite>> frequencyWrites(int model, double x) {
    if (!std::isfinite(x) || (model != 1 && model != 2)) {
        return std::nullopt;
    }
    const auto r = text::checkedRound(model == 1 ? x * 100.0 : x);
    if (!r || *r < 0 || *r > 0xFFFF) {
        return std::nullopt; // the register would get the value's low 16 bits: another frequency
    }
    const auto v = static_cast<std::uint16_t>(*r);
    if (model == 1) {
        return std::vector<RegisterWrite>{{6101, 10}, {6102, 10}, {5, v}};
    }
    return std::vector<RegisterWrite>{{4, v}};
}

DriveAnswer readDriveAnswer(bool writeFunction, const std::function<bool(std::uint8_t&)>& next) {
    DriveAnswer a;
    std::uint8_t b = 0;
    const auto appendHex = [&] {
        char s[4];
        std::snprintf(s, sizeof s, "%02X ", b);
        a.text += s;
    };
    if (writeFunction) {
        for (int j = 0; j < 8; ++j) {
            if (!next(b)) {
                a.completionCode = j + 10;
                return a;
            }
            appendHex();
            a.write[static_cast<std::size_t>(j)] = b;
        }
        a.count = 8;
        return a;
    }
    while (a.count < kDriveMaxAnswer && next(b)) {
        appendHex();
        ++a.count;
    }
    return a;
}

DriveLink::DriveLink(int port, int baud, int model, SleepMs sleep)
    : port_(port), baud_(baud), model_(model), sleep_(std::move(sleep)) {}

bool DriveLink::open() {
    serial::Port p;
    const bool ok = p.open(serial::devicePath(port_)) && p.configure(baud_, serial::StopBits::two);
    p.close();
    return ok;
}

void DriveLink::request(std::span<const std::uint8_t> functionData) {
    serial::Port p;
    const bool opened = p.open(serial::devicePath(port_)) && p.configure(baud_, serial::StopBits::two);
    answerCount_ = 0;
    std::uint8_t b = 0;
    if (opened) {
        while (p.bytesAvailable() > 0 && p.readByte(b, 0) == serial::ReadStatus::byte) {
        }
        for (const std::uint8_t out : modbusFrame(1, functionData)) {
            p.write(&out, 1);
        }
    }
    sleep_(25);
    const DriveAnswer a = readDriveAnswer(!functionData.empty() && functionData[0] == 6, [&](std::uint8_t& out) {
        return opened && p.bytesAvailable() > 0 && p.readByte(out, 0) == serial::ReadStatus::byte;
    });
    answerCount_ = a.count;
    answerText_ = a.text;
    if (!functionData.empty() && functionData[0] == 6) {
        writeAnswer_ = a.write;
        completionCode_ = a.completionCode;
    }
    p.close();
}

bool DriveLink::check() {
    const std::uint8_t data[] = {4, 0x00, 0x0E, 0x00, 0x01};
    request(data);
    sleep_(300);
    request(data);
    sleep_(300);
    return answerCount_ > 4;
}

bool DriveLink::pumpStart() {
    if (model_ != 1 && model_ != 2) {
        return false;
    }
    request(writeRegisterData(model_ == 1 ? 6 : 5, 2));
    return true;
}

bool DriveLink::pumpStop() {
    if (model_ != 1 && model_ != 2) {
        return false;
    }
    request(writeRegisterData(model_ == 1 ? 6 : 5, 1));
    return true;
}

bool DriveLink::setFrequency(double x) {
    const auto writes = frequencyWrites(model_, x);
    if (!writes) {
        return false;
    }
    for (const RegisterWrite& w : *writes) {
        request(writeRegisterData(w.reg, w.value));
    }
    return true;
}

} // namespace veltron::drivers
