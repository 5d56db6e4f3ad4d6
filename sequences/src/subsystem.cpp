#include "sequences/subsystem.h"

#include "math/evaluation.h"
#include "math/settings_bridge.h"
#include "platform/ini.h"
#include "platform/text.h"

#include <chrono>

namespace veltron {

GeometryReading evaluateProfiles(const Settings& settings, const CalibrationTables& calibration,
                                 const std::filesystem::path& workDir) {
    auto store = std::make_unique<math::ProfileStore>();
    store->setBaseDir(workDir);
    auto cal = std::make_unique<math::Calibration>();
    for (int c = 1; c <= 4; ++c) {
        for (int p = 0; p < math::kCalibrationEntries && p < CalibrationTables::kEntries; ++p) {
            cal->table(c)[static_cast<std::size_t>(p)] =
                calibration.table[static_cast<std::size_t>(c)][static_cast<std::size_t>(p)];
        }
    }
    const math::MathParams params = math::mathParamsFrom(settings);
    math::FourCameraEvaluation evaluation(*store, *cal, params);
    evaluation.open();
    evaluation.autoCompute();
    const math::GeometryResults& r = evaluation.results();
    const auto widen = [](const math::Measure& m) -> std::optional<double> {
        if (!m) {
            return std::nullopt;
        }
        return static_cast<double>(*m);
    };
    return GeometryReading{widen(r.height), widen(r.diameter), widen(r.pitchSpread), widen(r.nonPerp)};
}

int pauseScaleSetting(const std::filesystem::path& setupIni) {
    try {
        const IniFile ini = IniFile::load(setupIni);
        const auto value = ini.get("Debug", "PauseScale");
        if (value) {
            const auto n = text::parseInt(text::trim(*value));
            if (n && *n >= 0 && *n <= 100) {
                return *n;
            }
        }
    } catch (...) {
        // a missing or unreadable file keeps the pauses as built
    }
    return 100;
}

namespace {

SequenceContext contextOf(const SubsystemParts& p, FaultScreens& faults, CurrentRecords& records, RandomSource& rng) {
    return SequenceContext{p.settings,   p.screen, p.keypad, p.pickers, p.state, p.catalogue,
                           p.connection, records,  rng,      p.clock,   faults,  p.rig};
}

std::uint32_t seedNow() {
    return static_cast<std::uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count());
}

} // namespace

SequenceSubsystem::SequenceSubsystem(const SubsystemParts& parts)
    : faults(parts.screen, parts.keypad, parts.settings, parts.faultHooks), rng(seedNow()),
      sequences(contextOf(parts, faults, records, rng), {}) {
    SequenceHooks& h = sequences.hooks();
    const Settings& settings = parts.settings;
    const CalibrationTables& calibration = parts.calibration;
    const std::filesystem::path workDir = parts.screen.paths().workDir;
    h.evaluateGeometry = [&settings, &calibration, workDir] {
        return evaluateProfiles(settings, calibration, workDir);
    };
    h.debugInput = [this](double height, double diameter) {
        if (!debugInput_) {
            debugInput_ = std::make_unique<TForm5>();
        }
        return debugInput_->ask(height, diameter);
    };
}

} // namespace veltron
