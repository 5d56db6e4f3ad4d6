// Drawing the main menu from scratch, and one idle poll of the menu loop (no key, clock
// unchanged), on the offscreen platform. Idle processor time of the whole program is
// measured by idle_cpu.sh.
#include "screens/main_menu.h"

#include <QGuiApplication>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

using namespace veltron;

namespace {

struct NullHost : UiHost {
    std::uint64_t now = 0;
    void processEvents() override {}
    void sleepMs(int ms) override { now += static_cast<std::uint64_t>(ms); }
    std::uint64_t tickMs() override { return now; }
    void refresh() override {}
    void forceNumLock() override {}
    void beep() override {}
    void restoreDisplay() override {}
};

struct World {
    std::filesystem::path root;
    Settings settings;
    ConsoleLog console{false, text::now};
    WorkLog log{"/dev/null", false, text::now, console};
    Canvas canvas{1366, 768};
    NullHost host;
    std::unique_ptr<Screen> screen;
    std::unique_ptr<Keypad> keypad;
    World() {
        std::string t = (std::filesystem::temp_directory_path() / "veltron-bench-XXXXXX").string();
        root = ::mkdtemp(t.data());
        std::filesystem::create_directories(root / "bin");
        std::filesystem::create_directories(root / "work" / "Temp");
        std::filesystem::copy(BMP_DIR, root / "bin" / "BMP");
        screen = std::make_unique<Screen>(canvas, settings, Paths{root / "bin", root / "work"}, host, log, console);
        keypad = std::make_unique<Keypad>(*screen, text::now);
    }
    ~World() { std::filesystem::remove_all(root); }
};

void DrawMainMenu(benchmark::State& state) {
    World w;
    const StatusTexts status{"1234567890123456", "Моторная тележка", "ЭД4М", "12", "3"};
    for (auto _ : state) {
        drawMainMenu(*w.screen, *w.keypad, status);
    }
}
BENCHMARK(DrawMainMenu)->Unit(benchmark::kMillisecond);

// The part of an idle poll that is the program's own work (the 50 ms pause excluded).
void IdlePoll(benchmark::State& state) {
    World w;
    drawMainMenu(*w.screen, *w.keypad, StatusTexts{});
    w.keypad->poll();
    for (auto _ : state) {
        benchmark::DoNotOptimize(w.keypad->poll());
    }
}
BENCHMARK(IdlePoll)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
