// Input: a camera's profile answer. The decoder gives (length - 4) / 4 points and never
// reads past the answer.
#include "fuzz_check.h"

#include "drivers/camera.h"

#include <cstdint>
#include <span>
#include <vector>

using veltron::fuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A copy of exactly the input's size, so any read past the answer shows as an overflow.
    const std::vector<std::uint8_t> answer(data, data + size);
    const std::vector<std::int32_t> points = veltron::drivers::decodeProfile(answer);
    require(points.size() == (size < 4 ? 0 : (size - 4) / 4));
    return 0;
}
