#include "math/filters.h"

#include "platform/text.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>

namespace veltron::math {
namespace {

// The count a loop may use: a load never sets more than kLoadPoints, and a count set by hand
// must not walk past the row.
std::int32_t pointCount(const PointCounts& counts, int camera) {
    return std::clamp<std::int32_t>(counts[camera], 0, kRowSlots);
}

// The cut point start + (end - start) * k11 / k12, kept within [start, end]; nothing when
// k12 is 0 (the ratio is undefined) or the product is not representable.
std::optional<std::int32_t> tailCutPoint(std::int32_t start, std::int32_t end, const CameraParams& k) {
    if (k[12] == 0) {
        return std::nullopt;
    }
    const double offset = static_cast<double>(end - start) * k[11] / k[12];
    const std::optional<std::int32_t> t = text::checkedTrunc(static_cast<double>(start) + offset);
    if (!t) {
        return std::nullopt;
    }
    return std::clamp(*t, std::min(start, end), std::max(start, end));
}

} // namespace

void valueWindowFilter(ProfileStore& store, const PointCounts& counts, const MathParams& params) {
    for (int c = 1; c <= kCameras; ++c) {
        std::int32_t* row = store.row(c);
        const std::int32_t lo = params.k[c][1];
        const std::int32_t hi = params.k[c][2];
        for (std::int32_t n = 1, N = pointCount(counts, c); n <= N; ++n) {
            if (row[n] <= lo || row[n] > hi) {
                row[n] = 0;
            }
        }
    }
}

void thresholdFilter(ProfileStore& store, const PointCounts& counts, const MathParams& params) {
    for (int c = 1; c <= kCameras; ++c) {
        std::int32_t* row = store.row(c);
        for (std::int32_t n = 1, N = pointCount(counts, c); n <= N; ++n) {
            if (row[n] <= params.k[c][3]) {
                row[n] = 0;
            }
        }
    }
}

void pointWindowFilter(ProfileStore& store, const PointCounts& counts, const MathParams& params) {
    for (int c = 1; c <= kCameras; ++c) {
        std::int32_t* row = store.row(c);
        for (std::int32_t n = 1, N = pointCount(counts, c); n <= N; ++n) {
            if (n < params.k[c][5] || n >= params.k[c][6]) {
                row[n] = 0;
            }
        }
    }
}

void shortRunFilter(ProfileStore& store, const PointCounts& counts, const MathParams& params) {
    for (int c = 1; c <= kCameras; ++c) {
        std::int32_t* row = store.row(c);
        const std::int32_t N = pointCount(counts, c);
        const std::int32_t t = params.k[c][7];
        std::int32_t n = 1;
        do {
            if (row[n] != 0) {
                const std::int32_t s = n;
                std::int32_t e = n;
                std::int32_t L = 1; // ends one above the run's length
                do {
                    e = n;
                    ++n;
                    ++L;
                } while (row[n] != 0 && n < N);
                if (row[n] == 0 && L <= t && e >= s) {
                    std::fill(row + s, row + e + 1, 0);
                }
            }
            ++n;
        } while (n < N);
    }
}

void bridgeGaps(ProfileStore& store, const PointCounts& counts, const MathParams& params) {
    for (int c = 1; c <= kCameras; ++c) {
        std::int32_t* row = store.row(c);
        const std::int32_t N = pointCount(counts, c);
        const std::int32_t t = params.k[c][9];
        std::int32_t n = 2;
        std::int32_t v = 0;
        while (true) {
            do { // zeros before a run
                v = row[n++];
            } while (n < N && v <= 0);
            if (n >= N) {
                break;
            }
            do { // the run
                v = row[n++];
            } while (n < N && v != 0);
            if (n >= N) {
                break;
            }
            const std::int32_t g = n - 1; // first zero of the gap
            do {
                v = row[n++];
            } while (n < N && v <= 0);
            if (n >= N) {
                break;
            }
            const std::int32_t h = n - 1; // first non-zero point after the gap
            if (h - g <= t && h >= g) {
                std::fill(row + g, row + h + 1, row[g - 1]);
            }
            if (n >= N) {
                break;
            }
        }
    }
}

namespace {

// Median of five values with six comparisons: each step drops a value that has at least three
// others on one side of it.
inline std::int32_t medianOfFive(std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t d, std::int32_t e) {
    if (b < a) {
        std::swap(a, b);
    }
    if (d < c) {
        std::swap(c, d);
    }
    if (c < a) { // a is below b, c and d: not the median
        std::swap(b, d);
        c = a;
    }
    a = e;
    if (b < a) {
        std::swap(a, b);
    }
    if (a < c) {
        std::swap(b, d);
        a = c;
    }
    return std::min(d, a);
}

} // namespace

void median5(std::int32_t* row, std::int32_t bound) {
    if (bound <= 5) {
        return;
    }
    // Each point needs the five values as they were before the pass; point j is overwritten
    // only after the medians that read it, since every window starts at its own point.
    for (std::int32_t j = 1; j <= bound - 5; ++j) {
        row[j] = medianOfFive(row[j], row[j + 1], row[j + 2], row[j + 3], row[j + 4]);
    }
}

void evaluationMedian(ProfileStore& store, const PointCounts& counts) {
    const std::int32_t bound = std::min<std::int32_t>(pointCount(counts, 1), kRowSlots - 5);
    for (int c = 1; c <= kCameras; ++c) {
        median5(store.row(c), bound);
    }
}

void workbenchMedian(ProfileStore& store, const PointCounts& counts, const MathParams& params) {
    if (!params.FMedEnable) {
        return;
    }
    for (int c = 1; c <= kCameras; ++c) {
        median5(store.row(c), std::min<std::int32_t>(pointCount(counts, c), kRowSlots - 5));
    }
}

void segmentCoils(ProfileStore& store, const PointCounts& counts, const MathParams& params, CoilTable& table,
                  const LineSink& log) {
    const std::int32_t V = std::max<std::int32_t>(params.Vmin, 1);
    for (int c = 1; c <= kCameras; ++c) {
        std::int32_t* row = store.row(c);
        const std::int32_t N = pointCount(counts, c);
        std::int32_t& count = table.count[c];
        auto& coils = table.coils[c];
        count = 0;
        coils.fill(Coil{});

        std::int32_t i = 1;
        std::int32_t run = 0;
        bool full = false;
        while (i < N && !full) {
            // Opening phase: V non-zero points in a row open a coil.
            bool opened = false;
            while (i < N) {
                run = row[i] > 0 ? run + 1 : 0;
                ++i;
                if (run >= V) {
                    if (count == kMaxCoils) {
                        if (log) {
                            log("Камера " + std::to_string(c) + ": больше " + std::to_string(kMaxCoils) +
                                " витков, остальные не учтены");
                        }
                        full = true;
                        break;
                    }
                    ++count;
                    coils[count].start = i - V;
                    coils[count].end = i;
                    run = 0;
                    opened = true;
                    break;
                }
            }
            if (!opened) {
                break;
            }
            // Closing phase: V zeros in a row close it; the scan resumes at the gap's start.
            while (i < N) {
                run = row[i] == 0 ? run + 1 : 0;
                ++i;
                coils[count].end = i - V - 1;
                if (run >= V) {
                    run = 0;
                    i -= V;
                    break;
                }
            }
        }

        if (params.FCutEnable && count > 0) {
            for (std::int32_t k = 1; k <= count; ++k) {
                Coil& coil = coils[k];
                const std::optional<std::int32_t> cut = tailCutPoint(coil.start, coil.end, params.k[c]);
                if (!cut) {
                    continue;
                }
                for (std::int32_t n = *cut + 1; n <= coil.end; ++n) {
                    row[n] = 0;
                }
                coil.end = *cut - 1;
            }
        }

        for (std::int32_t k = 1; k <= count; ++k) {
            Coil& coil = coils[k];
            coil.peak = coil.start;
            for (std::int32_t n = coil.start; n <= coil.end; ++n) {
                if (row[coil.peak] <= row[n]) {
                    coil.peak = n;
                }
            }
        }
    }
}

void selectSecondCoilFromStart(ProfileStore& store, const PointCounts& counts, SelectedCoils& selected) {
    for (int c = 1; c <= kCameras; ++c) {
        std::int32_t* row = store.row(c);
        const std::int32_t N = pointCount(counts, c);
        SelectedCoil& rec = selected[c];
        rec = SelectedCoil{};
        std::int32_t n = 2;
        // One phase: read a point, step on, repeat while the condition holds; false when the
        // phase ran into the end of the count.
        auto phase = [&](bool skipZeros) {
            std::int32_t v = 0;
            do {
                v = row[n++];
            } while (n < N && (skipZeros ? v <= 0 : v != 0));
            return n < N;
        };
        std::int32_t start = 0;
        std::int32_t end = 0;
        if (!phase(true)) {
            continue;
        }
        start = n - 1;
        if (!phase(false)) {
            continue;
        }
        end = n - 1;
        if (!phase(true)) {
            continue;
        }
        start = n - 1;
        if (!phase(false)) {
            continue;
        }
        end = n - 1;
        rec.start = start;
        rec.end = end;
        for (std::int32_t p = 1; p <= N; ++p) {
            if (p < start || p > end) {
                row[p] = 0;
            }
        }
    }
}

void selectSecondCoilFromEnd(ProfileStore& store, const PointCounts& counts, SelectedCoils& selected) {
    for (int c = 1; c <= kCameras; ++c) {
        std::int32_t* row = store.row(c);
        const std::int32_t N = pointCount(counts, c);
        SelectedCoil& rec = selected[c];
        rec = SelectedCoil{};
        std::int32_t n = N - 1;
        auto phase = [&](bool skipZeros) {
            std::int32_t v = 0;
            do {
                v = n >= 0 ? row[n] : 0;
                --n;
            } while (n > 2 && (skipZeros ? v <= 0 : v != 0));
            return n > 2;
        };
        std::int32_t start = 0;
        std::int32_t end = 0;
        if (!phase(true)) {
            continue;
        }
        start = n + 1;
        if (!phase(false)) {
            continue;
        }
        end = n + 1;
        if (!phase(true)) {
            continue;
        }
        start = n + 1;
        if (!phase(false)) {
            continue;
        }
        end = n + 1;
        std::swap(start, end);
        rec.start = start;
        rec.end = end;
        for (std::int32_t p = 1; p <= N; ++p) {
            if (p < start || p > end) {
                row[p] = 0;
            }
        }
    }
}

void selectedCoilTailCut(ProfileStore& store, const MathParams& params, const SelectedCoils& selected) {
    for (int c = 1; c <= kCameras; ++c) {
        const SelectedCoil& rec = selected[c];
        if (rec.start == 0) {
            continue;
        }
        const CameraParams& k = params.k[c];
        if (k[12] == 0) {
            continue;
        }
        const std::optional<std::int32_t> offset =
            text::checkedTrunc(static_cast<double>(rec.end - rec.start) * k[11] / k[12]);
        if (!offset) {
            continue;
        }
        const std::int32_t lo = std::min(rec.start, rec.end);
        const std::int32_t hi = std::max(rec.start, rec.end);
        const std::int32_t cut = std::clamp<std::int64_t>(static_cast<std::int64_t>(rec.start) + *offset, lo, hi);
        std::int32_t* row = store.row(c);
        for (std::int32_t n = cut; n <= rec.end && n <= kRowSlots; ++n) {
            row[n] = 0;
        }
    }
}

void selectedCoilMaximum(const ProfileStore& store, SelectedCoils& selected) {
    for (int c = 1; c <= kCameras; ++c) {
        SelectedCoil& rec = selected[c];
        if (rec.start == 0) {
            continue;
        }
        const std::int32_t* row = store.row(c);
        std::int32_t max = row[rec.start];
        std::int32_t at = rec.start;
        for (std::int32_t n = rec.start + 1; n <= rec.end && n <= kRowSlots; ++n) {
            if (row[n] >= max) {
                max = row[n];
                at = n;
            }
        }
        rec.maxValue = max;
        rec.maxPoint = at;
    }
}

} // namespace veltron::math
