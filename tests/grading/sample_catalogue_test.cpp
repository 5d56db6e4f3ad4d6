// The sample installation's catalogue and calibration tables load, and what the emulation
// makes of them is plausible: every spring type's fillers lie in its norms and every set type's
// emulated value falls in a group.
#include "app/loader.h"
#include "sequences/grading.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace veltron;

namespace {

class ExtremeRandom : public RandomSource {
public:
    explicit ExtremeRandom(bool high) : high_(high) {}
    int random(int n) override { return high_ ? n - 1 : 0; }

private:
    bool high_;
};

} // namespace

TEST(SampleCatalogue, LoadsAndEmulatesInNorm) {
    const fs::path install = VELTRON_INSTALL;
    const fs::path dir = fs::temp_directory_path() / ("veltron-sample-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    fs::copy(install / "Tabl1", dir / "Tabl1");
    std::ifstream in(install / "catalogue.sql");
    std::stringstream sql;
    sql << in.rdbuf();
    db::executeScript(dir / "DataBase.mdb", sql.str());

    Settings settings;
    ConsoleLog console(false, [] { return text::DateTime{2026, 12, 9}; });
    WorkLog workLog(
        dir / "Log.txt", false,
        [] {
            return text::DateTime{2026, 12, 9};
        },
        console);
    db::Connection connection(dir);
    Catalogue catalogue;
    CalibrationTables calibration;
    LoadingLog log;
    StartupLoader(settings, workLog, connection, catalogue, calibration, log, dir,
                  LoaderHooks{nullptr, nullptr, nullptr, [](int) {}})
        .run();

    for (const auto& line : log.lines()) {
        EXPECT_NE(line.rfind("Внимание", 0), 0U) << line;
        EXPECT_EQ(line.find("отклонен"), std::string::npos) << line;
    }

    // Each table falls as the pixel rises, at a few hundred millimetres from the camera.
    for (int n = 1; n <= 4; ++n) {
        const auto& t = calibration.table[static_cast<std::size_t>(n)];
        EXPECT_GT(t[0], 400.0F) << n;
        EXPECT_LT(t[2048], 300.0F) << n;
        EXPECT_GT(t[2048], 200.0F) << n;
        for (std::size_t p = 1; p < t.size(); ++p) {
            ASSERT_LT(t[p], t[p - 1]) << "table " << n << ", pixel " << p;
        }
    }

    ASSERT_GE(catalogue.bogieCount(), 2);
    ASSERT_GE(catalogue.springTypeCount(), 2);
    ASSERT_GE(catalogue.setTypeCount(), 3);
    bool inner = false;
    bool outer = false;
    for (int s = 1; s <= catalogue.springTypeCount(); ++s) {
        inner |= catalogue.springType(s).innerDiameter == 1;
        outer |= catalogue.springType(s).innerDiameter == 0;
        for (const bool high : {false, true}) {
            ExtremeRandom rng(high);
            _xZamer r;
            fillSpringRecord(r, s, catalogue, OperatorState{}, text::DateTime{2026, 12, 9}, rng);
            deriveSpringValues(r, catalogue.springType(s), SpringReadings{}, settings, nullptr);
            EXPECT_TRUE(springCheck(r, catalogue)) << catalogue.springType(s).name << (high ? ", high" : ", low");
        }
    }
    EXPECT_TRUE(inner);
    EXPECT_TRUE(outer);
    for (int b = 1; b <= catalogue.bogieCount(); ++b) {
        EXPECT_FALSE(catalogue.boundSpringTypes(b).empty()) << catalogue.bogieName(b);
    }
    for (int k = 1; k <= catalogue.setTypeCount(); ++k) {
        const _xKompl& type = catalogue.setType(k);
        EXPECT_GE(type.Ngr, 3);
        EXPECT_LE(type.Ngr, 5);
        EXPECT_LE(type.Tip, 2);
        for (const bool high : {false, true}) {
            ExtremeRandom rng(high);
            _xKZamer r;
            r.Nkompl = k;
            emulateSetValues(r, type, settings, rng);
            deriveSetValues(r, type, SetReadings{}, settings, nullptr);
            EXPECT_NE(setGroup(r, catalogue), 0) << type.Name << (high ? ", high" : ", low");
        }
    }
    connection.disconnect();
    fs::remove_all(dir);
}
