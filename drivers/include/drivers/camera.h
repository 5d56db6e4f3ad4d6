// The camera link: four laser line cameras on one framed serial link, each a station whose
// address is its number. Opening the link sets answer mode 2 for every link of the library.
//
// Every camera command exchanges with the current camera and returns true only for result 1;
// otherwise it reports the fault code (base + current camera) and returns false. Result 2
// (10000 bytes without a closing flag) is a failure too: the library then holds no answer.
#pragma once

#include "app/settings.h"
#include "drivers/link.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <vector>

namespace veltron::drivers {

using FaultReport = std::function<void(int code)>;
using SleepMs = std::function<void(int ms)>;

inline constexpr int kProfilePoints = 65536; // points of one downloaded row

// Fault bases of the camera commands (the code is base + camera number).
inline constexpr int kFaultLaserOff = 31;
inline constexpr int kFaultLaserOn = 35;
inline constexpr int kFaultShutter = 39;
inline constexpr int kFaultThreshold = 43;
inline constexpr int kFaultMode = 47;
inline constexpr int kFaultSingle = 51;
inline constexpr int kFaultDownload = 55;

// Points of a profile answer (byte 0 control byte, bytes 1-3 unused, then 4 bytes a point).
// n = (length - 4) / 4 truncated toward zero, so two trailing check bytes are ignored. The
// cameras weigh the bytes 1, 256, 4096 and 65536 (the bits overlap; that is how they send
// it) and the sum counts 1/32 units.
std::vector<std::int32_t> decodeProfile(std::span<const std::uint8_t> answer);
std::int32_t profilePoint(std::uint8_t p0, std::uint8_t p1, std::uint8_t p2, std::uint8_t p3);

class CameraLink {
public:
    // workDir holds cam<c>.txt and STORE; nowSpring gives the state value NOWSPRING.
    CameraLink(HdlcLink& link, const Settings& settings, std::filesystem::path workDir, FaultReport report,
               SleepMs sleep, std::function<int()> nowSpring);

    // Camera port := CAM_PORT; opens it at CAM_SPEED; answer mode 2 for all links.
    bool open();
    // Any number is used unchanged as the station address.
    void select(int camera) { current_ = camera; }
    int current() const { return current_; }
    int port() const { return port_; }

    bool laserOff();
    bool laserOn();
    bool shutterSet(int value); // low 16 bits, low byte first
    bool thresholdSet(int value);
    bool modeSet();
    bool singleMeasurement();
    // Downloads the current camera's profile into cam<c>.txt, STORE\z<NOWSPRING>cam<c>.txt and
    // the downloaded row. A failed exchange (result other than 1) writes both files empty,
    // keeps the row and sets the count to -1: nothing of an older or foreign answer is decoded.
    // Throws std::system_error when a file cannot be created.
    bool download();

    // Downloaded rows and counts of cameras 1..4 (index 0 unused).
    const std::vector<std::int32_t>& row(int camera) const { return rows_.at(static_cast<std::size_t>(camera)); }
    int downloadedCount(int camera) const { return counts_.at(static_cast<std::size_t>(camera)); }

private:
    bool command(int code, std::span<const std::uint8_t> payload, int faultBase);

    HdlcLink& link_;
    const Settings& settings_;
    std::filesystem::path workDir_;
    FaultReport report_;
    SleepMs sleep_;
    std::function<int()> nowSpring_;
    int port_ = 0;
    int current_ = 1;
    std::array<std::vector<std::int32_t>, 5> rows_;
    std::array<int, 5> counts_{};
};

} // namespace veltron::drivers
