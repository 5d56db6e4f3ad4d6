#include "sim/model.h"

#include "app/settings.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace veltron::sim {
namespace {

constexpr double kEps = 1e-6;
// A jammed axis stops this far short of the end it is driven to [mm].
constexpr double kJamShort = 5.0;

double finiteOr(double v, double fallback) {
    return std::isfinite(v) ? v : fallback;
}

} // namespace

std::optional<AxisId> axisByName(const std::string& name) {
    if (name == "carriage") {
        return AxisId::carriage;
    }
    if (name == "centring") {
        return AxisId::centring;
    }
    if (name == "geometry") {
        return AxisId::geometry;
    }
    if (name == "press") {
        return AxisId::press;
    }
    return std::nullopt;
}

const char* axisName(AxisId id) {
    switch (id) {
    case AxisId::carriage:
        return "carriage";
    case AxisId::centring:
        return "centring";
    case AxisId::geometry:
        return "geometry";
    case AxisId::press:
        return "press";
    }
    return "?";
}

RigConfig rigConfigFrom(const Settings& s) {
    RigConfig c;
    const double step = s.NZ > 0 ? (static_cast<double>(s.HV) - s.HN) / s.NZ : 0.0;
    c.scanStep = step > 0 && std::isfinite(step) ? step : 0.05;
    // Point 1 lies half a step above the height constants (the evaluation's median moves
    // every coil start two points earlier, and the constants are set for that).
    c.scanTop = finiteOr(static_cast<double>(s.Hgm) + s.dHgm + s.DMV + c.scanStep / 2.0, 600.0);
    const int n = s.NZ > 0 ? s.NZ : 10000;
    c.scanBottom = c.scanTop - (n - 1) * c.scanStep;
    c.divider = s.SDIV > 0 ? s.SDIV : 8;
    c.a2kx1 = s.a2kx1;
    c.a2ky1 = s.a2ky1;
    c.a2kx2 = s.a2kx2;
    c.a2ky2 = s.a2ky2;
    c.Hpr = s.Hpr;
    c.dHpr = s.dHpr;
    c.cLir1 = s.cLir1;
    c.cLir2 = s.cLir2;
    c.cmm1 = s.cmm1;
    c.cmm2 = s.cmm2;
    return c;
}

RigModel::RigModel(const RigConfig& config) : config_(config), divider_(config.divider) {
    Axis& car = ax(AxisId::carriage);
    car.lo = 0;
    car.hi = config.carriageTravel;
    car.speed = config.carriageSpeed;
    car.pos = 0;
    Axis& cen = ax(AxisId::centring);
    cen.lo = 0;
    cen.hi = config.centringTravel;
    cen.speed = config.centringSpeed;
    cen.pos = 0;
    Axis& geo = ax(AxisId::geometry);
    geo.lo = std::min(config.scanBottom, config.scanTop);
    geo.hi = config.scanTop;
    geo.speed = config.geometrySpeed;
    geo.pos = geo.hi;
    Axis& pr = ax(AxisId::press);
    pr.lo = config.pressBottom;
    pr.hi = config.pressTop;
    pr.speed = config.pressSpeed;
    pr.pos = pr.hi;
    scanLowest_ = geo.pos;
}

void RigModel::advanceTo(double t) {
    if (t <= t_) {
        return;
    }
    const double dt = t - t_;
    for (int i = 0; i < kAxes; ++i) {
        Axis& a = axes_[static_cast<std::size_t>(i)];
        if (a.moving == 0) {
            continue;
        }
        const double span = std::min(dt, std::max(a.endTime - t_, 0.0));
        const double next = a.pos + a.moving * a.speed * span / 1000.0;
        bool stop = span < dt; // time is up
        if ((a.moving > 0 && next >= a.stopAt) || (a.moving < 0 && next <= a.stopAt)) {
            a.pos = a.stopAt;
            stop = true;
        } else {
            a.pos = next;
        }
        if (static_cast<AxisId>(i) == AxisId::press && stop && forceTarget_ > 0 && a.moving < 0 &&
            a.pos <= forceTarget_ + kEps) {
            forceReached_ = true;
        }
        if (stop) {
            a.moving = 0;
            if (static_cast<AxisId>(i) == AxisId::press) {
                forceTarget_ = 0;
            }
        }
        if (static_cast<AxisId>(i) == AxisId::geometry) {
            scanLowest_ = std::min(scanLowest_, a.pos);
        }
    }
    t_ = t;
}

