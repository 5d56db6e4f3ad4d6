#include "sim/stations.h"

#include <algorithm>
#include <string>

namespace veltron::sim {
namespace {

void putBe32(Bytes& b, std::int32_t v) {
    const auto u = static_cast<std::uint32_t>(v);
    b.push_back(static_cast<std::uint8_t>(u >> 24));
    b.push_back(static_cast<std::uint8_t>(u >> 16));
    b.push_back(static_cast<std::uint8_t>(u >> 8));
    b.push_back(static_cast<std::uint8_t>(u));
}

void putBe16(Bytes& b, std::uint16_t v) {
    b.push_back(static_cast<std::uint8_t>(v >> 8));
    b.push_back(static_cast<std::uint8_t>(v));
}

std::int64_t be32(std::span<const std::uint8_t> d, std::size_t at) {
    return static_cast<std::int64_t>((static_cast<std::uint32_t>(d[at]) << 24) |
                                     (static_cast<std::uint32_t>(d[at + 1]) << 16) |
                                     (static_cast<std::uint32_t>(d[at + 2]) << 8) | d[at + 3]);
}

} // namespace

HdlcLine::HdlcLine() : storage_(hdlc::kMaxStored), rx_(storage_) {}

void HdlcLine::receive(std::span<const std::uint8_t> bytes, std::vector<Answer>& out, const Handler& handle,
                       const std::function<void()>& onBadFrame) {
    for (std::uint8_t b : bytes) {
        const auto step = rx_.push(b);
        if (step == hdlc::FrameReceiver::Step::complete) {
            const hdlc::FrameFields f = hdlc::splitFrame(rx_.bytes());
            if (f.valid) {
                handle(f, out);
            } else {
                onBadFrame();
            }
            rx_.reset();
        } else if (rx_.full()) {
            onBadFrame(); // a frame without end: start over
            rx_.reset();
        }
    }
}

Answer hdlcAnswer(const std::string& device, std::uint8_t address, std::uint8_t control,
                  std::span<const std::uint8_t> data) {
    Answer a;
    a.device = device;
    a.frame = hdlc::encodeAnswer(address, control, data);
    // Any other check value will do; take one that surely differs from the right one.
    for (std::uint16_t fcs : {std::uint16_t{0x5A5A}, std::uint16_t{0xA5A5}}) {
        a.badCheck = hdlc::encodeAnswerWithFcs(address, control, data, fcs);
        if (a.badCheck != a.frame) {
            break;
        }
    }
    return a;
}

// ---------------------------------------------------------------- main controller

void MainController::receive(std::span<const std::uint8_t> bytes, std::vector<Answer>& out) {
    line_.receive(
        bytes, out, [this](const hdlc::FrameFields& f, std::vector<Answer>& o) { handle(f, o); },
        [this] { counters_.add("bad"); });
}

void MainController::handle(const hdlc::FrameFields& f, std::vector<Answer>& out) {
    const bool broadcast = f.address == hdlc::kBroadcast;
    if (f.address != address_ && !broadcast) {
        counters_.add("foreign");
        return;
    }
    counters_.add("rx");
    const std::uint8_t code = f.control;
    const auto& p = f.data;
    Bytes data;
    std::uint8_t control = code;
    switch (code) {
    case 1: { // force-reached status; bytes 9..11 of the answer are the status value
        putBe32(data, model_.pressCount());
        putBe16(data, model_.adc());
        putBe16(data, model_.statusWord());
        data.push_back(model_.forceReached() ? 0x40 : 0x00);
        data.push_back(0);
        data.push_back(0);
        break;
    }
    case 3: // force result: press encoder and ADC
        putBe32(data, model_.pressCount());
        putBe16(data, model_.adc());
        break;
    case 7: // encoder read: the byte before the count is the encoder's number
        if (p.empty()) {
            counters_.add("malformed");
            return;
        }
        data.push_back(p[0]);
        putBe32(data, model_.encoder(p[0]));
        break;
    case 8:
        if (p.empty()) {
            counters_.add("malformed");
            return;
        }
        model_.resetEncoder(p[0]);
        data.push_back(p[0]);
        break;
    case 17:
        putBe16(data, model_.statusWord());
        break;
    case 19:
        putBe16(data, model_.adc());
        break;
    case 33:
        if (p.empty()) {
            counters_.add("malformed");
            return;
        }
        model_.drain = p[0] != 0;
        data.push_back(p[0]);
        break;
    case 34:
    case 35:
    case 36:
    case 37: {
        if (p.empty() || (p[0] != 0 && p.size() < 6)) {
            counters_.add("malformed");
            return;
        }
        const int mode = p[0];
        const int dir = mode == 0 ? 0 : p[1];
        const std::int64_t time = mode == 0 ? 0 : be32(p, 2);
        int target = 0;
        if (code == 36 && p.size() >= 12) {
            target = (p[10] << 8) | p[11];
        }
        const AxisId axis = code == 34   ? AxisId::carriage
                            : code == 35 ? AxisId::geometry
                            : code == 36 ? AxisId::press
                                         : AxisId::centring;
        model_.command(axis, mode, dir, time, target);
        counters_.add(std::to_string(code) + ":" + std::to_string(mode) + (mode == 0 ? "" : ":" + std::to_string(dir)));
        data.push_back(p[0]);
        break;
    }
    case 45:
        data.push_back(p.empty() ? 0 : p[0]);
        putBe32(data, model_.pressCount());
        break;
    case 85: // link check: the first two answer bytes read "Ok"
        control = 'O';
        data.push_back('k');
        break;
    default:
        counters_.add("unknown");
        return;
    }
    counters_.add(std::to_string(code));
    if (!broadcast) {
        out.push_back(hdlcAnswer("ck", address_, control, data));
    }
}

// ---------------------------------------------------------------- second controller

void SecondController::receive(std::span<const std::uint8_t> bytes, std::vector<Answer>& out) {
    line_.receive(
        bytes, out, [this](const hdlc::FrameFields& f, std::vector<Answer>& o) { handle(f, o); },
        [this] { counters_.add("bad"); });
}

void SecondController::handle(const hdlc::FrameFields& f, std::vector<Answer>& out) {
    const bool broadcast = f.address == hdlc::kBroadcast;
    if (f.address != kAddress && !broadcast) {
        counters_.add("foreign");
        return;
    }
    counters_.add("rx");
    const auto& p = f.data;
    if (p.size() < 3) {
        counters_.add("malformed");
        return;
    }
    Bytes data{0, 0, 0};
    switch (f.control) {
    case 5: // version, two characters
        data = {'K', '2', 0};
        break;
    case 7: // its proximity sensor sees the spring on the rig
        data[0] = model_.spring().present ? 1 : 0;
        break;
    case 8: { // scan encoder, low byte first
        const std::uint16_t v = model_.scanPulses();
        data = {static_cast<std::uint8_t>(v & 0xFF), static_cast<std::uint8_t>(v >> 8), 0};
        break;
    }
    case 9:
        model_.resetScan();
        break;
    case 12:
        model_.startScan();
        if (onScanStart) {
            onScanStart();
        }
        data[0] = 1;
        break;
    case 22:
        model_.setDivider(p[0] | (p[1] << 8));
        data = {'O', 'K', 0};
        break;
    case 28:
        data[0] = 1;
        break;
    case 29:
        measurements_ = static_cast<std::uint16_t>(p[0] | (p[1] << 8));
        data = {'O', 'K', 0};
        break;
    default:
        counters_.add("unknown");
        return;
    }
    counters_.add(std::to_string(f.control));
    if (!broadcast) {
        out.push_back(hdlcAnswer("ck2", kAddress, f.control, data));
    }
}

// ---------------------------------------------------------------- cameras

Counters& CameraBus::counters(const std::string& name) {
    const int c = name.size() == 4 ? name[3] - '0' : 0;
    return counters_[static_cast<std::size_t>(std::clamp(c, 1, 4))];
}

void CameraBus::receive(std::span<const std::uint8_t> bytes, std::vector<Answer>& out) {
    line_.receive(
        bytes, out, [this](const hdlc::FrameFields& f, std::vector<Answer>& o) { handle(f, o); },
        [this] {
            for (int c = 1; c <= 4; ++c) {
                counters_[static_cast<std::size_t>(c)].add("bad"); // nobody knows whom it was for
            }
        });
}

void CameraBus::scanStarted() {
    for (auto& cam : cams_) {
        cam.single = false;
    }
    cachedPoints_ = -1;
}

const std::vector<std::int32_t>& CameraBus::scanRow(int c) {
    const int n = std::min(model_.scanPoints(), kMaxPoints);
    const std::string spring = springText(model_.spring());
    if (n != cachedPoints_ || model_.scanStart() != cachedStart_ || model_.pointStep() != cachedStep_ ||
        spring != cachedSpring_) {
        cache_ = cameraProfiles(model_.spring(), setup_, model_.scanStart(), model_.pointStep(), n);
        cachedPoints_ = n;
        cachedStart_ = model_.scanStart();
        cachedStep_ = model_.pointStep();
        cachedSpring_ = spring;
    }
    return cache_[static_cast<std::size_t>(c)];
}

std::vector<std::int32_t> CameraBus::points(int c) {
    const Camera& cam = cams_[static_cast<std::size_t>(c)];
    if (cam.single) {
        return cam.singlePoint;
    }
    return scanRow(c);
}

Bytes CameraBus::profileData(const std::vector<std::int32_t>& points) {
    Bytes data{0, 0, 0};
    data.reserve(3 + 4 * points.size());
    for (std::int32_t v : points) {
        // Point = (p0 + 256 p1 + 4096 p2 + 65536 p3) / 32; a pixel (0..2047) times 32 fits p0, p1.
        const auto raw = static_cast<std::uint32_t>(std::clamp(v, 0, 2047)) * 32U;
        data.push_back(static_cast<std::uint8_t>(raw & 0xFF));
        data.push_back(static_cast<std::uint8_t>(raw >> 8));
        data.push_back(0);
        data.push_back(0);
    }
    return data;
}

void CameraBus::handle(const hdlc::FrameFields& f, std::vector<Answer>& out) {
    const int c = f.address;
    if (c < 1 || c > 4) {
        return; // not a camera's address (the broadcast address gets no answer either)
    }
    Counters& count = counters_[static_cast<std::size_t>(c)];
    Camera& cam = cams_[static_cast<std::size_t>(c)];
    count.add("rx");
    const auto& p = f.data;
    Bytes data{0};
    switch (f.control) {
    case 0x8B:
        if (p.empty()) {
            count.add("malformed");
            return;
        }
        cam.laser = p[0] != 0;
        break;
    case 0x86:
        if (p.size() < 2) {
            count.add("malformed");
            return;
        }
        cam.shutter = p[0] | (p[1] << 8);
        break;
    case 0x84:
        if (p.empty()) {
            count.add("malformed");
            return;
        }
        cam.threshold = p[0];
        break;
    case 0x8A:
        if (p.size() < 3) {
            count.add("malformed");
            return;
        }
        cam.mode = {p[0], p[1], p[2]};
        break;
    case 0x8D: { // one point at the measurer's height
        const auto rows =
            cameraProfiles(model_.spring(), setup_, model_.axis(AxisId::geometry).pos, model_.pointStep(), 1);
        cam.single = true;
        cam.singlePoint = rows[static_cast<std::size_t>(c)];
        break;
    }
    case 0x8C:
        data = profileData(points(c));
        break;
    default:
        count.add("unknown");
        return;
    }
    count.add(std::to_string(f.control));
    out.push_back(hdlcAnswer("cam" + std::to_string(c), static_cast<std::uint8_t>(c), f.control, data));
}

} // namespace veltron::sim
