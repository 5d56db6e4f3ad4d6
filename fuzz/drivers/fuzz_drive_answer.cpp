// Input: a function byte (6 is a register write), then the bytes waiting in the drive's receive
// queue. The reader takes at most what is waiting and never more than its bound; its text
// shows every byte taken; a write answer is all eight bytes or stops at the first missing one.
#include "fuzz_check.h"

#include "drivers/drive.h"

#include <cstdint>
#include <cstdio>
#include <string>

using namespace veltron::drivers;
using veltron::fuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    const bool writeFunction = data[0] == 6;
    std::size_t pos = 1;
    const DriveAnswer a = readDriveAnswer(writeFunction, [&](std::uint8_t& out) {
        if (pos >= size) {
            return false;
        }
        out = data[pos++];
        return true;
    });
    const std::size_t waiting = size - 1;
    const std::size_t taken = pos - 1;
    require(a.count >= 0 && a.count <= kDriveMaxAnswer);
    std::string expected;
    for (std::size_t i = 0; i < taken; ++i) {
        char s[4];
        std::snprintf(s, sizeof s, "%02X ", data[1 + i]);
        expected += s;
    }
    require(a.text == expected);
    if (writeFunction) {
        require(waiting >= 8 ? a.count == 8 && a.completionCode == 0 && taken == 8
                             : a.count == 0 && a.completionCode == 10 + static_cast<int>(waiting));
        for (std::size_t i = 0; i < taken; ++i) {
            require(a.write[i] == data[1 + i]);
        }
    } else {
        require(static_cast<std::size_t>(a.count) == taken);
        require(taken == std::min<std::size_t>(waiting, kDriveMaxAnswer));
    }
    return 0;
}
