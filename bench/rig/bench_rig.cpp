// Cost of one poll of a waiting command beyond its 5 ms sleep: carriage left to end with a
// poll limit of 100 against a station that answers at once and never reports the end. The
// host sleeps in virtual time, so what is measured is the exchange over the pseudo-terminal
// plus the command layer's own work. The figure "poll" is the time of one iteration divided
// by its 100 polls (the move and the closing poll of all sensors, 15 more exchanges, are
// charged to the polls as well).
#include "peer.h"
#include "rig/terminal.h"

#include "hdlc/hdlc.h"

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace {

using namespace veltron;

class NoSleepHost : public rig::RigHost {
public:
    void processEvents() override { ++now_; }
    void sleepMs(int ms) override { now_ += static_cast<std::uint64_t>(ms); }
    std::uint64_t tickMs() override { return now_; }
    void beep() override {}

private:
    std::uint64_t now_ = 0;
};

void BM_WaitingCommandPoll(benchmark::State& state) {
    const auto dir = std::filesystem::temp_directory_path() / ("veltron-bench-rig-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir / "dev");
    ::setenv("VELTRON_DEVDIR", (dir / "dev").c_str(), 1);
    testing::StationPeer main;
    testing::StationPeer second;
    main.link(dir / "dev", 2);
    second.link(dir / "dev", 3);
    const auto answer = [](const testing::Request& r) -> std::optional<testing::Reply> {
        return testing::Reply{r.control, testing::Bytes(9, 0)};
    };
    main.respond(answer);
    second.respond(answer);

    Settings s;
    s.CK_PORT = 2;
    s.CK2_PORT = 3;
    s.CAM_PORT = 3;
    s.CHRP_PORT = 99; // no drive: pump commands collect nothing
    s.STM1 = 1000;
    s.tpeKARETKA_VLEVO = 100;
    NoSleepHost host;
    {
        rig::Terminal t(s, host, dir);
        t.openMainController();
        t.openSecondController();
        t.state.CheckBox2 = false;
        t.state.CheckBox3 = false;
        for (auto _ : state) {
            t.carriageLeftToEnd();
            benchmark::DoNotOptimize(t.values.motionTimeout);
        }
        if (!t.values.motionTimeout) {
            state.SkipWithError("the end sensor was reported");
        }
    }
    state.counters["poll"] = benchmark::Counter(static_cast<double>(state.iterations()) * 100.0,
                                                benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    hdlcCloseComPort(2);
    hdlcCloseComPort(3);
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_WaitingCommandPoll)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
