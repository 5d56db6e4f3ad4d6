// A synthetic spring as the four line cameras see it, for tests, benchmarks and fixtures.
//
// The spring is a helix of round wire standing on its base at height 0, with both ends ground
// flat (nothing of the wire exists above the free height or below 0). The scan runs from the
// top down: point n is at height top - (n - 1) * step. Each camera sees, at every scan height,
// the wire passage nearest to its azimuth and reports the CCD pixel of the surface point on its
// beam; a height without wire in front of the camera gives 0.
//
// Camera layout (as the evaluation assumes): camera 1 at y = 0 looking along +y on the line
// x = gx1, camera 3 at y = Vb looking along -y on x = gx3, camera 4 at x = Va looking along -x
// on y = gx4, camera 2 at x = 0 looking along +x on y = gx2.
//
// Calibration: each camera's table falls as the pixel rises (a larger pixel is a nearer
// surface), from about 150 mm at pixel 0 to 50 mm at pixel 2047, slightly bowed and different
// per camera. A pixel is found by searching the table for the entry nearest to the camera
// distance minus the camera's dmm offset, so dist(c, pixel) recovers the distance to within
// half a pixel step (about 0.025 mm).
#pragma once

#include "math/params.h"
#include "math/profile.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace veltron::math::synth {

struct SpringModel {
    double freeHeight = 340.0;    // H [mm]
    double outerDiameter = 200.0; // [mm]
    double wireDiameter = 36.0;   // [mm]
    double turns = 7.75;          // turns of the helix between the ground ends
    double centreX = 180.0;       // axis at height 0 [mm]
    double centreY = 180.0;
    double tiltX = 0.0; // lateral shift of the axis per mm of height, along x
    double tiltY = 0.0; // and along y
};

struct ScanModel {
    double top = 380.0; // height of point 1 [mm]
    double step = 0.05; // scan step [mm per point]
    int points = 10000; // points per camera
    // Deterministic disturbances the median removes: a stray point in a gap and a dropout in a
    // coil every this many points (0 = none); never two within five points of each other.
    int strayEvery = 0;
};

struct SyntheticScan {
    std::array<std::vector<std::int32_t>, 5> rows; // [camera 1..4], rows[c][n - 1] = point n
    Calibration calibration;
    MathParams params; // camera geometry, scan step and height constants matching the model
};

// The calibration table of camera c (values in mm, falling).
Calibration::Table sampleCalibrationTable(int camera);

// Parameters matching the model: gx through the axis at height 0, Va = Vb = 360, small dmm
// offsets, HV - HN = points * step with NZ = points, and Hgm + dHgm + DMV = top - step / 2
// (the median moves each coil start two points earlier; this centres the rounding of the top).
MathParams matchingParams(const ScanModel& scan);

SyntheticScan scanSpring(const SpringModel& spring, const ScanModel& scan);

// File writers (CP1251 text, CR LF).
std::string camFileText(const std::vector<std::int32_t>& row);
std::string cmrFileText(const std::vector<std::int32_t>& row);
std::string calibrationFileText(const Calibration::Table& table);
std::string setupIniText(const MathParams& params);

// Writes prefix + cam1..4.txt (and cmr1..4.txt when cmr) under dir; the prefix is a
// Windows-style relative name such as "STORE\\z5".
void writeProfileFiles(const std::filesystem::path& dir, const SyntheticScan& scan, bool cmr = false,
                       const std::string& prefix = "");
// Writes setup.ini, Tabl1/cal1..4.txt and prefix + cam1..4.txt (and cmr1..4.txt when cmr).
void writeFolder(const std::filesystem::path& dir, const SyntheticScan& scan, bool cmr = false,
                 const std::string& prefix = "");

} // namespace veltron::math::synth
