// The profile store of the four line cameras, the calibration tables, and the profile files
// through which scans travel from the camera link to the evaluation.
//
// A camera row holds, for every scan step, the CCD position (0..2047 pixels) of the laser
// line; 0 means the camera saw nothing there (a gap between coils). Points are numbered from
// 1. The filters change the rows in place, so after a chain of filters the store no longer
// holds the raw scan; loading the files again restores it.
#pragma once

#include "math/params.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace veltron::math {

inline constexpr int kRowSlots = 10100;   // slots per camera row, points 1..10100
inline constexpr int kLoadPoints = 10000; // points a load clears and may fill
inline constexpr int kMaxPixel = 2047;
inline constexpr int kCalibrationEntries = 2049; // pixels 0..2048

// Receives one text line (log, trace or memo line).
using LineSink = std::function<void(const std::string&)>;

// Point counts of one window: each window that loads the store keeps its own set.
using PointCounts = std::array<std::int32_t, 5>; // [camera 1..4], entry 0 unused

enum class ProfileFormat {
    Cam, // "cam" + N + ".txt": one integer per line
    Cmr, // "cmr" + N + ".txt": three header lines, then four byte lines per point
};

class ProfileStore {
public:
    ProfileStore();

    // Point p of camera c; the caller keeps c in 1..4 and p in 1..kRowSlots.
    std::int32_t value(int camera, int point) const { return rows_[camera][point]; }
    void setValue(int camera, int point, std::int32_t v) { rows_[camera][point] = v; }
    // The row of camera c with index = point number (index 0 unused), kRowSlots + 1 entries.
    std::int32_t* row(int camera) { return rows_[camera].data(); }
    const std::int32_t* row(int camera) const { return rows_[camera].data(); }

    // Base folder against which the (Windows-style, relative) file names are resolved: the
    // working directory of the program, or the folder a tool evaluates.
    void setBaseDir(std::filesystem::path dir) { baseDir_ = std::move(dir); }
    const std::filesystem::path& baseDir() const { return baseDir_; }
    // File-name prefix of every profile load, empty in normal operation; the geometry
    // workbench's path field sets it (for example "STORE\z5" for a stored scan).
    void setFilePrefix(std::string prefix) { prefix_ = std::move(prefix); }
    const std::string& filePrefix() const { return prefix_; }

    // Resolved path of prefix + stem + camera + ".txt" ("cam", "cmr", "mmr").
    std::filesystem::path profileFile(const std::string& stem, int camera) const;

private:
    std::array<std::vector<std::int32_t>, 5> rows_;
    std::filesystem::path baseDir_ = ".";
    std::string prefix_;
};

// Calibration tables: entry p of camera c's table is the distance in millimetres that pixel p
// means. Each table falls as the pixel rises (a larger CCD value is a nearer surface).
class Calibration {
public:
    using Table = std::array<float, kCalibrationEntries>;

    Calibration() {
        for (auto& t : tables_) {
            t.fill(0.0F);
        }
    }
    Table& table(int camera) { return tables_[camera]; }
    const Table& table(int camera) const { return tables_[camera]; }

    // cal(c, p): a pixel outside 0..2047 reads entry 0 (so entry 2048 is never read); an entry
    // that is not a number, negative or above 1 000 000 reads as 0 mm.
    float cal(int camera, std::int64_t pixel) const;

private:
    std::array<Table, 5> tables_;
};

// dist(c, p) = cal(c, p) + the camera's dmm offset, in single precision.
float cameraDistance(const Calibration& calibration, const MathParams& params, int camera, std::int64_t pixel);

struct LoadOptions {
    ProfileFormat format = ProfileFormat::Cam;
    bool writeDumpLines = false; // DebugMMsaveMessages
    LineSink log;                // problems worth a log line (files cut at kLoadPoints)
    LineSink trace;              // every dump line, when writeDumpLines is on
};

// Loads the four profile files into the store and the window's counts, and writes the four
// calibrated dumps ("mmr" files, created empty on every load and filled only with
// writeDumpLines). Points outside 0..2047 become 2047; a file longer than kLoadPoints points is
// cut there with one log line.
//
// A missing file or a line without a number throws std::runtime_error naming the file (and
// the line); the store then keeps what the load had written so far and the counts of the
// cameras not yet read keep their old values.
void loadProfiles(ProfileStore& store, PointCounts& counts, const Calibration& calibration, const MathParams& params,
                  const LoadOptions& options);

// Decodes one "cmr" point from its four byte lines (only the low 8 bits of each count; the
// weights 4096 and 65536 overlap with 256 as the camera system writes them).
std::int32_t decodeCmrPoint(std::int64_t b1, std::int64_t b2, std::int64_t b3, std::int64_t b4);

// One line of the calibrated dump: "V:D" with D right-aligned in 5 characters, 2 decimals.
std::string dumpLine(std::int32_t value, float distance);

} // namespace veltron::math
