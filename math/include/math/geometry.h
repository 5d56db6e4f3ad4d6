// Spring geometry from the coils of the four camera profiles: height, outer diameter,
// non-perpendicularity of the axis and the spread of the coil pitch; and the older
// single-coil diameter and non-perpendicularity of the geometry workbench.
//
// Camera layout: cameras 1 and 3 look across the spring along the y axis from opposite sides
// (camera 3 at y = Vb), camera 4 looks along the x axis from x = Va; camera 2 only takes part
// in the height. A distance d of camera 1 is the surface point (gx1, d), of camera 3
// (gx3, Vb - d), of camera 4 (Va - d, gx4).
#pragma once

#include "math/filters.h"
#include "math/params.h"
#include "math/profile.h"

#include <optional>
#include <string>

namespace veltron::math {

struct Point2 {
    double x = 0.0;
    double y = 0.0;
};

// Diameter of the circle through three points (determinant form); -1 when they are collinear.
double circleDiameter(Point2 a, Point2 b, Point2 c);
// Radius of the circle through three points by the bisector form of the workbench (0.0001 is
// always added to the x differences). Nothing when the slopes make it undefined (equal
// slopes, a zero first slope) or the result is not finite.
std::optional<double> circleRadiusBisector(Point2 a, Point2 b, Point2 c);

// A result that may be undefined: nothing means INVALID (shown as "?"), for instance a
// division by a scan step of 0. A result whose coil-count precondition fails is a valid 0.
using Measure = std::optional<float>;

// Text of a result for the memo: the general number format, or "?".
std::string measureText(const Measure& m);

// Scan step (HV - HN) / NZ [mm per point]; nothing when NZ is 0.
Measure scanStep(const MathParams& params);

struct GeometryResults {
    Measure height = 0.0F;      // "Vis="
    Measure diameter = 0.0F;    // "Diam="
    Measure nonPerp = 0.0F;     // "Nep="
    Measure pitchSpread = 0.0F; // "mrS="
};

// Height from the first coil starts of the four cameras. The start of camera 1 is used unless
// another camera's is strictly smaller than the other three (ties keep camera 1). With UDDZ a
// camera with a point count of 0 or less keeps its start unscaled.
Measure heightResult(const CoilTable& table, const PointCounts& counts, const MathParams& params);
// Spread of the peak distances of camera CamRS over coils 2..n-1, divided by the scan step;
// 0 with 3 coils or fewer; nothing when the scan step is 0 or CamRS is not a camera.
Measure pitchSpreadResult(const CoilTable& table, const MathParams& params);
// Outer diameter through the second-coil peaks of cameras 1, 4 and 3, plus DMD; 0 unless
// each of those cameras has more than two coils.
Measure diameterResult(const ProfileStore& store, const CoilTable& table, const Calibration& calibration,
                       const MathParams& params);
// Axis tilt from cameras 1 and 4 between the second and the second-to-last coil, scaled by
// n1 / (n1 - 2); 0 unless cameras 1 and 4 have more than two coils.
Measure nonPerpendicularityResult(const ProfileStore& store, const CoilTable& table, const Calibration& calibration);

GeometryResults evaluateGeometry(const ProfileStore& store, const PointCounts& counts, const CoilTable& table,
                                 const Calibration& calibration, const MathParams& params);

// Workbench results. The diameter remembers the camera-1 distance and the camera-4 x
// coordinate of its coil, which the non-perpendicularity then compares against.
struct WorkbenchGeometry {
    float diameter = 0.0F;
    float nonPerp = 0.0F;
    float rememberedD1 = 0.0F;
    float rememberedX4 = 0.0F;
};

// Diameter from the selected-coil maxima (after a selection from the start); 0 when the
// bisector radius is undefined.
void workbenchDiameter(WorkbenchGeometry& wb, const SelectedCoils& selected, const Calibration& calibration,
                       const MathParams& params);
// Non-perpendicularity of the selected coils (after a selection from the end) against the
// values remembered by the last workbench diameter, times 1.3.
void workbenchNonPerpendicularity(WorkbenchGeometry& wb, const SelectedCoils& selected, const Calibration& calibration,
                                  const MathParams& params);
// The workbench caption text of its diameter: "D(нар)=" + value in 5 characters, 2 decimals.
std::string workbenchDiameterCaption(float diameter);

} // namespace veltron::math
