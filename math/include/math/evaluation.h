// The four-camera evaluation: the steps that turn the four camera profiles into the spring's
// height, outer diameter, non-perpendicularity and pitch spread. Each step is one button of
// the engineering window (the window calls these functions and draws the store, the coil
// table and the results); the automatic spring measurement runs open() and autoCompute().
//
// State persists between runs: every open() replaces the profiles and the point counts,
// every segmentStep() the coil table, every computeStep() the results. A step that fails
// (a missing or malformed profile file, a fit file that cannot be written or read back)
// throws std::runtime_error and ends the chain at that step.
#pragma once

#include "math/filters.h"
#include "math/fit.h"
#include "math/geometry.h"
#include "math/params.h"
#include "math/profile.h"

#include <functional>
#include <string>
#include <vector>

namespace veltron::math {

class FourCameraEvaluation {
public:
    FourCameraEvaluation(ProfileStore& store, const Calibration& calibration, const MathParams& params);

    // Window state and hooks.
    bool cmrFormat = false;                     // the "Дельтар-М" box: read the "cmr" files
    LineSink log;                               // problems worth a log line
    LineSink trace;                             // the calibrated dump lines under DebugMMsaveMessages
    std::function<void(int camera)> drawCamera; // called wherever the window redraws a camera

    void open();            // "Открыть": load the profiles, clear the memo
    void valueWindowStep(); // "1": open, then the value window filter
    void pointWindowStep(); // "3"
    void medianStep();      // "Med5"
    void segmentStep();     // "v": coil table, and a listing of every camera's coils
    void smoothStep();      // "МНК": least-squares smoothing of the inner coils
    void computeStep();     // "Расчет": the four results and the report lines
    void autoCompute();     // "Авторасчет": 1, 3, Med5, v, МНК when FMNKEnable, Расчет

    const ProfileStore& store() const { return store_; }
    const PointCounts& counts() const { return counts_; }
    const CoilTable& coils() const { return coils_; }
    const GeometryResults& results() const { return results_; }
    const std::vector<std::string>& memo() const { return memo_; }
    // "1:" + N(1) .. "4:" + N(4), the point count labels.
    std::string countLabel(int camera) const;
    // The fit used by the smoothing; its degree and step stay as set here (2 and 1 initially).
    PolynomialFit& fit() { return fit_; }
    // Where the fit writes and the smoothing reads back fi.txt: the base folder of the store.
    std::filesystem::path fitFile() const;

private:
    void drawAll();
    void listCoils(int camera);
    void smoothCoil(int camera, int k);

    ProfileStore& store_;
    const Calibration& calibration_;
    const MathParams& params_;
    PointCounts counts_{};
    CoilTable coils_{};
    GeometryResults results_{};
    std::vector<std::string> memo_;
    PolynomialFit fit_;
};

} // namespace veltron::math
