// Input: first byte selects function 6 (odd) or another function; the rest are the bytes
// waiting in the drive port's receive queue. Checks the reader's bounds and counts.
#include "drivers/drive.h"

#include <cstddef>
#include <cstdint>

using namespace veltron::drivers;

namespace {

void require(bool ok) {
    if (!ok) {
        __builtin_trap();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const bool write = (data[0] & 1) != 0;
    std::size_t at = 1;
    const auto next = [&](std::uint8_t& b) {
        if (at >= size) {
            return false;
        }
        b = data[at++];
        return true;
    };
    const DriveAnswer a = readDriveAnswer(write, next);
    const std::size_t queued = size - 1;
    if (write) {
        require(queued >= 8 ? a.count == 8 && a.completionCode == 0
                            : a.count == 0 && a.completionCode == 10 + static_cast<int>(queued));
        require(a.text.size() == 3 * (queued >= 8 ? 8 : queued));
    } else {
        const std::size_t expected = queued < kDriveMaxAnswer ? queued : kDriveMaxAnswer;
        require(static_cast<std::size_t>(a.count) == expected && a.text.size() == 3 * expected);
    }
    return 0;
}
