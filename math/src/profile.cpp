#include "math/profile.h"

#include "platform/files.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string_view>

namespace veltron::math {
namespace {

// Reads a file line by line. Lines end with CR LF, LF or a lone CR.
class LineReader {
public:
    explicit LineReader(std::string_view text) : text_(text) {}

    // True when nothing but blank lines is left: a trailing line break (or a few) after the
    // last number is the end of the file, not another point.
    bool atEnd() const {
        for (std::size_t i = pos_; i < text_.size(); ++i) {
            const char ch = text_[i];
            if (ch != '\r' && ch != '\n' && ch != ' ' && ch != '\t') {
                return false;
            }
        }
        return true;
    }

    std::string_view next() {
        const std::size_t start = pos_;
        std::size_t end = start;
        while (end < text_.size() && text_[end] != '\r' && text_[end] != '\n') {
            ++end;
        }
        pos_ = end;
        if (pos_ < text_.size() && text_[pos_] == '\r') {
            ++pos_;
        }
        if (pos_ < text_.size() && text_[pos_] == '\n') {
            ++pos_;
        }
        ++lineNumber_;
        return text_.substr(start, end - start);
    }

    int lineNumber() const { return lineNumber_; }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
    int lineNumber_ = 0;
};

// The integer at the start of a line (leading blanks allowed, the rest of the line ignored).
std::optional<std::int64_t> leadingInteger(std::string_view line) {
    std::size_t i = 0;
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) {
        ++i;
    }
    bool negative = false;
    if (i < line.size() && (line[i] == '-' || line[i] == '+')) {
        negative = line[i] == '-';
        ++i;
    }
    std::int64_t v = 0;
    int digits = 0;
    while (i < line.size() && line[i] >= '0' && line[i] <= '9') {
        if (digits == 18) {
            return std::nullopt; // beyond any value a camera writes
        }
        v = v * 10 + (line[i] - '0');
        ++digits;
        ++i;
    }
    if (digits == 0) {
        return std::nullopt;
    }
    return negative ? -v : v;
}

std::string displayName(const std::filesystem::path& p) {
    return p.string();
}

std::int64_t readInteger(LineReader& reader, const std::filesystem::path& file) {
    const std::string_view line = reader.next();
    const auto v = leadingInteger(line);
    if (!v) {
        throw std::runtime_error(displayName(file) + ", строка " + std::to_string(reader.lineNumber()) + ": нет числа");
    }
    return *v;
}

} // namespace

ProfileStore::ProfileStore() {
    for (auto& r : rows_) {
        r.assign(kRowSlots + 1, 0);
    }
}

std::filesystem::path ProfileStore::profileFile(const std::string& stem, int camera) const {
    return files::resolve(baseDir_, prefix_ + stem + std::to_string(camera) + ".txt");
}

float Calibration::cal(int camera, std::int64_t pixel) const {
    if (pixel < 0 || pixel > kMaxPixel) {
        pixel = 0;
    }
    const float e = tables_[camera][static_cast<std::size_t>(pixel)];
    if (!std::isfinite(e) || e < 0.0F || e > 1000000.0F) {
        return 0.0F;
    }
    return e;
}

float cameraDistance(const Calibration& calibration, const MathParams& params, int camera, std::int64_t pixel) {
    return calibration.cal(camera, pixel) + params.dmm[camera];
}

std::int32_t decodeCmrPoint(std::int64_t b1, std::int64_t b2, std::int64_t b3, std::int64_t b4) {
    const std::int64_t raw = (b1 & 0xFF) + 256 * (b2 & 0xFF) + 4096 * (b3 & 0xFF) + 65536 * (b4 & 0xFF);
    return static_cast<std::int32_t>((raw - 2048) / 32); // C++ division truncates toward zero
}

std::string dumpLine(std::int32_t value, float distance) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%d:%5.2f", value, static_cast<double>(distance));
    return buf;
}

void loadProfiles(ProfileStore& store, PointCounts& counts, const Calibration& calibration, const MathParams& params,
                  const LoadOptions& options) {
    for (int c = 1; c <= kCameras; ++c) {
        std::fill(store.row(c) + 1, store.row(c) + 1 + kLoadPoints, 0);
    }
    const bool cmr = options.format == ProfileFormat::Cmr;
    for (int c = 1; c <= kCameras; ++c) {
        const std::filesystem::path input = store.profileFile(cmr ? "cmr" : "cam", c);
        const std::optional<std::string> content = files::readFile(input);
        if (!content || !std::filesystem::is_regular_file(input)) {
            throw std::runtime_error("Нет файла профиля: " + displayName(input));
        }
        const std::filesystem::path dumpPath = store.profileFile("mmr", c);
        std::ofstream dumpFile(dumpPath, std::ios::binary | std::ios::trunc);
        if (!dumpFile) {
            throw std::runtime_error("Не создается файл: " + displayName(dumpPath));
        }
        std::string dump;
        LineReader reader(*content);
        std::int32_t* row = store.row(c);
        int n = 0;
        try {
            if (cmr) {
                for (int i = 0; i < 3 && !reader.atEnd(); ++i) {
                    reader.next();
                }
            }
            do {
                if (n == kLoadPoints) {
                    if (options.log) {
                        options.log(displayName(input) + ": больше " + std::to_string(kLoadPoints) +
                                    " точек, остальные не прочитаны");
                    }
                    break;
                }
                std::int64_t v = 0;
                if (cmr) {
                    std::array<std::int64_t, 4> b{};
                    for (auto& byte : b) {
                        if (!reader.atEnd()) {
                            byte = readInteger(reader, input);
                        }
                    }
                    v = decodeCmrPoint(b[0], b[1], b[2], b[3]);
                } else if (!reader.atEnd()) {
                    v = readInteger(reader, input);
                }
                if (v < 0 || v > kMaxPixel) {
                    v = kMaxPixel;
                }
                row[++n] = static_cast<std::int32_t>(v);
                if (options.writeDumpLines) {
                    const std::string line = dumpLine(row[n], cameraDistance(calibration, params, c, v));
                    dump += line;
                    dump += "\r\n";
                    if (options.trace) {
                        options.trace(line);
                    }
                }
            } while (!reader.atEnd());
        } catch (...) {
            dumpFile << dump;
            throw;
        }
        dumpFile << dump;
        counts[c] = n;
    }
}

} // namespace veltron::math
