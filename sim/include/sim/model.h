// The physical rig in simulated time: four axes between their end sensors, the press working
// against the spring on the rig, the load cell, the encoders and the scan of the geometry
// measurer that the cameras sample.
//
// Lifecycle of a move: a motion command starts it (mode, direction, time of the payload); it
// runs at the axis's speed until its goal is met (end sensor, contact, force, lift-off), its
// time is up (the controller's own time-out, or the jog's duration), the axis meets a limit,
// or a stop command arrives. Simulated time is real time multiplied by the speed factor, so
// every time of motion is divided by it.
#pragma once

#include "sim/spring.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace veltron {
struct Settings;
}

namespace veltron::sim {

enum class AxisId { carriage, centring, geometry, press };
inline constexpr int kAxes = 4;
std::optional<AxisId> axisByName(const std::string& name);
const char* axisName(AxisId id);

// Bits of the main controller's status word.
enum StatusBit : int {
    kCentringClosed = 0,
    kCarriageLeft = 1,
    kCarriageRight = 2,
    kGeometryUp = 3,
    kGeometryDown = 4,
    kPressUp = 5,
    kTouch1 = 6,
    kTouch2 = 7,
    kTouch3 = 8,
};

// What the rig is made of; filled from the installation's settings by rigConfigFrom().
struct RigConfig {
    // Scan of the geometry measurer: upper end at the height of scan point 1, one camera point
    // every scanStep mm, NZ points down to the lower end.
    double scanTop = 600.0;   // [mm above the rig's base]
    double scanStep = 0.05;   // [mm per point] = (HV - HN) / NZ
    double scanBottom = 100.; // [mm]
    int divider = 8;          // second controller's divider at power-on (SDIV)
    // Load cell line of [Convert]: ADC value x1, x2 at the weights y1, y2 [kg].
    double a2kx1 = 0, a2ky1 = 0, a2kx2 = 50000, a2ky2 = 10000;
    int adcZero = 5; // ADC of the unloaded cell above the line's zero (a real cell never reads 0)
    // Press encoder of [Mathem]: mm = Hpr - count * (cmm1 - cmm2) / (cLir2 - cLir1) + dHpr.
    double Hpr = 0, dHpr = 0, cLir1 = 0, cLir2 = 100000, cmm1 = 600, cmm2 = 100;
    // Travel and speeds [mm], [mm/s].
    double carriageTravel = 1000, carriageSpeed = 400;
    double centringTravel = 60, centringSpeed = 40;
    double geometrySpeed = 300;
    double pressTop = 560, pressBottom = 40, pressSpeed = 40;
    // Heights above the spring's top face at which the three touch sensors close [mm].
    std::array<double, 3> touchOffsets{0.3, 0.2, 0.1};
};

RigConfig rigConfigFrom(const Settings& settings);

struct Axis {
    double pos = 0; // [mm]; height for the geometry measurer and the press
    double lo = 0;  // limits [mm]
    double hi = 0;
    double speed = 0;    // [mm/s]
    int moving = 0;      // +1 towards hi, -1 towards lo, 0 stopped
    double stopAt = 0;   // position that ends the move (goal), or a limit
    double endTime = 0;  // simulated time at which the move ends [ms]
    bool jammed = false; // fault: never reaches either end (stops short of it)
};

class RigModel {
public:
    explicit RigModel(const RigConfig& config);

    const RigConfig& config() const { return config_; }
    double now() const { return t_; }
    // Moves simulated time on to t [ms] (never backwards).
    void advanceTo(double t);

    // Motion payload of commands 34 (carriage), 37 (centring), 35 (geometry), 36 (press):
    // mode 0 stop, 1 run to the end, 2 run for the time (jog), 3 press to a force or to
    // lift-off; direction 0 left, up or open, 1 right, down or close; time in ms; target
    // (press mode 3 down) in ADC units.
    void command(AxisId axis, int mode, int direction, std::int64_t timeMs, int target);

    const Axis& axis(AxisId id) const { return axes_[static_cast<int>(id)]; }
    void setJammed(AxisId id, bool jammed);
    void setLoadCellDead(bool dead) { loadCellDead_ = dead; } // the ADC then reads 0

    // Sensors and readings as the controllers report them now.
    std::uint16_t statusWord() const;
    bool forceReached() const { return forceReached_; }
    double forceKg() const;
    std::uint16_t adc() const;
    std::int32_t pressCount() const;
    std::int32_t encoder(int n) const; // 1 geometry measurer, 2 carriage; since their reset
    void resetEncoder(int n);
    std::uint16_t scanPulses() const; // second controller's encoder
    bool drain = false;
    bool pumpRunning = false;

    // Stuck sensors: bit -> forced value; free again with release.
    void stick(int bit, bool value);
    void release(int bit);

    // The second controller's scan: start arms the cameras at the measurer's height; points
    // are taken every divider pulses while it runs down.
    void startScan();
    void resetScan();
    void setDivider(int d);
    int divider() const { return divider_; }
    double pointStep() const; // [mm] between camera points at the current divider
    bool scanArmed() const { return armed_; }
    double scanStart() const { return scanStart_; }
    int scanPoints() const; // points taken since the scan start (kept after a reset)

    const SpringSpec& spring() const { return spring_; }
    void setSpring(const SpringSpec& s) { spring_ = s; }

private:
    Axis& ax(AxisId id) { return axes_[static_cast<int>(id)]; }
    double pulseMm() const;
    double pressContactHeight() const; // highest touch height; below it the spring is loaded
    bool touch(int k) const;

    RigConfig config_;
    SpringSpec spring_;
    std::array<Axis, kAxes> axes_{};
    double t_ = 0;
    bool forceReached_ = false;
    double forceTarget_ = 0; // press mode 3 down: height at which the target is reached [mm]
    std::array<std::int32_t, 3> encoderZero_{};
    std::array<int, 16> stuck_{}; // 0 free, 1 stuck on, -1 stuck off
    bool loadCellDead_ = false;
    int divider_ = 8;
    bool armed_ = false;
    double scanStart_ = 0;
    double scanLowest_ = 0;
    std::int64_t pulseZero_ = 0;
    int frozenPoints_ = 0; // points of a scan ended by a reset
};

} // namespace veltron::sim