void RigModel::command(AxisId id, int mode, int direction, std::int64_t timeMs, int target) {
    Axis& a = ax(id);
    if (id == AxisId::press) {
        forceReached_ = false;
        forceTarget_ = 0;
    }
    if (mode == 0 || timeMs <= 0) {
        a.moving = 0;
        return;
    }
    // Direction 1 is right (carriage), close (centring) or down (geometry measurer, press).
    const bool heightAxis = id == AxisId::geometry || id == AxisId::press;
    int sign = direction == 1 ? 1 : -1;
    if (heightAxis) {
        sign = -sign;
    }
    double stopAt = sign > 0 ? a.hi : a.lo;
    if (a.jammed) {
        stopAt = sign > 0 ? std::min(stopAt, a.hi - kJamShort) : std::max(stopAt, a.lo + kJamShort);
    }
    if (id == AxisId::press && spring_.present) {
        const double contact = pressContactHeight();
        if (mode == 1 && sign < 0) {
            // To contact: the controller stops when all three touch sensors have closed.
            stopAt = std::max(stopAt, spring_.freeHeight +
                                          *std::min_element(config_.touchOffsets.begin(), config_.touchOffsets.end()));
        } else if (mode == 3 && sign < 0) {
            // To a force: the height at which the ADC reaches the target.
            const double dx = config_.a2kx2 - config_.a2kx1;
            const double kgPerAdc = dx != 0 ? (config_.a2ky2 - config_.a2ky1) / dx : 0.0;
            const double kg = config_.a2ky1 + (target - config_.adcZero - config_.a2kx1) * kgPerAdc;
            const double rate = spring_.rate * spring_.count;
            if (rate > 0 && std::isfinite(kg)) {
                const double h = spring_.freeHeight - std::max(kg, 0.0) / rate;
                if (h > stopAt) {
                    stopAt = h;
                    forceTarget_ = h;
                }
            }
        } else if (mode == 3 && sign > 0) {
            // Lift-off: up until every touch sensor has opened.
            stopAt = std::min(stopAt, contact + 1.0);
        }
    } else if (id == AxisId::press && mode == 3 && sign > 0) {
        stopAt = a.pos; // nothing to lift off from
    }
    if ((sign > 0 && a.pos >= stopAt) || (sign < 0 && a.pos <= stopAt)) {
        a.moving = 0; // already there
        if (forceTarget_ > 0) {
            forceReached_ = true;
            forceTarget_ = 0;
        }
        return;
    }
    a.moving = sign;
    a.stopAt = stopAt;
    a.endTime = t_ + static_cast<double>(timeMs);
}

void RigModel::setJammed(AxisId id, bool jammed) {
    Axis& a = ax(id);
    a.jammed = jammed;
    // An axis that jams while resting at an end has backed off it: its end sensor opens,
    // and no later move brings it back there.
    if (jammed && a.moving == 0) {
        if (a.pos <= a.lo + kEps) {
            a.pos = std::min(a.lo + kJamShort, a.hi);
        } else if (a.pos >= a.hi - kEps) {
            a.pos = std::max(a.hi - kJamShort, a.lo);
        }
    }
}

double RigModel::pressContactHeight() const {
    return spring_.freeHeight + *std::max_element(config_.touchOffsets.begin(), config_.touchOffsets.end());
}

bool RigModel::touch(int k) const {
    if (!spring_.present) {
        return false;
    }
    return axis(AxisId::press).pos <= spring_.freeHeight + config_.touchOffsets[static_cast<std::size_t>(k)] + kEps;
}

std::uint16_t RigModel::statusWord() const {
    const Axis& car = axis(AxisId::carriage);
    const Axis& cen = axis(AxisId::centring);
    const Axis& geo = axis(AxisId::geometry);
    const Axis& pr = axis(AxisId::press);
    std::array<bool, 16> bit{};
    bit[kCentringClosed] = cen.pos >= cen.hi - kEps;
    bit[kCarriageLeft] = car.pos <= car.lo + kEps;
    bit[kCarriageRight] = car.pos >= car.hi - kEps;
    bit[kGeometryUp] = geo.pos >= geo.hi - kEps;
    bit[kGeometryDown] = geo.pos <= geo.lo + kEps;
    bit[kPressUp] = pr.pos >= pr.hi - kEps;
    bit[kTouch1] = touch(0);
    bit[kTouch2] = touch(1);
    bit[kTouch3] = touch(2);
    std::uint16_t w = 0;
    for (int b = 0; b < 16; ++b) {
        const int s = stuck_[static_cast<std::size_t>(b)];
        const bool v = s == 0 ? bit[static_cast<std::size_t>(b)] : s > 0;
        if (v) {
            w = static_cast<std::uint16_t>(w | (1U << b));
        }
    }
    return w;
}

