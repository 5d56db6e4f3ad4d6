// A host for screen tests: every event pump hands the next scripted character to the keypad,
// and time only moves when the screens sleep. Shared by the screen and sequence tests.
#pragma once

#include "screens/host.h"
#include "screens/keypad.h"

#include <cstdint>
#include <functional>
#include <string>

namespace veltron::testing {

struct ScriptedHost : UiHost {
    Keypad* keypad = nullptr;
    std::string script; // characters typed, one per pump
    std::uint64_t now = 0;
    int beeps = 0;
    int pumps = 0;
    std::function<void()> onPump;
    void processEvents() override {
        ++pumps;
        if (onPump) {
            onPump();
        }
        if (keypad != nullptr && !script.empty()) {
            keypad->keyboardCharacter(script.front());
            script.erase(0, 1);
        }
    }
    void sleepMs(int ms) override { now += static_cast<std::uint64_t>(ms); }
    std::uint64_t tickMs() override { return now; }
    void refresh() override {}
    void forceNumLock() override {}
    void beep() override { ++beeps; }
    void restoreDisplay() override {}
};

} // namespace veltron::testing
