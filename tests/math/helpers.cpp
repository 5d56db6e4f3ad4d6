#include "helpers.h"

#include <atomic>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace veltron::math::test {

TempDir::TempDir() {
    static std::atomic<int> counter{0};
    path_ = std::filesystem::temp_directory_path() /
            ("veltron-math-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

void TempDir::write(const std::string& name, const std::string& content) const {
    const auto p = path_ / name;
    std::filesystem::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << content;
}

std::string TempDir::read(const std::string& name) const {
    std::ifstream f(path_ / name, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

void setRow(ProfileStore& store, int camera, const std::vector<std::int32_t>& values) {
    for (std::size_t i = 0; i < values.size(); ++i) {
        store.setValue(camera, static_cast<int>(i) + 1, values[i]);
    }
}

std::vector<std::int32_t> rowValues(const ProfileStore& store, int camera, int count) {
    std::vector<std::int32_t> v;
    for (int n = 1; n <= count; ++n) {
        v.push_back(store.value(camera, n));
    }
    return v;
}

Calibration linearCalibration() {
    Calibration cal;
    for (int c = 1; c <= kCameras; ++c) {
        for (int p = 0; p < kCalibrationEntries; ++p) {
            cal.table(c)[static_cast<std::size_t>(p)] = static_cast<float>(150.0 - 100.0 * p / 2047.0);
        }
    }
    return cal;
}

} // namespace veltron::math::test
