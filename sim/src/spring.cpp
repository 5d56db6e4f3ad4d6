#include "sim/spring.h"

#include "math/synthetic_spring.h"
#include "platform/files.h"
#include "platform/text.h"

#include <cmath>
#include <cstdio>
#include <stdexcept>

namespace veltron::sim {
namespace {

std::string lower(std::string s) {
    for (char& ch : s) {
        if (ch >= 'A' && ch <= 'Z') {
            ch = static_cast<char>(ch - 'A' + 'a');
        }
    }
    return s;
}

double number(const std::string& key, const std::string& value) {
    const auto v = text::parseDouble(value);
    if (!v || !std::isfinite(*v)) {
        throw std::invalid_argument("spring: " + key + " needs a number, not \"" + value + "\"");
    }
    return *v;
}

} // namespace

double SpringSpec::pitch() const {
    // The profile model grinds 0.6 of the bar's radius off each end.
    const double r = wireDiameter / 2.0;
    return turns > 0 ? (freeHeight - 0.8 * r) / turns : 0.0;
}

SpringSpec parseSpring(std::string_view text, SpringSpec s) {
    std::string item;
    auto apply = [&s](const std::string& raw) {
        if (raw.empty()) {
            return;
        }
        const auto eq = raw.find('=');
        if (eq == std::string::npos || eq == 0) {
            throw std::invalid_argument("spring: \"" + raw + "\" is not key=value");
        }
        const std::string key = raw.substr(0, eq);
        const std::string value = raw.substr(eq + 1);
        // "D" (outer) and "d" (bar) differ only in case, so they are matched before folding.
        if (key == "D") {
            s.outerDiameter = number(key, value);
            return;
        }
        if (key == "d") {
            s.wireDiameter = number(key, value);
            return;
        }
        const std::string k = lower(key);
        if (k == "h" || k == "height") {
            s.freeHeight = number(key, value);
        } else if (k == "diameter") {
            s.outerDiameter = number(key, value);
        } else if (k == "bar") {
            s.wireDiameter = number(key, value);
        } else if (k == "n" || k == "turns") {
            s.turns = number(key, value);
        } else if (k == "tiltx") {
            s.tiltX = number(key, value);
        } else if (k == "tilty") {
            s.tiltY = number(key, value);
        } else if (k == "x") {
            s.offsetX = number(key, value);
        } else if (k == "y") {
            s.offsetY = number(key, value);
        } else if (k == "rate") {
            s.rate = number(key, value);
        } else if (k == "count") {
            s.count = static_cast<int>(number(key, value));
        } else if (k == "present") {
            s.present = number(key, value) != 0.0;
        } else {
            throw std::invalid_argument("spring: unknown key \"" + key + "\"");
        }
    };
    bool comment = false;
    for (char ch : text) {
        if (ch == '\n' || ch == '\r') {
            comment = false;
        }
        if (comment) {
            continue;
        }
        if (ch == '#' && item.empty()) {
            comment = true;
            continue;
        }
        if (ch == ' ' || ch == '\t' || ch == ',' || ch == ';' || ch == '\n' || ch == '\r') {
            apply(item);
            item.clear();
        } else {
            item += ch;
        }
    }
    apply(item);
    if (s.freeHeight <= 0 || s.outerDiameter <= 0 || s.wireDiameter <= 0 || s.wireDiameter * 2 >= s.outerDiameter ||
        s.turns <= 0 || s.rate < 0 || s.count < 1) {
        throw std::invalid_argument("spring: sizes must be positive, the bar thinner than the radius, count >= 1");
    }
    return s;
}

SpringSpec readSpringFile(const std::filesystem::path& path) {
    const auto content = files::readFile(path);
    if (!content) {
        throw std::invalid_argument("spring: cannot read " + path.string());
    }
    return parseSpring(*content);
}

std::string springText(const SpringSpec& s) {
    char buf[256];
    std::snprintf(
        buf, sizeof buf,
        "present=%d H=%.3f D=%.3f d=%.3f n=%.3f pitch=%.3f tiltx=%.5f tilty=%.5f x=%.3f y=%.3f rate=%.3f count=%d",
        s.present ? 1 : 0, s.freeHeight, s.outerDiameter, s.wireDiameter, s.turns, s.pitch(), s.tiltX, s.tiltY,
        s.offsetX, s.offsetY, s.rate, s.count);
    return buf;
}

std::int32_t pixelForDistance(const CameraSetup& cams, int camera, double d) {
    const auto& t = cams.calibration.table(camera);
    const double v = d - cams.params.dmm[static_cast<std::size_t>(camera)];
    const auto at = [&t](int p) { return static_cast<double>(t[static_cast<std::size_t>(p)]); };
    const bool falling = at(1) > at(math::kMaxPixel);
    if (falling) {
        if (v > at(1) || v < at(math::kMaxPixel)) {
            return 0;
        }
        int lo = 1;
        int hi = math::kMaxPixel;
        while (lo < hi) { // first pixel whose distance is <= v
            const int mid = (lo + hi) / 2;
            if (at(mid) <= v) {
                hi = mid;
            } else {
                lo = mid + 1;
            }
        }
        if (lo > 1 && std::fabs(at(lo - 1) - v) < std::fabs(at(lo) - v)) {
            --lo;
        }
        return lo;
    }
    // A table that does not fall (a misconfigured installation): nearest entry, if in range.
    int best = 0;
    double bestErr = 0.5; // more than half a millimetre away counts as out of range
    for (int p = 1; p <= math::kMaxPixel; ++p) {
        const double e = std::fabs(at(p) - v);
        if (e < bestErr) {
            bestErr = e;
            best = p;
        }
    }
    return best;
}

std::array<std::vector<std::int32_t>, 5> cameraProfiles(const SpringSpec& spring, const CameraSetup& cams, double top,
                                                        double step, int points) {
    std::array<std::vector<std::int32_t>, 5> rows;
    for (auto& r : rows) {
        r.assign(static_cast<std::size_t>(std::max(points, 0)), 0);
    }
    if (!spring.present || points <= 0) {
        return rows;
    }
    // The synthetic scan has its own camera frame (beams at 180 mm, cameras 3 and 4 at
    // 360 mm, its own tables). The spring is placed there so that every beam passes the axis
    // at the same lateral distance as on this rig; each seen distance then differs from this
    // rig's only by a constant per camera, and is re-read through this rig's tables.
    math::synth::ScanModel scan;
    scan.top = top;
    scan.step = step;
    scan.points = points;
    const math::MathParams synthParams = math::synth::matchingParams(scan);
    const auto& p = cams.params;
    const double cx = p.Va / 2.0 + spring.offsetX; // axis at the base, this rig's frame
    const double cy = p.Vb / 2.0 + spring.offsetY;
    const double sx = synthParams.gx[1] - p.gx[1] + cx; // the same axis, synthetic frame
    const double sy = synthParams.gx[4] - p.gx[4] + cy;
    math::synth::SpringModel model;
    model.freeHeight = spring.freeHeight;
    model.outerDiameter = spring.outerDiameter;
    model.wireDiameter = spring.wireDiameter;
    model.turns = spring.turns;
    model.centreX = sx;
    model.centreY = sy;
    model.tiltX = spring.tiltX;
    model.tiltY = spring.tiltY;
    const math::synth::SyntheticScan synth = math::synth::scanSpring(model, scan);
    // Camera 1 looks from y = 0, camera 2 from x = 0, camera 3 from y = Vb, camera 4 from x = Va.
    const std::array<double, 5> shift{0.0, cy - sy, cx - sx, (p.Vb - cy) - (synthParams.Vb - sy),
                                      (p.Va - cx) - (synthParams.Va - sx)};
    for (int c = 1; c <= math::kCameras; ++c) {
        const auto ci = static_cast<std::size_t>(c);
        const auto& in = synth.rows[ci];
        for (std::size_t n = 0; n < in.size() && n < rows[ci].size(); ++n) {
            if (in[n] == 0) {
                continue;
            }
            const double d = math::cameraDistance(synth.calibration, synthParams, c, in[n]) + shift[ci];
            rows[ci][n] = pixelForDistance(cams, c, d);
        }
    }
    return rows;
}

} // namespace veltron::sim
