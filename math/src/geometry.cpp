#include "math/geometry.h"

#include "platform/text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace veltron::math {
namespace {

Measure finiteOrInvalid(double v) {
    const float f = static_cast<float>(v);
    if (!std::isfinite(f)) {
        return std::nullopt;
    }
    return f;
}

double slope(Point2 p, Point2 q) {
    return (q.y - p.y) / (q.x - p.x + 0.0001);
}

} // namespace

double circleDiameter(Point2 a, Point2 b, Point2 c) {
    const double D = 2.0 * ((c.y - b.y) * (b.x - a.x) - (c.x - b.x) * (b.y - a.y));
    if (D == 0.0) {
        return -1.0;
    }
    const double sB = (a.x + b.x) * (b.x - a.x) + (a.y + b.y) * (b.y - a.y);
    const double sC = (a.x + c.x) * (c.x - a.x) + (a.y + c.y) * (c.y - a.y);
    const double X = ((c.y - a.y) * sB - (b.y - a.y) * sC) / D;
    const double Y = ((b.x - a.x) * sC - (c.x - a.x) * sB) / D;
    return 2.0 * std::sqrt((X - a.x) * (X - a.x) + (Y - a.y) * (Y - a.y));
}

std::optional<double> circleRadiusBisector(Point2 a, Point2 b, Point2 c) {
    const double s1 = slope(a, b);
    const double s2 = slope(b, c);
    if (!std::isfinite(s1) || !std::isfinite(s2) || s1 == s2 || s1 == 0.0) {
        return std::nullopt;
    }
    const Point2 m{(a.x + b.x) / 2.0, (a.y + b.y) / 2.0};
    const Point2 k{(b.x + c.x) / 2.0, (b.y + c.y) / 2.0};
    const double X = (k.x * s1 + k.y * s1 * s2 - m.x * s2 - m.y * s1 * s2) / (s1 - s2);
    const double Y = m.y - (X - m.x) / s1;
    const double r = std::sqrt((X - a.x) * (X - a.x) + (Y - a.y) * (Y - a.y));
    if (!std::isfinite(r)) {
        return std::nullopt;
    }
    return r;
}

std::string measureText(const Measure& m) {
    return m ? text::formatGeneral(static_cast<double>(*m)) : "?";
}

Measure scanStep(const MathParams& params) {
    if (params.NZ == 0) {
        return std::nullopt;
    }
    return finiteOrInvalid((static_cast<double>(params.HV) - static_cast<double>(params.HN)) / params.NZ);
}

Measure heightResult(const CoilTable& table, const PointCounts& counts, const MathParams& params) {
    const Measure cdg = scanStep(params);
    if (!cdg) {
        return std::nullopt;
    }
    std::array<std::int64_t, 5> s{};
    for (int c = 1; c <= kCameras; ++c) {
        const std::int64_t start = table.count[c] > 0 ? table.coil(c, 1).start : 0;
        s[c] = c == 1 ? start : start + params.dhL[1] - params.dhL[c];
    }
    if (params.UDDZ) {
        for (int c = 1; c <= kCameras; ++c) {
            if (counts[c] <= 0) {
                continue; // no rescaling from an empty scan
            }
            const double q = static_cast<double>(params.NZ) / counts[c];
            const std::optional<std::int32_t> scaled = text::checkedTrunc(q * static_cast<double>(s[c]));
            if (!scaled) {
                return std::nullopt;
            }
            s[c] = *scaled;
        }
    }
    std::int64_t chosen = s[1];
    for (int c = 2; c <= kCameras; ++c) {
        bool strictlySmallest = true;
        for (int o = 1; o <= kCameras; ++o) {
            if (o != c && !(s[c] < s[o])) {
                strictlySmallest = false;
            }
        }
        if (strictlySmallest) {
            chosen = s[c];
        }
    }
    // Two statements in single precision, as the height was always computed.
    const float h = static_cast<float>(static_cast<double>(params.Hgm) - static_cast<double>(chosen) * *cdg +
                                       static_cast<double>(params.dHgm));
    return finiteOrInvalid(static_cast<double>(h) + static_cast<double>(params.DMV));
}

