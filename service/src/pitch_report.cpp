#include "service/pitch_report.h"

#include <algorithm>
#include <cstdio>

namespace veltron::service {

std::vector<PitchCoil> findPitchCoils(math::ProfileStore& store, const math::PointCounts& counts,
                                      const math::MathParams& params, math::SelectedCoils& selected,
                                      const std::function<void()>& afterCoil) {
    std::vector<PitchCoil> coils;
    selected[1] = math::SelectedCoil{};
    const std::int32_t count = std::min(counts[1], math::kRowSlots);
    std::int32_t n = 2;
    while (n < count) {
        std::int32_t v = 0;
        do {
            v = store.value(1, n);
            ++n;
        } while (v < 1 && n < count);
        if (n >= count) {
            break;
        }
        const std::int32_t start = n - 1;
        do {
            v = store.value(1, n);
            ++n;
        } while (v != 0 && n < count);
        if (n >= count) {
            break;
        }
        const std::int32_t end = n - 1;
        // Cut and maximum of this coil alone: the other cameras' selections stay untouched.
        math::SelectedCoils one{};
        one[1].start = start;
        one[1].end = end;
        math::selectedCoilTailCut(store, params, one);
        math::selectedCoilMaximum(store, one);
        selected[1] = one[1];
        coils.push_back(PitchCoil{start, end, one[1].maxValue, one[1].maxPoint});
        if (afterCoil) {
            afterCoil();
        }
    }
    return coils;
}

std::vector<std::string> pitchReportLines(const std::vector<PitchCoil>& coils) {
    std::vector<std::string> lines;
    lines.push_back("Отчет по камере №1");
    lines.push_back("Всего витков " + std::to_string(coils.size()));
    for (std::size_t p = 1; p <= coils.size(); ++p) {
        const PitchCoil& c = coils[p - 1];
        lines.push_back("№ " + std::to_string(p) + " Н= " + std::to_string(c.start) +
                        " M= " + std::to_string(c.maxPoint) + " K= " + std::to_string(c.end));
    }
    for (std::size_t p = coils.size(); p >= 2; --p) {
        const std::int32_t d = coils[p - 1].maxPoint - coils[p - 2].maxPoint;
        const float mm = static_cast<float>(d) * 0.325F;
        char buf[32];
        std::snprintf(buf, sizeof buf, "%5.1f", static_cast<double>(mm));
        lines.push_back("Виток" + std::to_string(p) + std::to_string(p - 1) + ":  " + std::to_string(d) + "ед " + buf +
                        "мм");
    }
    return lines;
}

} // namespace veltron::service
