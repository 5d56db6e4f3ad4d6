// Input: the bytes a load-cell line delivers after a weight request to station 0x11 with
// command 0xC3. Decodes them, checks the result's invariants, and re-encodes an accepted
// answer to see the same data come back. Any broken invariant traps.
#include "drivers/tenzo.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

using namespace veltron::drivers;

namespace {

void require(bool ok) {
    if (!ok) {
        __builtin_trap();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> input(data, size);
    const TenzoAnswer a = decodeTenzoAnswer(input, 0x11, 0xC3);
    require(a.result == 1 || a.result == 0 || a.result == 2 || a.result == -1 || a.result == -2 || a.result == -3);
    require(a.result == 1 || a.data.empty());
    require(a.data.size() <= kTenzoMaxCollected);
    if (a.result == 1) {
        // An accepted answer sent again as a frame decodes to the same data.
        std::vector<std::uint8_t> wire = encodeTenzoFrame(0x11, 0xC3, a.data);
        const TenzoAnswer again = decodeTenzoAnswer(wire, 0x11, 0xC3);
        require(again.result == 1 && again.data == a.data);
        if (const auto w = decodeWeight(a.data)) {
            require(w->text.size() == 6 && w->value >= 0 && w->value <= 999999);
        }
    }
    return 0;
}
