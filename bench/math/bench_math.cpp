// The four-camera evaluation as veltron-eval runs it: setup.ini, the four calibration tables
// and four profiles of 10 000 points of a synthetic spring with 8 coils, then the automatic
// chain. The parts show where the time goes: reading the files (settings, calibration,
// profiles with their dumps) against the computation on the loaded store.
#include "app/settings.h"
#include "eval_chain.h"
#include "math/calibration_file.h"
#include "math/evaluation.h"
#include "math/synthetic_spring.h"
#include "platform/files.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <unistd.h>

namespace {

using namespace veltron;

// One folder for the whole run, written once.
const std::filesystem::path& folder() {
    static const std::filesystem::path dir = [] {
        const auto d = std::filesystem::temp_directory_path() / ("veltron-bench-math-" + std::to_string(::getpid()));
        math::synth::ScanModel scan;
        scan.strayEvery = 89;
        math::synth::SpringModel spring;
        spring.tiltX = 0.004;
        math::synth::writeFolder(d, math::synth::scanSpring(spring, scan));
        return d;
    }();
    return dir;
}

void BM_EvaluateFolder(benchmark::State& state) {
    eval::EvalRequest request;
    request.dir = folder();
    request.smoothing = static_cast<int>(state.range(0));
    for (auto _ : state) {
        eval::EvalReport report = eval::evaluateFolder(request);
        benchmark::DoNotOptimize(report);
    }
}
BENCHMARK(BM_EvaluateFolder)->ArgName("smoothing")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// Reading only: setup.ini, the calibration tables and the profiles (with the dump files).
void BM_ReadFiles(benchmark::State& state) {
    auto calibration = std::make_unique<math::Calibration>();
    auto store = std::make_unique<math::ProfileStore>();
    store->setBaseDir(folder());
    math::PointCounts counts{};
    for (auto _ : state) {
        const Settings s = readSettingsFile(files::resolve(folder(), "setup.ini").string());
        benchmark::DoNotOptimize(s);
        math::readCalibrationTables(*calibration, folder());
        math::loadProfiles(*store, counts, *calibration, math::MathParams{}, math::LoadOptions{});
    }
}
BENCHMARK(BM_ReadFiles)->Unit(benchmark::kMillisecond);

// The computation steps after "Открыть" on a store restored from a loaded copy.
void BM_ChainWithoutReading(benchmark::State& state) {
    const math::MathParams params = [] {
        math::MathParams p = math::synth::matchingParams(math::synth::ScanModel{});
        p.FMNKEnable = false;
        return p;
    }();
    auto calibration = std::make_unique<math::Calibration>();
    math::readCalibrationTables(*calibration, folder());
    auto store = std::make_unique<math::ProfileStore>();
    store->setBaseDir(folder());
    math::FourCameraEvaluation ev(*store, *calibration, params);
    ev.open();
    const auto loaded = std::make_unique<math::ProfileStore>(*store);
    for (auto _ : state) {
        *store = *loaded;
        math::valueWindowFilter(*store, ev.counts(), params);
        ev.pointWindowStep();
        ev.medianStep();
        ev.segmentStep();
        ev.computeStep();
        benchmark::DoNotOptimize(ev.results());
    }
}
BENCHMARK(BM_ChainWithoutReading)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
