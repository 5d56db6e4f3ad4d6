// The settings the profile mathematics reads, as one plain struct. The library does not see
// the program's settings object; the program (or a tool) fills this struct from setup.ini
// through the bridge in math/bridge.
#pragma once

#include <array>
#include <cstdint>

namespace veltron::math {

inline constexpr int kCameras = 4;
// A missing key of a camera parameter set reads as this value.
inline constexpr std::int32_t kUnsetCameraParam = 100500;

// k1..k12 of one camera; entry 0 unused so that k[n] is the key "k" + n.
using CameraParams = std::array<std::int32_t, 13>;

struct MathParams {
    MathParams() {
        for (auto& set : k) {
            set.fill(kUnsetCameraParam);
            set[0] = 0;
        }
    }

    // Camera geometry; arrays are indexed by camera 1..4, entry 0 unused.
    std::array<float, 5> dmm{};                                // offset added to calibrated distances [mm]
    std::array<float, 5> gx{0.0F, 80.0F, 80.0F, 80.0F, 80.0F}; // lateral coordinate of each beam [mm]
    float Va = 360.0F;                                         // x of camera 4 [mm]
    float Vb = 360.0F;                                         // y of camera 3 [mm]

    std::array<CameraParams, 5> k{}; // k[camera][entry]

    // Segmentation and smoothing.
    std::int32_t Vmin = 3; // run length that opens and closes a coil [points]
    bool FCutEnable = false;
    bool FMedEnable = false;
    bool FMNKEnable = false;
    std::int32_t MNKvmin = 6; // shortest coil (end - start) that is smoothed [points]
    std::int32_t MNKdn = 4;   // points left out at the start of a coil when fitting
    std::int32_t MNKup = 5;   // points left out at the end of a coil when fitting

    // Height, pitch and diameter.
    float HV = 1.0F;
    float HN = 1.0F;
    std::int32_t NZ = 2;
    bool UDDZ = false;
    float Hgm = 10000.0F;
    float dHgm = 10000.0F;
    std::array<std::int32_t, 5> dhL{0, 10000, 10000, 10000, 10000};
    float DMV = 1.0F;
    float DMD = 1.0F;
    std::int32_t CamRS = 4;

    bool DebugMMsaveMessages = false;
};

} // namespace veltron::math
