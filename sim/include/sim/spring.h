// The spring (or set of springs) standing on the rig, and the camera profiles it gives.
#pragma once

#include "math/params.h"
#include "math/profile.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace veltron::sim {

struct SpringSpec {
    bool present = true;
    double freeHeight = 340.0;    // H [mm]
    double outerDiameter = 200.0; // D [mm]
    double wireDiameter = 36.0;   // bar diameter d [mm]
    double turns = 7.75;          // turns between the ground ends
    double tiltX = 0.0;           // lateral shift of the axis per mm of height, along x and y
    double tiltY = 0.0;
    double offsetX = 0.0; // axis at the base, away from the rig's centre [mm]
    double offsetY = 0.0;
    double rate = 100.0; // [kg per mm of compression], per spring
    int count = 1;       // springs of a set side by side under the press (their rates add)

    // Pitch of the helix [mm], as the profile model builds it.
    double pitch() const;
};

// "key=value" items separated by blanks, commas, semicolons or line breaks, starting from
// base; keys: H, D, d, n, tiltx, tilty, x, y, rate, count, present (also the long names
// height, diameter, bar, turns). Lines starting with '#' are comments. Throws
// std::invalid_argument naming the bad item.
SpringSpec parseSpring(std::string_view text, SpringSpec base = {});
SpringSpec readSpringFile(const std::filesystem::path& path);
std::string springText(const SpringSpec& s);

// The cameras of the installation: beam positions, camera offsets and calibration tables,
// the same values the program evaluates with.
struct CameraSetup {
    math::MathParams params;
    math::Calibration calibration;
};

// The pixel of camera c whose calibrated distance (table + dmm offset) is nearest to d [mm];
// 0 (nothing seen) outside the table's range.
std::int32_t pixelForDistance(const CameraSetup& cams, int camera, double d);

// Profiles of the four cameras for a scan whose point 1 lies at height top and whose points
// follow every step mm downwards: rows[c][n - 1] is point n of camera c, a CCD position, or
// 0 in the gaps between coils. The spring stands centred on the rig, at (Va / 2, Vb / 2) plus
// its offset.
std::array<std::vector<std::int32_t>, 5> cameraProfiles(const SpringSpec& spring, const CameraSetup& cams, double top,
                                                        double step, int points);

} // namespace veltron::sim
