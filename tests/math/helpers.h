#pragma once

#include "math/profile.h"

#include <filesystem>
#include <initializer_list>
#include <string>
#include <vector>

namespace veltron::math::test {

// A fresh folder under the system's temporary folder, removed at the end of the test.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    void write(const std::string& name, const std::string& content) const;
    std::string read(const std::string& name) const;

private:
    std::filesystem::path path_;
};

// Puts values into points 1.. of a camera row.
void setRow(ProfileStore& store, int camera, const std::vector<std::int32_t>& values);
std::vector<std::int32_t> rowValues(const ProfileStore& store, int camera, int count);

// A calibration whose every table falls linearly from 150 mm (pixel 0) to 50 mm (pixel 2047).
Calibration linearCalibration();

} // namespace veltron::math::test
