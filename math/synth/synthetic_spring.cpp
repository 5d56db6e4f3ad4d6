#include "math/synthetic_spring.h"

#include "platform/files.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <numbers>
#include <stdexcept>

namespace veltron::math::synth {
namespace {

// Fraction of a turn, counted from the top end of the wire, at which each camera's beam meets
// the helix: camera 1 faces -y, camera 4 +x, camera 3 +y, camera 2 -x. The helix turns from
// camera 1 towards camera 4, so cameras 1 and 4 both see the ground top face.
constexpr std::array<double, 5> kTurnFraction{0.0, 0.0, 0.75, 0.5, 0.25};

// Pixel whose calibrated distance is nearest to d (mm, already without the dmm offset), or 0
// (nothing seen) outside the table's range.
std::int32_t pixelFor(const Calibration::Table& t, double d) {
    if (d > t[1] || d < t[kMaxPixel]) {
        return 0;
    }
    int lo = 1;
    int hi = kMaxPixel;
    while (lo < hi) { // first pixel whose distance is <= d
        const int mid = (lo + hi) / 2;
        if (t[static_cast<std::size_t>(mid)] <= d) {
            hi = mid;
        } else {
            lo = mid + 1;
        }
    }
    if (lo > 1 && std::fabs(t[static_cast<std::size_t>(lo - 1)] - d) < std::fabs(t[static_cast<std::size_t>(lo)] - d)) {
        --lo;
    }
    return lo;
}

void writeText(const std::filesystem::path& path, const std::string& text) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    if (!f || !(f << text)) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

std::string fixed(double v, int decimals) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    return buf;
}

} // namespace

Calibration::Table sampleCalibrationTable(int camera) {
    Calibration::Table t{};
    for (int p = 0; p < kCalibrationEntries; ++p) {
        const double u = p / 2047.0;
        const double mm = 150.0 - 100.0 * u - (3.0 + camera) * u * (1.0 - u);
        // Stored as the file holds it (three decimals), so the table read back is this table.
        t[static_cast<std::size_t>(p)] = static_cast<float>(std::round(mm * 1000.0) / 1000.0);
    }
    return t;
}

MathParams matchingParams(const ScanModel& scan) {
    MathParams p;
    p.gx = {0.0F, 180.0F, 180.0F, 180.0F, 180.0F};
    p.Va = 360.0F;
    p.Vb = 360.0F;
    p.dmm = {0.0F, 1.5F, -0.5F, -2.0F, 0.75F};
    for (int c = 1; c <= kCameras; ++c) {
        CameraParams& k = p.k[static_cast<std::size_t>(c)];
        k = {0, 0, kMaxPixel, 0, 0, 1, scan.points + 1, 3, 0, 2, 0, 1, 1};
    }
    p.NZ = scan.points;
    p.HN = 0.0F;
    p.HV = static_cast<float>(scan.points * scan.step);
    p.Hgm = static_cast<float>(scan.top - scan.step / 2.0);
    p.dHgm = 0.0F;
    p.DMV = 0.0F;
    p.DMD = 0.0F;
    p.dhL = {0, 0, 0, 0, 0};
    p.CamRS = 4;
    return p;
}

SyntheticScan scanSpring(const SpringModel& spring, const ScanModel& scan) {
    SyntheticScan out;
    out.params = matchingParams(scan);
    for (int c = 1; c <= kCameras; ++c) {
        out.calibration.table(c) = sampleCalibrationTable(c);
    }
    const double r = spring.wireDiameter / 2.0;
    const double R = spring.outerDiameter / 2.0;
    const double Rh = R - r; // helix radius of the wire centre
    const double H = spring.freeHeight;
    const double zTop = H - 0.4 * r; // wire centre at the top end, ground down by 0.6 r
    const double pitch = (zTop - 0.4 * r) / spring.turns;
    // The wire's section in a vertical plane through the axis is an ellipse, taller than the
    // wire by 1 / cos of the helix angle.
    const double cosAlpha = std::cos(std::atan(pitch / (2.0 * std::numbers::pi * Rh)));
    const double halfHeight = r / cosAlpha;
    const MathParams& p = out.params;

    for (int c = 1; c <= kCameras; ++c) {
        auto& row = out.rows[static_cast<std::size_t>(c)];
        row.assign(static_cast<std::size_t>(scan.points), 0);
        const double f = kTurnFraction[static_cast<std::size_t>(c)];
        for (int n = 1; n <= scan.points; ++n) {
            const double z = scan.top - (n - 1) * scan.step;
            if (z < 0.0 || z > H) {
                continue;
            }
            // Nearest passage of the wire in front of this camera.
            const double k = std::round((zTop - z) / pitch - f);
            const double t = f + k;
            if (t < 0.0 || t > spring.turns) {
                continue;
            }
            const double dz = z - (zTop - pitch * t);
            if (std::fabs(dz) >= halfHeight) {
                continue;
            }
            const double rho = Rh + r * std::sqrt(1.0 - (dz / halfHeight) * (dz / halfHeight));
            const double cx = spring.centreX + spring.tiltX * z;
            const double cy = spring.centreY + spring.tiltY * z;
            double d = 0.0;
            switch (c) {
            case 1:
                d = cy - std::sqrt(rho * rho - (p.gx[1] - cx) * (p.gx[1] - cx));
                break;
            case 2:
                d = cx - std::sqrt(rho * rho - (p.gx[2] - cy) * (p.gx[2] - cy));
                break;
            case 3:
                d = p.Vb - (cy + std::sqrt(rho * rho - (p.gx[3] - cx) * (p.gx[3] - cx)));
                break;
            default:
                d = p.Va - (cx + std::sqrt(rho * rho - (p.gx[4] - cy) * (p.gx[4] - cy)));
                break;
            }
            row[static_cast<std::size_t>(n - 1)] =
                pixelFor(out.calibration.table(c), d - p.dmm[static_cast<std::size_t>(c)]);
        }
        if (scan.strayEvery > 0) {
            const std::vector<std::int32_t> clean = row;
            for (int n = scan.strayEvery + c; n + 6 <= scan.points; n += scan.strayEvery) {
                const auto i = static_cast<std::size_t>(n - 1);
                bool inside = true; // same state six points either side: far from any edge
                for (std::size_t j = i - 6; j <= i + 6; ++j) {
                    inside = inside && ((clean[j] != 0) == (clean[i] != 0));
                }
                if (inside) {
                    row[i] = clean[i] != 0 ? 0 : 700;
                }
            }
        }
    }
    return out;
}

