// Reader of the calibration table files "Tabl1\cal" + N + ".txt", shared by the start-up
// loader and the evaluation tool.
//
// The file holds one value per line. For each of the 2049 pixels 0..2048: while the file has
// lines left, the first number on the next non-empty line (decimal point "."; the rest of the
// line is skipped), otherwise 0. A value outside 0..2047 is stored as 0.
#pragma once

#include "math/profile.h"

#include <filesystem>
#include <string_view>

namespace veltron::math {

// Parses file content; name is used in error messages. A non-empty line that does not start
// with a number throws std::runtime_error naming the file and the line number.
Calibration::Table parseCalibrationTable(std::string_view content, const std::string& name);

// Reads the file; a file that does not exist or cannot be read throws std::runtime_error.
Calibration::Table readCalibrationFile(const std::filesystem::path& path);

// Reads "Tabl1\cal1.txt" .. "Tabl1\cal4.txt" under baseDir into the four tables.
void readCalibrationTables(Calibration& calibration, const std::filesystem::path& baseDir);

} // namespace veltron::math
