// Positional reads and appends on a result table of a million rows, and the start-up loader
// on a full-sized catalogue. The files go to VELTRON_BENCH_DIR (default: the temporary
// folder), so the disk under test can be chosen.
#include "app/loader.h"
#include "results/result_tables.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace veltron;

namespace {

fs::path benchDir(const std::string& name) {
    const char* env = std::getenv("VELTRON_BENCH_DIR");
    const fs::path dir =
        fs::path(env != nullptr ? env : fs::temp_directory_path().string()) / ("veltron-bench-" + name);
    fs::create_directories(dir);
    return dir;
}

constexpr std::int64_t kRows = 1000000;

// A measReading of a million rows, made once per run.
const fs::path& millionRows() {
    static const fs::path dir = [] {
        const fs::path d = benchDir("million");
        fs::remove_all(d);
        fs::create_directories(d);
        db::executeScript(d / "DataBase.mdb", std::string(kResultTablesSql) + R"(
            BEGIN;
            WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 999999)
            INSERT INTO measReading (Name, "Date", "Time", Id_Obj, Dia, Vis, ByStep, NoPerp, Arrow, "Def",
                                     Series, VagonNum, Tel)
            SELECT printf('%04d-09122026', i % 10000), 46365.0 + i / 1000.0, 46365.0 + i / 1000.0, i % 512 + 1,
                   248.0, 361.5, 1.25, 2.5, 86.0, 0.25, 'ЭД4М', '0421', i % 255 + 1 FROM n;
            COMMIT;
        )");
        return d;
    }();
    return dir;
}

void readRow(benchmark::State& state) {
    db::Connection c(millionRows());
    c.setConnectionString(kConnectionString);
    c.connect();
    ResultTables t(c);
    t.openTable("measReading");
    _xZamer r;
    const std::int64_t n = state.range(0);
    for (auto _ : state) {
        t.readSpringRow(n, r);
        benchmark::DoNotOptimize(r.List);
    }
    if (r.Nsping != n % 512 + 1) {
        state.SkipWithError("wrong row read");
    }
}
BENCHMARK(readRow)->Arg(10)->Arg(kRows - 1)->Unit(benchmark::kMicrosecond);

// What every append starts with: open the table by name and take its row count.
void openAndCount(benchmark::State& state) {
    db::Connection c(millionRows());
    c.setConnectionString(kConnectionString);
    c.connect();
    ResultTables t(c);
    for (auto _ : state) {
        benchmark::DoNotOptimize(t.springRowCount());
    }
}
BENCHMARK(openAndCount)->Unit(benchmark::kMicrosecond);

// The first open of the table on a new connection builds its position map.
void firstOpen(benchmark::State& state) {
    millionRows();
    for (auto _ : state) {
        db::Connection c(millionRows());
        c.setConnectionString(kConnectionString);
        c.connect();
        c.table().open("measReading");
        benchmark::DoNotOptimize(c.table().recordCount());
    }
}
BENCHMARK(firstOpen)->Unit(benchmark::kMillisecond);

// Append and post one row: one transaction, flushed to the disk (synchronous=FULL).
void appendRow(benchmark::State& state) {
    db::Connection c(millionRows());
    c.setConnectionString(kConnectionString);
    c.connect();
    ResultTables t(c);
    _xZamer r;
    r.Name = "0001-09122026";
    r.List = {0.0F, 248.0F, 361.5F, 1.25F, 2.5F, 86.0F, 0.25F};
    r.Se = "ЭД4М";
    r.Po = "0421";
    for (auto _ : state) {
        t.appendSpringRow(r);
    }
}
BENCHMARK(appendRow)->Unit(benchmark::kMillisecond);

