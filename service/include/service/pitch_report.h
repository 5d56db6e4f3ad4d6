// The workbench's pitch report ("Фильтр Сорбекса") on camera 1: every coil met along the
// cleaned profile, its tail cut and maximum, and the distance between neighbouring maxima.
#pragma once

#include "math/filters.h"
#include "math/params.h"
#include "math/profile.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace veltron::service {

struct PitchCoil {
    std::int32_t start = 0;    // first non-zero point
    std::int32_t end = 0;      // first zero after the coil
    double maxValue = 0.0;     // after the tail cut
    std::int32_t maxPoint = 0; // point of the maximum
};

// Walks camera 1 from point 2: a coil starts at a point of value 1 or more and ends at the
// next zero; a coil that runs into the end of the count is not counted. Each coil's tail is
// cut and its maximum searched as for a selected coil; the selection of camera 1 is left on
// the last coil found (cleared when there is none). afterCoil runs after each coil (the
// window draws and pauses there).
std::vector<PitchCoil> findPitchCoils(math::ProfileStore& store, const math::PointCounts& counts,
                                      const math::MathParams& params, math::SelectedCoils& selected,
                                      const std::function<void()>& afterCoil = {});

// The memo lines: "Отчет по камере №1", "Всего витков " + L, one "№ p Н= … M= … K= …" line
// per coil, then from the last coil down to the second "Виток" + p + (p - 1) + ":  " + d +
// "ед " + d · 0.325 mm in 5 characters with one decimal + "мм".
std::vector<std::string> pitchReportLines(const std::vector<PitchCoil>& coils);

} // namespace veltron::service
