// Input: a format byte ("cam" or "cmr" by its low bit), then the content of the profile
// files, split between the four cameras at 0xFF bytes. Loads them as the evaluation does and
// checks what the store holds: a count within the load limit for every camera, every loaded
// point a CCD position 0..2047, nothing written past the count, and the dumps as long as the
// counts.
#include "scratch_dir.h"

#include "math/profile.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

using namespace veltron::math;
using veltron::fuzz::require;

namespace {

std::size_t lineCount(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    const std::string s((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return static_cast<std::size_t>(std::count(s.begin(), s.end(), '\n'));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const veltron::fuzz::ScratchDir scratch;
    if (size < 1) {
        return 0;
    }
    const bool cmr = (data[0] & 1) != 0;
    const std::uint8_t* p = data + 1;
    const std::uint8_t* end = data + size;
    for (int c = 1; c <= 4; ++c) {
        const std::uint8_t* cut = std::find(p, end, std::uint8_t{0xFF});
        scratch.write((cmr ? "cmr" : "cam") + std::to_string(c) + ".txt", p, static_cast<std::size_t>(cut - p));
        p = cut == end ? end : cut + 1;
    }

    ProfileStore store;
    store.setBaseDir(scratch.path());
    PointCounts counts{};
    counts.fill(-1);
    Calibration calibration;
    for (int c = 1; c <= 4; ++c) {
        for (int i = 0; i < kCalibrationEntries; ++i) {
            calibration.table(c)[static_cast<std::size_t>(i)] = 100.0F - 0.01F * static_cast<float>(i);
        }
    }
    const MathParams params;
    LoadOptions options;
    options.format = cmr ? ProfileFormat::Cmr : ProfileFormat::Cam;
    options.writeDumpLines = true;
    bool loaded = true;
    try {
        loadProfiles(store, counts, calibration, params, options);
    } catch (const std::runtime_error&) {
        loaded = false;
    }

    for (int c = 1; c <= 4; ++c) {
        const int n = counts[static_cast<std::size_t>(c)];
        require(n == -1 || (n >= 1 && n <= kLoadPoints)); // a file gives at least one point
        require(!loaded || n >= 1);
        const int filled = n < 0 ? 0 : n;
        for (int i = 1; i <= kRowSlots; ++i) {
            const std::int32_t v = store.value(c, i);
            require(v >= 0 && v <= kMaxPixel);
            if (i > filled && n >= 0) {
                require(v == 0);
            }
        }
        if (n >= 0) {
            require(lineCount(store.profileFile("mmr", c)) == static_cast<std::size_t>(n));
        }
    }
    return 0;
}