// The loader on 512 spring types, 1024 set types and 255 bogie types, without its 10 ms waits.
const fs::path& fullCatalogue() {
    static const fs::path dir = [] {
        const fs::path d = benchDir("catalogue");
        fs::remove_all(d);
        fs::create_directories(d / "Tabl1");
        for (int n = 1; n <= 4; ++n) {
            std::ofstream out(d / "Tabl1" / ("cal" + std::to_string(n) + ".txt"), std::ios::binary);
            for (int p = 0; p <= 2048; ++p) {
                out << 480.0 - p * 0.1 << "\r\n";
            }
        }
        std::string sql = "CREATE TABLE Series (Name TEXT); CREATE TABLE Tel (Names TEXT);"
                          "CREATE TABLE RateSpring (IDSpring INTEGER, IDTel INTEGER);"
                          "CREATE TABLE ParamSpring (Name TEXT, Prutok REAL, Delta REAL, PHS REAL, PLS REAL, PHU REAL,"
                          " PLU REAL, Prost REAL, Mode INTEGER, Mask1 INTEGER, Mask2 INTEGER";
        for (const char* b : {"Do", "Di", "V", "R", "N", "S", "O"}) {
            const std::string p = b;
            sql += ", \"" + p + "\" REAL, \"" + p + "Mul\" REAL, \"" + p + "Add\" REAL, \"" + p + "Midd\" REAL, \"" +
                   p + "Rt\" INTEGER, \"" + p + "+\" REAL, \"" + p + "-\" REAL";
        }
        sql += ");CREATE TABLE ParamComp (Name TEXT, VpdMidt REAL, VpdAdd REAL, VpdMul REAL, \"Vpd+\" REAL,"
               " \"Vpd-\" REAL, PHS REAL, PHU REAL, PLS REAL, PLU REAL, \"1min\" REAL, \"1max\" REAL, \"2min\" REAL,"
               " \"2max\" REAL, \"3min\" REAL, \"3max\" REAL, \"Type\" INTEGER, NGR INTEGER, \"4min\" REAL,"
               " \"4max\" REAL, \"5min\" REAL, \"5max\" REAL);"
               "BEGIN;"
               "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 64)"
               " INSERT INTO Series SELECT 'Серия ' || i FROM n;"
               "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 255)"
               " INSERT INTO Tel SELECT 'Тележка ' || i FROM n;"
               "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 512)"
               " INSERT INTO ParamSpring (Name, Prutok, Delta, PHS, PLS, PHU, PLU, \"Do\", DoMul, DoMidd, DoRt,"
               " \"Do+\", \"Do-\", V, VMul, VMidd, VRt, \"V+\", \"V-\", S, SMul, \"S+\", \"S-\")"
               " SELECT 'Пружина ' || i, 30, 0.3, 4200, 600, 42000, 6000, 240 + i % 10, 1, 239.5, 3, 3, -3,"
               " 340, 1, 339, 4, 4, -4, 80, 1, 5, -5 FROM n;"
               "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 1024)"
               " INSERT INTO ParamComp SELECT 'Комплект ' || i, 262, 0, 1, 4, -4, 8400, 84000, 1200, 12000,"
               " 258, 260.6, 260.7, 263.3, 263.4, 266, i % 3, 3 + i % 3, 266.1, 268, 268.1, 270 FROM n;"
               "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 2039)"
               " INSERT INTO RateSpring SELECT i % 512 + 1, i % 255 + 1 FROM n;"
               "COMMIT;";
        db::executeScript(d / "DataBase.mdb", sql);
        return d;
    }();
    return dir;
}

void loader(benchmark::State& state) {
    const fs::path dir = fullCatalogue();
    Settings settings;
    ConsoleLog console(false, [] { return text::DateTime{2026, 12, 9}; });
    WorkLog workLog(
        dir / "Log.txt", false,
        [] {
            return text::DateTime{2026, 12, 9};
        },
        console);
    std::size_t lines = 0;
    for (auto _ : state) {
        db::Connection connection(dir);
        Catalogue catalogue;
        CalibrationTables calibration;
        LoadingLog log;
        StartupLoader l(settings, workLog, connection, catalogue, calibration, log, dir,
                        LoaderHooks{nullptr, nullptr, nullptr, [](int) {}});
        l.run();
        lines = log.lines().size();
        if (catalogue.springTypeCount() != 512 || catalogue.setTypeCount() != 1024 || catalogue.bogieCount() != 255) {
            state.SkipWithError("catalogue not loaded whole");
        }
    }
    state.counters["log_lines"] = static_cast<double>(lines);
}
BENCHMARK(loader)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    // The million-row file takes about 100 MB; nothing is kept between runs.
    fs::remove_all(benchDir("million"));
    fs::remove_all(benchDir("catalogue"));
    return 0;
}
