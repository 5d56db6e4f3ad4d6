// Input: the bytes of a key mask file TEMP\<name>.msk. Loading refuses a file of fewer than
// sixteen lines and otherwise sets exactly the keys whose line reads "1"; a refused file
// leaves the mask as it was; a loaded mask saved and loaded again is unchanged.
#include "scratch_dir.h"

#include "platform/text.h"
#include "screens/keypad.h"
#include "screens/screen.h"

#include <cstdint>
#include <stdexcept>
#include <string_view>

using namespace veltron;
using veltron::fuzz::require;

namespace {

struct NullHost : UiHost {
    void processEvents() override {}
    void sleepMs(int) override {}
    std::uint64_t tickMs() override { return 0; }
    void refresh() override {}
    void forceNumLock() override {}
    void beep() override {}
    void restoreDisplay() override {}
};

struct Rig {
    fuzz::ScratchDir scratch;
    Settings settings;
    Clock clock = [] { return text::DateTime{2026, 2, 1, 9, 5, 7, 0}; };
    ConsoleLog console{false, clock};
    WorkLog log{scratch.path() / "Log.txt", false, clock, console};
    Canvas canvas{8, 8};
    NullHost host;
    Screen screen{canvas, settings, Paths{scratch.path(), scratch.path()}, host, log, console};
    Keypad keypad{screen, clock};
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Rig rig;
    rig.scratch.write("TEMP/f.msk", data, size);

    KeyMask before{};
    for (int k = 1; k <= kKeyCount; ++k) {
        before[static_cast<std::size_t>(k)] = k % 3 == 0;
    }
    rig.keypad.setMask(before);
    const auto lines = text::cp1251Lines(std::string_view(reinterpret_cast<const char*>(data), size));
    try {
        rig.keypad.loadMask("f");
    } catch (const std::runtime_error&) {
        require(lines.size() < kKeyCount);
        require(rig.keypad.mask() == before);
        return 0;
    }
    require(lines.size() >= kKeyCount);
    for (int k = 1; k <= kKeyCount; ++k) {
        require(rig.keypad.live(k) == (text::trim(lines[static_cast<std::size_t>(k - 1)]) == "1"));
    }
    const KeyMask loaded = rig.keypad.mask();
    rig.keypad.saveMask("g");
    rig.keypad.allDead();
    rig.keypad.loadMask("g");
    require(rig.keypad.mask() == loaded);
    return 0;
}
