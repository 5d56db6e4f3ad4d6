// Input: the bytes of a calibration table file. The loader's reader and the mathematics'
// reader both read it. The loader is the stricter one (it refuses a line whose first word is
// not a whole number, such as "12,5", which the mathematics reads as 12), so whatever the
// loader accepts the mathematics must accept too, with the same 2049 values, each a finite
// number in 0..2047.
#include "scratch_dir.h"

#include "app/loader.h"
#include "math/calibration_file.h"

#include <cmath>
#include <cstdint>
#include <optional>
#include <string_view>

using veltron::fuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const veltron::fuzz::ScratchDir scratch;
    const auto file = scratch.write("cal1.txt", data, size);

    std::optional<veltron::math::Calibration::Table> fromMath;
    try {
        fromMath = veltron::math::parseCalibrationTable(std::string_view(reinterpret_cast<const char*>(data), size),
                                                        "cal1.txt");
    } catch (const std::runtime_error&) {
    }
    std::optional<veltron::CalibrationTables::Table> fromLoader;
    try {
        veltron::CalibrationTables::Table t{};
        veltron::readCalibrationTable(file, "Tabl1\\cal1.txt", t);
        fromLoader = t;
    } catch (const veltron::LoadError&) {
    }

    require(!fromLoader || fromMath);
    if (fromMath) {
        for (std::size_t p = 0; p < fromMath->size(); ++p) {
            const float v = (*fromMath)[p];
            require(std::isfinite(v) && v >= 0.0F && v <= 2047.0F);
            require(!fromLoader || v == (*fromLoader)[p]);
        }
    }
    return 0;
}