std::string camFileText(const std::vector<std::int32_t>& row) {
    std::string s;
    s.reserve(row.size() * 6);
    for (std::int32_t v : row) {
        s += std::to_string(v);
        s += "\r\n";
    }
    return s;
}

std::string cmrFileText(const std::vector<std::int32_t>& row) {
    std::string s = "DELTAR-M\r\n4\r\n" + std::to_string(row.size()) + "\r\n";
    for (std::int32_t v : row) {
        // raw = b1 + 256 b2 + 4096 b3 + 65536 b4 and value = (raw - 2048) / 32.
        const std::int64_t raw = static_cast<std::int64_t>(v) * 32 + 2048;
        const std::int64_t b4 = raw / 65536;
        const std::int64_t b3 = raw % 65536 / 4096;
        const std::int64_t b2 = raw % 4096 / 256;
        const std::int64_t b1 = raw % 256;
        for (std::int64_t b : {b1, b2, b3, b4}) {
            s += std::to_string(b);
            s += "\r\n";
        }
    }
    return s;
}

std::string calibrationFileText(const Calibration::Table& table) {
    std::string s;
    for (float v : table) {
        s += fixed(v, 3);
        s += "\r\n";
    }
    return s;
}

std::string setupIniText(const MathParams& p) {
    std::string s = "[Mathem]\r\n";
    auto key = [&s](const std::string& k, const std::string& v) { s += k + "=" + v + "\r\n"; };
    auto real = [](float v) { return fixed(v, 4); };
    key("FMNKEnable", p.FMNKEnable ? "1" : "0");
    key("FCutEnable", p.FCutEnable ? "1" : "0");
    key("FMedEnable", p.FMedEnable ? "1" : "0");
    key("MNKvmin", std::to_string(p.MNKvmin));
    key("MNKdn", std::to_string(p.MNKdn));
    key("MNKup", std::to_string(p.MNKup));
    key("Vmin", std::to_string(p.Vmin));
    key("HV", real(p.HV));
    key("HN", real(p.HN));
    key("NZ", std::to_string(p.NZ));
    key("UDDZ", p.UDDZ ? "1" : "0");
    key("Hgm", real(p.Hgm));
    key("dHgm", real(p.dHgm));
    key("DMV", real(p.DMV));
    key("DMD", real(p.DMD));
    key("CamRS", std::to_string(p.CamRS));
    key("Va", real(p.Va));
    key("Vb", real(p.Vb));
    for (int c = 1; c <= kCameras; ++c) {
        const auto i = static_cast<std::size_t>(c);
        key("dhL" + std::to_string(c), std::to_string(p.dhL[i]));
        key("dmm" + std::to_string(c), real(p.dmm[i]));
        key("gx" + std::to_string(c), real(p.gx[i]));
    }
    for (int c = 1; c <= kCameras; ++c) {
        s += "[k" + std::to_string(c) + "]\r\n";
        for (int m = 1; m <= 12; ++m) {
            key("k" + std::to_string(m), std::to_string(p.k[static_cast<std::size_t>(c)][static_cast<std::size_t>(m)]));
        }
    }
    s += "[Debug]\r\n";
    key("DebugMMsaveMessages", p.DebugMMsaveMessages ? "1" : "0");
    return s;
}

void writeProfileFiles(const std::filesystem::path& dir, const SyntheticScan& scan, bool cmr,
                       const std::string& prefix) {
    for (int c = 1; c <= kCameras; ++c) {
        const auto i = static_cast<std::size_t>(c);
        const std::string n = std::to_string(c);
        writeText(files::resolve(dir, prefix + "cam" + n + ".txt"), camFileText(scan.rows[i]));
        if (cmr) {
            writeText(files::resolve(dir, prefix + "cmr" + n + ".txt"), cmrFileText(scan.rows[i]));
        }
    }
}

void writeFolder(const std::filesystem::path& dir, const SyntheticScan& scan, bool cmr, const std::string& prefix) {
    std::filesystem::create_directories(dir);
    writeText(dir / "setup.ini", setupIniText(scan.params));
    for (int c = 1; c <= kCameras; ++c) {
        writeText(dir / "Tabl1" / ("cal" + std::to_string(c) + ".txt"), calibrationFileText(scan.calibration.table(c)));
    }
    writeProfileFiles(dir, scan, cmr, prefix);
}

} // namespace veltron::math::synth