void RigModel::stick(int bit, bool value) {
    if (bit >= 0 && bit < 16) {
        stuck_[static_cast<std::size_t>(bit)] = value ? 1 : -1;
    }
}

void RigModel::release(int bit) {
    if (bit >= 0 && bit < 16) {
        stuck_[static_cast<std::size_t>(bit)] = 0;
    }
}

double RigModel::forceKg() const {
    if (!spring_.present) {
        return 0.0;
    }
    const double compression = spring_.freeHeight - axis(AxisId::press).pos;
    return compression > 0 ? compression * spring_.rate * spring_.count : 0.0;
}

std::uint16_t RigModel::adc() const {
    if (loadCellDead_) {
        return 0;
    }
    const double dy = config_.a2ky2 - config_.a2ky1;
    const double adcPerKg = dy != 0 ? (config_.a2kx2 - config_.a2kx1) / dy : 0.0;
    const double v = config_.adcZero + config_.a2kx1 + (forceKg() - config_.a2ky1) * adcPerKg;
    if (!std::isfinite(v)) {
        return 0;
    }
    return static_cast<std::uint16_t>(std::clamp(std::round(v), 0.0, 65535.0));
}

std::int32_t RigModel::pressCount() const {
    // The inverse of the program's press height conversion, so that the count it reads back
    // gives the plate's height.
    const double k = (config_.cmm1 - config_.cmm2) / (config_.cLir2 - config_.cLir1);
    if (!std::isfinite(k) || k == 0) {
        return 0;
    }
    const double c = (config_.Hpr + config_.dHpr - axis(AxisId::press).pos) / k;
    if (!std::isfinite(c)) {
        return 0;
    }
    return static_cast<std::int32_t>(std::clamp(std::round(c), -2147483648.0, 2147483647.0));
}

double RigModel::pulseMm() const {
    return config_.scanStep / std::max(config_.divider, 1);
}

double RigModel::pointStep() const {
    return pulseMm() * std::max(divider_, 1);
}

std::int32_t RigModel::encoder(int n) const {
    std::int64_t raw = 0;
    if (n == 1) {
        raw = std::llround((axis(AxisId::geometry).hi - axis(AxisId::geometry).pos) / pulseMm());
    } else if (n == 2) {
        raw = std::llround(axis(AxisId::carriage).pos * 100.0); // 0.01 mm per count
    } else {
        return 0;
    }
    return static_cast<std::int32_t>(raw - encoderZero_[static_cast<std::size_t>(n)]);
}

void RigModel::resetEncoder(int n) {
    if (n == 1 || n == 2) {
        encoderZero_[static_cast<std::size_t>(n)] = 0;
        encoderZero_[static_cast<std::size_t>(n)] = encoder(n);
    }
}

std::uint16_t RigModel::scanPulses() const {
    const std::int64_t raw = std::llround((axis(AxisId::geometry).hi - axis(AxisId::geometry).pos) / pulseMm());
    return static_cast<std::uint16_t>((raw - pulseZero_) & 0xFFFF);
}

void RigModel::startScan() {
    armed_ = true;
    frozenPoints_ = 0;
    scanStart_ = axis(AxisId::geometry).pos;
    scanLowest_ = scanStart_;
}

void RigModel::resetScan() {
    // The cameras keep what they took; only the counting of pulses starts again.
    frozenPoints_ = scanPoints();
    armed_ = false;
    pulseZero_ = std::llround((axis(AxisId::geometry).hi - axis(AxisId::geometry).pos) / pulseMm());
}

void RigModel::setDivider(int d) {
    divider_ = std::max(d, 1);
}

int RigModel::scanPoints() const {
    if (!armed_) {
        return frozenPoints_;
    }
    if (scanLowest_ >= scanStart_ - kEps) {
        return 0;
    }
    // A point at the start height and one more at every step passed on the way down.
    return static_cast<int>(std::floor((scanStart_ - scanLowest_) / pointStep() + 1e-6)) + 1;
}

} // namespace veltron::sim
