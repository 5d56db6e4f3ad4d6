// Filters that clean the camera rows in place, and the coil segmentation that finds where
// each coil begins, ends and peaks along the scan.
//
// Every operation works on cameras 1 to 4 in turn and, for camera c, on points 1 to N(c),
// where N is the point count set of the calling window.
#pragma once

#include "math/params.h"
#include "math/profile.h"

#include <array>
#include <cstdint>

namespace veltron::math {

inline constexpr int kMaxCoils = 100;

struct Coil {
    std::int32_t start = 0; // first non-zero point
    std::int32_t end = 0;   // last point of the coil (see segmentCoils)
    std::int32_t peak = 0;  // point of the largest value (the nearest surface point)
};

// Coils of the four-camera evaluation, per camera in scan order.
struct CoilTable {
    std::array<std::int32_t, 5> count{};                    // [camera 1..4]
    std::array<std::array<Coil, kMaxCoils + 1>, 5> coils{}; // [camera][coil 1..100]

    const Coil& coil(int camera, int k) const { return coils[camera][k]; }
};

// The coil the geometry workbench selected on one camera; start 0 means none.
struct SelectedCoil {
    std::int32_t start = 0;
    std::int32_t end = 0;
    double maxValue = 0.0;
    std::int32_t maxPoint = 0;
};
using SelectedCoils = std::array<SelectedCoil, 5>; // [camera 1..4]

// Value window: a point with value <= k1 or value > k2 becomes 0.
void valueWindowFilter(ProfileStore& store, const PointCounts& counts, const MathParams& params);
// Threshold: a point with value <= k3 becomes 0.
void thresholdFilter(ProfileStore& store, const PointCounts& counts, const MathParams& params);
// Point-number window: point n becomes 0 when n < k5 or n >= k6.
void pointWindowFilter(ProfileStore& store, const PointCounts& counts, const MathParams& params);
// Removes runs of non-zero points shorter than k7 that a zero follows; a run cut off by the
// end of the count stays.
void shortRunFilter(ProfileStore& store, const PointCounts& counts, const MathParams& params);
// Fills gaps of at most k9 zeros, and the first point after the gap, with the last value
// before the gap. (The workbench's button runs this twice.)
void bridgeGaps(ProfileStore& store, const PointCounts& counts, const MathParams& params);

// Five-point running median: point j becomes the median of points j..j+4 as they were, for
// j = 1..B-5; the last five points keep their values; nothing changes with B <= 5. It moves
// every coil start two points earlier.
void median5(std::int32_t* row, std::int32_t bound);
// The evaluation's median: camera 1's count is the bound for every camera.
void evaluationMedian(ProfileStore& store, const PointCounts& counts);
// The workbench's median: each camera's own count; nothing unless FMedEnable is on.
void workbenchMedian(ProfileStore& store, const PointCounts& counts, const MathParams& params);

// Rebuilds the coil table. A coil opens after Vmin non-zero points and closes after Vmin
// zeros; its start is its first non-zero point and its end its last non-zero point when Vmin
// zeros follow, otherwise Vmin points short of the end of the scan (point N itself is never
// scanned). Vmin below 1 counts as 1. At most 100 coils per camera: a 101st ends that
// camera's scan with one log line. With FCutEnable the tail of each coil is cut to k11/k12 of
// its length (no cut when k12 is 0; the cut point stays within the coil). Then each coil's
// peak is searched; equal values move the peak to the later point.
void segmentCoils(ProfileStore& store, const PointCounts& counts, const MathParams& params, CoilTable& table,
                  const LineSink& log = {});

// Workbench selections. From the start: the second coil met from point 2, the record's end
// being the first zero after it; every point outside start..end becomes 0. From the end: the
// mirror image, the record's start being the zero just below the coil. A selection that does
// not find two coils leaves the row alone and clears the record.
void selectSecondCoilFromStart(ProfileStore& store, const PointCounts& counts, SelectedCoils& selected);
void selectSecondCoilFromEnd(ProfileStore& store, const PointCounts& counts, SelectedCoils& selected);
// Clears the selected coil from start + (end - start) * k11 / k12 to its end (no cut when k12
// is 0; the cut point stays within the coil). Cameras without a selection are skipped.
void selectedCoilTailCut(ProfileStore& store, const MathParams& params, const SelectedCoils& selected);
// Largest value of the selected coil and its point (the last of equal values).
void selectedCoilMaximum(const ProfileStore& store, SelectedCoils& selected);

} // namespace veltron::math
