#include "app/loader.h"

#include "platform/files.h"
#include "platform/text.h"

namespace veltron {

void readCalibrationTable(const std::filesystem::path& file, const std::string& displayName,
                          CalibrationTables::Table& out) {
    const auto bytes = files::readFile(file);
    if (!bytes) {
        throw LoadError("Не удалось прочитать файл калибровки " + displayName);
    }
    const std::vector<std::string> lines = text::cp1251Lines(*bytes);
    std::size_t next = 0; // index of the next line to read
    for (auto& value : out) {
        while (next < lines.size() && text::trim(lines[next]).empty()) {
            ++next;
        }
        if (next == lines.size()) {
            value = 0.0F; // the file has ended: the remaining pixels get 0
            continue;
        }
        const std::string_view line = text::trim(lines[next]);
        const std::size_t lineNo = next + 1;
        ++next;
        const std::string_view token = line.substr(0, line.find_first_of(" \t"));
        const auto v = text::parseDouble(token);
        if (!v) {
            throw LoadError("Файл калибровки " + displayName + ", строка " + std::to_string(lineNo) +
                            ": строка не начинается с числа (\"" + std::string(line) + "\")");
        }
        // parseDouble gives only finite values, so the range test also keeps NaN out.
        value = *v >= 0.0 && *v <= 2047.0 ? static_cast<float>(*v) : 0.0F;
    }
}

} // namespace veltron
