#include "drivers/tenzo.h"

#include "platform/files.h"
#include "platform/text.h"

#include <cstdio>

namespace veltron::drivers {

std::uint8_t tenzoCrc(std::span<const std::uint8_t> bytes) {
    std::uint8_t crc = 0;
    for (const std::uint8_t b : bytes) {
        crc ^= b;
        for (int k = 0; k < 8; ++k) {
            crc =
                (crc & 0x80) != 0 ? static_cast<std::uint8_t>((crc << 1) ^ 0x69) : static_cast<std::uint8_t>(crc << 1);
        }
    }
    return crc;
}

namespace {

void putStuffed(std::vector<std::uint8_t>& out, std::uint8_t b) {
    out.push_back(b);
    if (b == 0xFF) {
        out.push_back(0xFE);
    }
}

std::string hexByte(std::uint8_t b) {
    char s[4];
    std::snprintf(s, sizeof s, "%02X", b);
    return s;
}

} // namespace

std::vector<std::uint8_t> encodeTenzoFrame(std::uint8_t address, std::uint8_t command,
                                           std::span<const std::uint8_t> data) {
    std::vector<std::uint8_t> body;
    body.reserve(data.size() + 2);
    body.push_back(address);
    body.push_back(command);
    body.insert(body.end(), data.begin(), data.end());
    std::vector<std::uint8_t> out;
    out.reserve(2 * body.size() + 4);
    out.push_back(0xFF);
    for (const std::uint8_t b : body) {
        putStuffed(out, b);
    }
    out.push_back(tenzoCrc(body));
    out.push_back(0xFF);
    out.push_back(0xFF);
    return out;
}

void TenzoReceiver::reset() {
    collected_.clear();
    started_ = false;
    pendingFF_ = false;
}

TenzoReceiver::Step TenzoReceiver::push(std::uint8_t b) {
    if (!started_) {
        started_ = b == 0xFF;
        return Step::more;
    }
    if (pendingFF_) {
        pendingFF_ = false;
        if (b == 0xFF) {
            return Step::complete;
        }
        if (b != 0xFE) {
            collected_.push_back(0xFF);
            if (collected_.size() >= kTenzoMaxCollected) {
                return Step::full;
            }
        }
        collected_.push_back(b == 0xFE ? std::uint8_t{0xFF} : b);
    } else if (b == 0xFF) {
        pendingFF_ = true;
        return Step::more;
    } else {
        collected_.push_back(b);
    }
    return collected_.size() >= kTenzoMaxCollected ? Step::full : Step::more;
}

TenzoAnswer checkTenzoAnswer(std::span<const std::uint8_t> collected, std::uint8_t address, std::uint8_t command) {
    TenzoAnswer a;
    std::span<const std::uint8_t> body;
    if (collected.size() >= 3 && tenzoCrc(collected.first(collected.size() - 1)) == collected.back()) {
        body = collected.first(collected.size() - 1);
    } else if (collected.size() >= 2 && tenzoCrc(collected) == 0xFF) {
        body = collected;
    } else {
        a.result = -3;
        return a;
    }
    if (body[0] != address || body[1] != command) {
        a.result = -1;
        return a;
    }
    if (body.size() == 2) {
        a.result = 0;
        return a;
    }
    a.result = 1;
    a.data.assign(body.begin() + 2, body.end());
    return a;
}

TenzoAnswer decodeTenzoAnswer(std::span<const std::uint8_t> input, std::uint8_t address, std::uint8_t command) {
    TenzoReceiver rx;
    for (const std::uint8_t b : input) {
        const auto step = rx.push(b);
        if (step == TenzoReceiver::Step::full) {
            return TenzoAnswer{2, {}};
        }
        if (step == TenzoReceiver::Step::complete) {
            return checkTenzoAnswer(rx.collected(), address, command);
        }
    }
    return TenzoAnswer{-2, {}};
}

std::optional<TenzoWeight> decodeWeight(std::span<const std::uint8_t> data) {
    if (data.size() < 3) {
        return std::nullopt;
    }
    TenzoWeight w{"", 0};
    for (int i = 2; i >= 0; --i) {
        const std::uint8_t b = data[static_cast<std::size_t>(i)];
        if ((b >> 4) > 9 || (b & 0x0F) > 9) {
            return std::nullopt;
        }
        w.text += hexByte(b);
        w.value = w.value * 100 + (b >> 4) * 10 + (b & 0x0F);
    }
    return w;
}

TenzoLink::TenzoLink(std::filesystem::path traceFile, SleepMs sleep, Clock stamp)
    : traceFile_(std::move(traceFile)), sleep_(std::move(sleep)), stamp_(std::move(stamp)) {
    files::writeFileAtomic(traceFile_, "");
    trace("Create, Version HDLC - 2.1");
}

std::string TenzoLink::stamp() const {
    if (stamp_) {
        return stamp_();
    }
    const text::DateTime t = text::now();
    char ms[8];
    std::snprintf(ms, sizeof ms, "%3d", t.millisecond);
    return text::shortDate(t) + " " + text::longTime(t) + "." + ms;
}

void TenzoLink::trace(const std::string& line) {
    // Appended at once, so the trace survives a crash right after the line.
    files::appendToFile(traceFile_, text::utf8ToCp1251(line) + "\r\n");
}

bool TenzoLink::open(int port, int baud) {
    if (port < 0 || port > 255) {
        return false;
    }
    serial::Port& p = ports_[static_cast<std::size_t>(port)];
    if (p.isOpen()) {
        return setSpeed(port, baud);
    }
    bool ok = p.open(serial::devicePath(port)) && p.configure(baud, serial::StopBits::one);
    if (ok) {
        p.raiseRtsDtr(); // pseudo-terminals have no modem lines
    } else {
        p.close();
    }
    trace(" InitComPort, Speed=" + std::to_string(baud) + ", Result=" + (ok ? "True" : "False"));
    return ok;
}

bool TenzoLink::close(int port) {
    if (port < 0 || port > 255) {
        return false;
    }
    const bool ok = ports_[static_cast<std::size_t>(port)].close();
    trace(std::string(" CloseComPort, Result=") + (ok ? "True" : "False"));
    return ok;
}

bool TenzoLink::setSpeed(int port, int baud) {
    bool ok = false;
    if (port >= 0 && port <= 255 && ports_[static_cast<std::size_t>(port)].isOpen()) {
        ok = ports_[static_cast<std::size_t>(port)].setBaud(baud);
    }
    trace(" SetSpeed=" + std::to_string(baud) + ", Result=" + (ok ? "True" : "False"));
    return ok;
}

int TenzoLink::exchange(int port, std::uint8_t address, std::uint8_t command, std::span<const std::uint8_t> data) {
    if (port < 0 || port > 255 || !ports_[static_cast<std::size_t>(port)].isOpen()) {
        return -6;
    }
    if (data.size() > kTenzoMaxData) {
        return -5;
    }
    serial::Port& p = ports_[static_cast<std::size_t>(port)];
    const std::vector<std::uint8_t> frame = encodeTenzoFrame(address, command, data);
    answer_.clear();
    int result = -2;
    for (int attempt = 0; attempt < kTries; ++attempt) {
        if (attempt > 0) {
            sleep_(kRetryPauseMs);
        }
        p.purge();
        std::string out = stamp() + " -" + std::to_string(port) + "->";
        for (const std::uint8_t b : frame) {
            out += " " + hexByte(b);
        }
        if (p.write(frame.data(), frame.size()) != static_cast<long>(frame.size())) {
            trace(out);
            result = -2;
            continue;
        }
        trace(out);
        if (address == 0xFF) {
            return 0;
        }
        TenzoReceiver rx;
        TenzoReceiver::Step step = TenzoReceiver::Step::more;
        bool failed = false;
        while (step == TenzoReceiver::Step::more) {
            std::uint8_t b = 0;
            if (p.readByte(b, kReadTimeoutMs) != serial::ReadStatus::byte) {
                failed = true;
                break;
            }
            step = rx.push(b);
        }
        if (failed) {
            result = -2;
            continue;
        }
        if (step == TenzoReceiver::Step::full) {
            result = 2;
            break;
        }
        std::string in = stamp() + " <-" + std::to_string(port) + "-";
        for (const std::uint8_t b : rx.collected()) {
            in += " " + hexByte(b);
        }
        trace(in);
        TenzoAnswer a = checkTenzoAnswer(rx.collected(), address, command);
        result = a.result;
        if (result == 1) {
            answer_ = std::move(a.data);
        }
        if (result >= 0) {
            break;
        }
    }
    trace("result=" + std::to_string(result));
    return result;
}

} // namespace veltron::drivers
