// The one way a fuzz target reports a broken invariant.
#pragma once

namespace veltron::fuzz {

// Traps on a broken invariant, so libFuzzer and the replay driver both report it as a crash.
inline void require(bool ok) {
    if (!ok) {
        __builtin_trap();
    }
}

} // namespace veltron::fuzz
