#include "drivers/camera.h"

#include "platform/files.h"

#include <fstream>
#include <string>
#include <system_error>

namespace veltron::drivers {

std::int32_t profilePoint(std::uint8_t p0, std::uint8_t p1, std::uint8_t p2, std::uint8_t p3) {
    const std::int32_t sum = p0 + 256 * p1 + 4096 * p2 + 65536 * p3;
    return sum / 32;
}

std::vector<std::int32_t> decodeProfile(std::span<const std::uint8_t> answer) {
    const long length = static_cast<long>(answer.size());
    const long n = (length - 4) / 4; // toward zero: lengths 1..7 give 0 or -0
    std::vector<std::int32_t> points;
    if (n <= 0) {
        return points;
    }
    points.reserve(static_cast<std::size_t>(n));
    for (long i = 0; i < n; ++i) {
        const std::size_t at = static_cast<std::size_t>(4 + 4 * i);
        points.push_back(profilePoint(answer[at], answer[at + 1], answer[at + 2], answer[at + 3]));
    }
    return points;
}

CameraLink::CameraLink(HdlcLink& link, const Settings& settings, std::filesystem::path workDir, FaultReport report,
                       SleepMs sleep, std::function<int()> nowSpring)
    : link_(link), settings_(settings), workDir_(std::move(workDir)), report_(std::move(report)),
      sleep_(std::move(sleep)), nowSpring_(std::move(nowSpring)) {
    for (std::size_t c = 1; c < rows_.size(); ++c) {
        rows_[c].assign(kProfilePoints, 0);
    }
}

bool CameraLink::open() {
    port_ = settings_.CAM_PORT;
    const bool opened = link_.initComPort(settings_.CAM_PORT, settings_.CAM_SPEED);
    link_.setup(settings_.STM1, settings_.STREP, settings_.STM2, 2);
    return opened;
}

bool CameraLink::command(int code, std::span<const std::uint8_t> payload, int faultBase) {
    const int result = link_.exchange(port_, current_, code, payload);
    if (result == kLinkAnswer) {
        return true;
    }
    if (report_) {
        report_(faultBase + current_);
    }
    return false;
}

bool CameraLink::laserOff() {
    const std::uint8_t p[] = {0};
    return command(0x8B, p, kFaultLaserOff);
}

bool CameraLink::laserOn() {
    const std::uint8_t p[] = {1};
    return command(0x8B, p, kFaultLaserOn);
}

bool CameraLink::shutterSet(int value) {
    const std::uint8_t p[] = {static_cast<std::uint8_t>(value & 0xFF), static_cast<std::uint8_t>((value >> 8) & 0xFF),
                              1};
    return command(0x86, p, kFaultShutter);
}

bool CameraLink::thresholdSet(int value) {
    const std::uint8_t p[] = {static_cast<std::uint8_t>(value & 0xFF)};
    return command(0x84, p, kFaultThreshold);
}

bool CameraLink::modeSet() {
    const std::uint8_t p[] = {0x40, 0x00, 0x40};
    return command(0x8A, p, kFaultMode);
}

bool CameraLink::singleMeasurement() {
    return command(0x8D, {}, kFaultSingle);
}

namespace {

std::ofstream createText(const std::filesystem::path& path) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) {
        throw std::system_error(std::make_error_code(std::errc::io_error), "не удалось создать файл " + path.string());
    }
    return out;
}

} // namespace

bool CameraLink::download() {
    const int c = current_;
    sleep_(10);
    const bool ok = command(0x8C, {}, kFaultDownload);
    sleep_(10);

    std::vector<std::int32_t> points;
    int count = -1;
    if (ok) {
        const LastAnswer& a = link_.last();
        points = decodeProfile(std::span<const std::uint8_t>(a.data, static_cast<std::size_t>(a.length)));
        count = a.length >= 4 ? (a.length - 4) / 4 : 0;
        if (points.size() > static_cast<std::size_t>(kProfilePoints)) {
            points.resize(kProfilePoints);
            count = kProfilePoints;
        }
    }
    if (c >= 1 && c <= 4) {
        counts_[static_cast<std::size_t>(c)] = count;
    }

    const std::string name = "cam" + std::to_string(c) + ".txt";
    const std::string stored = "STORE\\z" + std::to_string(nowSpring_ ? nowSpring_() : 0) + name;
    std::ofstream work = createText(files::resolve(workDir_, name));
    std::ofstream copy = createText(files::resolve(workDir_, stored));
    std::string lines;
    lines.reserve(points.size() * 6);
    for (std::size_t i = 0; i < points.size(); ++i) {
        lines += std::to_string(points[i]);
        lines += "\r\n";
        if (c >= 1 && c <= 4) {
            rows_[static_cast<std::size_t>(c)][i] = points[i];
        }
    }
    work << lines;
    copy << lines;
    work.close();
    copy.close();
    if (!work || !copy) {
        throw std::system_error(std::make_error_code(std::errc::io_error), "ошибка записи профиля камеры " + name);
    }
    return ok;
}

} // namespace veltron::drivers