Measure pitchSpreadResult(const CoilTable& table, const MathParams& params) {
    const int c = params.CamRS;
    if (c < 1 || c > kCameras) {
        return std::nullopt;
    }
    const std::int32_t n = table.count[c];
    if (n <= 3) {
        return 0.0F;
    }
    const Measure cdg = scanStep(params);
    if (!cdg || *cdg == 0.0F) {
        return std::nullopt;
    }
    std::int64_t lo = 0;
    std::int64_t hi = 0;
    for (std::int32_t k = 2; k <= n - 2; ++k) {
        const std::int64_t d = static_cast<std::int64_t>(table.coil(c, k + 1).peak) - table.coil(c, k).peak;
        if (k == 2 || d < lo) {
            lo = d;
        }
        if (k == 2 || d > hi) {
            hi = d;
        }
    }
    // The peaks are scan points; a spread of k points is k scan steps long. (Dividing by the
    // step instead would turn one point of 0.2 mm into 5 mm and reject every spring.)
    return finiteOrInvalid(static_cast<double>(hi - lo) * static_cast<double>(*cdg));
}

Measure diameterResult(const ProfileStore& store, const CoilTable& table, const Calibration& calibration,
                       const MathParams& params) {
    if (table.count[1] <= 2 || table.count[3] <= 2 || table.count[4] <= 2) {
        return 0.0F;
    }
    auto secondPeakDistance = [&](int c) {
        return cameraDistance(calibration, params, c, store.value(c, table.coil(c, 2).peak));
    };
    const float d1 = secondPeakDistance(1);
    const float d4 = secondPeakDistance(4);
    const float d3 = secondPeakDistance(3);
    const Point2 a{params.gx[1], d1};
    const Point2 b{static_cast<double>(params.Va) - d4, params.gx[4]};
    const Point2 c{params.gx[3], static_cast<double>(params.Vb) - d3};
    return finiteOrInvalid(circleDiameter(a, b, c) + static_cast<double>(params.DMD));
}

Measure nonPerpendicularityResult(const ProfileStore& store, const CoilTable& table, const Calibration& calibration) {
    const std::int32_t n1 = table.count[1];
    const std::int32_t n4 = table.count[4];
    if (n1 <= 2 || n4 <= 2) {
        return 0.0F;
    }
    auto peakCal = [&](int c, int k) { return calibration.cal(c, store.value(c, table.coil(c, k).peak)); };
    const double a1 = peakCal(1, 2);
    const double b1 = peakCal(1, n1 - 1);
    const double a4 = peakCal(4, 2);
    const double b4 = peakCal(4, n4 - 1);
    const double tilt = std::sqrt((a1 - b1) * (a1 - b1) + (a4 - b4) * (a4 - b4));
    return finiteOrInvalid(tilt * n1 / (n1 - 2));
}

GeometryResults evaluateGeometry(const ProfileStore& store, const PointCounts& counts, const CoilTable& table,
                                 const Calibration& calibration, const MathParams& params) {
    GeometryResults r;
    r.height = heightResult(table, counts, params);
    r.pitchSpread = pitchSpreadResult(table, params);
    r.diameter = diameterResult(store, table, calibration, params);
    r.nonPerp = nonPerpendicularityResult(store, table, calibration);
    return r;
}

void workbenchDiameter(WorkbenchGeometry& wb, const SelectedCoils& selected, const Calibration& calibration,
                       const MathParams& params) {
    auto maxDistance = [&](int c) {
        return cameraDistance(calibration, params, c, static_cast<std::int64_t>(std::trunc(selected[c].maxValue)));
    };
    const float d1 = maxDistance(1);
    const float d4 = maxDistance(4);
    const float d3 = maxDistance(3);
    const Point2 a{params.gx[1], d1};
    const Point2 b{static_cast<double>(params.Va) - d4, params.gx[4]};
    const Point2 c{params.gx[3], static_cast<double>(params.Vb) - d3};
    wb.rememberedD1 = d1;
    wb.rememberedX4 = params.Va - d4;
    const std::optional<double> r = circleRadiusBisector(a, b, c);
    const float d = r ? static_cast<float>(2.0 * *r) : 0.0F;
    wb.diameter = std::isfinite(d) ? d : 0.0F;
}

void workbenchNonPerpendicularity(WorkbenchGeometry& wb, const SelectedCoils& selected, const Calibration& calibration,
                                  const MathParams& params) {
    auto maxDistance = [&](int c) {
        return cameraDistance(calibration, params, c, static_cast<std::int64_t>(std::trunc(selected[c].maxValue)));
    };
    const double d1 = maxDistance(1);
    const double x4 = static_cast<double>(params.Va) - maxDistance(4);
    const double delta1 = std::fabs(d1 - wb.rememberedD1);
    const double delta4 = std::fabs(x4 - wb.rememberedX4);
    wb.nonPerp = static_cast<float>(std::sqrt(delta1 * delta1 + delta4 * delta4) * 1.3);
}

std::string workbenchDiameterCaption(float diameter) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "D(нар)=%5.2f", static_cast<double>(diameter));
    return buf;
}

} // namespace veltron::math
