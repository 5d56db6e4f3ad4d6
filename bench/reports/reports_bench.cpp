// A page step in the spring archive: from the key typed to the next page drawn (list, result
// page of the new current row, thumb, cursor), in archives of 1,000 and 1,000,000 rows. The
// archive runs as the operator uses it, on the scripted host of the report tests; the time
// between one key and the next poll is the step.
#include "../../tests/reports/fixture.h"

#include <QGuiApplication>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>

namespace veltron::testing {
namespace {

void fillSpringRows(db::Connection& c, std::int64_t rows) {
    c.execute("INSERT INTO measReading (Name, \"Date\", \"Time\", Id_Obj, Dia, Vis, ByStep, NoPerp, Arrow, \"Def\", "
              "Series, VagonNum, Tel) "
              "WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < " +
              std::to_string(rows) +
              ") "
              "SELECT printf('%04d-09122026', x), 46365.5, 46365.5, 1, 105.0, 300.0, 105.0, 105.0, 105.0, "
              "105.0, 'ЭП2Д', '017', 1 FROM n;");
}

void pageStep(benchmark::State& state) {
    ReportFixture f;
    fillSpringRows(*f.connection, state.range(0));
    constexpr int kKeys = 120;
    // From the newest row upwards a page at a time, then back down.
    std::string keys;
    for (int i = 0; i < kKeys; ++i) {
        keys += i < kKeys / 2 ? '8' : '2';
    }
    using Clock = std::chrono::steady_clock;
    for (auto _ : state) {
        Clock::time_point typed{};
        double total = 0.0;
        int steps = 0;
        f.host.script = keys + "/";
        f.host.typeWhen = [&] { return f.reports->archiveMode(); };
        f.host.beforeKey = [&] {
            const auto now = Clock::now();
            if (typed != Clock::time_point{}) {
                total += std::chrono::duration<double>(now - typed).count();
                ++steps;
            }
            typed = now;
        };
        f.reports->springArchive();
        state.SetIterationTime(total / steps);
        state.counters["steps"] = steps;
    }
}

BENCHMARK(pageStep)->Arg(1000)->Arg(1000000)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace veltron::testing

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
