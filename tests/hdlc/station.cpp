#include "station.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <unistd.h>

namespace veltron::testing {

std::string hex(const Bytes& b) {
    std::string out;
    char t[4];
    for (const std::uint8_t x : b) {
        std::snprintf(t, sizeof t, "%02X ", x);
        out += t;
    }
    if (!out.empty()) {
        out.pop_back();
    }
    return out;
}

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) {
        out.insert(out.end(), p.begin(), p.end());
    }
    return out;
}

std::uint16_t referenceFcs(const Bytes& bytes) {
    std::uint16_t fcs = 0xFFFF;
    for (const std::uint8_t b : bytes) {
        fcs ^= b;
        for (int i = 0; i < 8; ++i) {
            fcs =
                (fcs & 1) != 0 ? static_cast<std::uint16_t>((fcs >> 1) ^ 0x8408) : static_cast<std::uint16_t>(fcs >> 1);
        }
    }
    return fcs;
}

Bytes withFcs(Bytes body) {
    const auto fcs = static_cast<std::uint16_t>(~referenceFcs(body));
    body.push_back(static_cast<std::uint8_t>(fcs & 0xFF));
    body.push_back(static_cast<std::uint8_t>(fcs >> 8));
    return body;
}

Bytes escaped(const Bytes& raw) {
    Bytes out;
    for (const std::uint8_t b : raw) {
        if (b == 0x7E || b == 0x7D) {
            out.push_back(0x7D);
            out.push_back(b ^ 0x20);
        } else {
            out.push_back(b);
        }
    }
    return out;
}

Bytes referenceAnswer(const Bytes& body) {
    return concat({{0x7E}, escaped(withFcs(body)), {0x7E}});
}

Bytes referenceRequest(const Bytes& body) {
    return concat({{0xFF}, referenceAnswer(body)});
}

Pty::Pty() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
        throw std::runtime_error("no pseudo-terminal");
    }
    char name[128];
    if (ptsname_r(master_, name, sizeof name) != 0) {
        throw std::runtime_error("no pseudo-terminal name");
    }
    slavePath_ = name;
}

Pty::~Pty() {
    if (master_ >= 0) {
        ::close(master_);
    }
}

void Pty::send(const Bytes& b) const {
    std::size_t done = 0;
    while (done < b.size()) {
        const ssize_t n = ::write(master_, b.data() + done, b.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return;
        }
        done += static_cast<std::size_t>(n);
    }
}

std::filesystem::path linkComPort(const std::filesystem::path& dir, int port, const Pty& pty) {
    const auto link = dir / ("COM" + std::to_string(port));
    std::filesystem::remove(link);
    std::filesystem::create_symlink(pty.slavePath(), link);
    return link;
}

ScriptedStation::~ScriptedStation() {
    if (thread_.joinable()) {
        thread_.join();
    }
}

ScriptedStation& ScriptedStation::expect(Bytes b) {
    steps_.push_back({Step::Kind::expect, std::move(b), {}});
    return *this;
}

ScriptedStation& ScriptedStation::reply(Bytes b) {
    steps_.push_back({Step::Kind::reply, std::move(b), {}});
    return *this;
}

ScriptedStation& ScriptedStation::then(std::function<void()> action) {
    steps_.push_back({Step::Kind::action, {}, std::move(action)});
    return *this;
}

ScriptedStation& ScriptedStation::expectEach(const Bytes& request, int times, const Bytes& answer) {
    for (int i = 0; i < times; ++i) {
        expect(request);
        if (!answer.empty()) {
            reply(answer);
        }
    }
    return *this;
}

void ScriptedStation::start() {
    thread_ = std::thread([this] { run(); });
}

std::string ScriptedStation::finish() {
    if (thread_.joinable()) {
        thread_.join();
    }
    return failure_;
}

void ScriptedStation::run() {
    using Clock = std::chrono::steady_clock;
    for (std::size_t i = 0; i < steps_.size(); ++i) {
        const Step& s = steps_[i];
        if (s.kind == Step::Kind::reply) {
            pty_.send(s.bytes);
            continue;
        }
        if (s.kind == Step::Kind::action) {
            s.action();
            continue;
        }
        // A guard against a hung library, not a measure of speed.
        const auto deadline = Clock::now() + std::chrono::seconds(10);
        Bytes got;
        while (got.size() < s.bytes.size()) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            pollfd p{pty_.master(), POLLIN, 0};
            if (left <= 0 || ::poll(&p, 1, static_cast<int>(left)) <= 0) {
                break;
            }
            std::uint8_t buf[4096];
            const std::size_t want = std::min(sizeof buf, s.bytes.size() - got.size());
            const ssize_t n = ::read(pty_.master(), buf, want);
            if (n <= 0) {
                break;
            }
            got.insert(got.end(), buf, buf + n);
        }
        if (got != s.bytes) {
            failure_ = "step " + std::to_string(i) + ": expected [" + hex(s.bytes) + "] got [" + hex(got) + "]";
            return;
        }
    }
}

} // namespace veltron::testing
