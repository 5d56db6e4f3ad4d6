#include "math/calibration_file.h"

#include "platform/files.h"
#include "platform/text.h"

#include <stdexcept>

namespace veltron::math {
namespace {

// Length of the longest prefix of s that has the form of a decimal number:
// sign, digits with an optional "." and fraction, optional exponent.
std::size_t numberPrefix(std::string_view s) {
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        ++i;
    }
    std::size_t digits = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
        ++i;
        ++digits;
    }
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
            ++i;
            ++digits;
        }
    }
    if (digits == 0) {
        return 0;
    }
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) {
            ++j;
        }
        std::size_t expDigits = 0;
        while (j < s.size() && s[j] >= '0' && s[j] <= '9') {
            ++j;
            ++expDigits;
        }
        if (expDigits > 0) {
            i = j;
        }
    }
    return i;
}

} // namespace

Calibration::Table parseCalibrationTable(std::string_view content, const std::string& name) {
    Calibration::Table table{};
    table.fill(0.0F);
    std::size_t pos = 0;
    int lineNumber = 0;
    for (int pixel = 0; pixel < kCalibrationEntries; ++pixel) {
        std::string_view line;
        bool found = false;
        while (pos < content.size()) {
            std::size_t end = pos;
            while (end < content.size() && content[end] != '\r' && content[end] != '\n') {
                ++end;
            }
            line = content.substr(pos, end - pos);
            pos = end;
            if (pos < content.size() && content[pos] == '\r') {
                ++pos;
            }
            if (pos < content.size() && content[pos] == '\n') {
                ++pos;
            }
            ++lineNumber;
            line = text::trim(line);
            if (!line.empty()) {
                found = true;
                break;
            }
        }
        if (!found) {
            break; // the remaining pixels stay 0
        }
        const std::size_t len = numberPrefix(line);
        const std::optional<double> v = len > 0 ? text::parseDouble(line.substr(0, len)) : std::nullopt;
        if (!v) {
            throw std::runtime_error(name + ", строка " + std::to_string(lineNumber) + ": нет числа");
        }
        table[static_cast<std::size_t>(pixel)] = (*v >= 0.0 && *v <= 2047.0) ? static_cast<float>(*v) : 0.0F;
    }
    return table;
}

Calibration::Table readCalibrationFile(const std::filesystem::path& path) {
    const std::optional<std::string> content = files::readFile(path);
    if (!content || !std::filesystem::is_regular_file(path)) {
        throw std::runtime_error("Нет файла калибровки: " + path.string());
    }
    return parseCalibrationTable(*content, path.string());
}

void readCalibrationTables(Calibration& calibration, const std::filesystem::path& baseDir) {
    for (int c = 1; c <= kCameras; ++c) {
        calibration.table(c) = readCalibrationFile(files::resolve(baseDir, "Tabl1\\cal" + std::to_string(c) + ".txt"));
    }
}

} // namespace veltron::math
