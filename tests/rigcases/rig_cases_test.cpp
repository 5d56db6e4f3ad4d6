// The whole program with emulation off against rigsim: the system check's fault codes by
// silenced devices, the rig initialisation's codes by axes that never reach their ends,
// complete set and spring measurements against the simulated spring, and a line lost in the
// middle of the press cycle.
//
// The link library holds its ports for the life of a process, so every case runs the
// program in a process of its own: each case is a death test (re-executed binary) that ends
// with exit status 0 when all its checks held, and prints what failed otherwise.
#include "../support/rig_installation.h"
#include "app/catalogue.h"
#include "results/data.h"
#include "results/result_tables.h"
#include "sequences/faults.h"
#include "sequences/grading.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace veltron;
using veltron::testing::RigInstallation;
using veltron::testing::runProgram;

namespace {

// What one case found; the process ends with the verdict.
struct Checks {
    int failures = 0;
    void expect(bool ok, const std::string& what) {
        if (!ok) {
            ++failures;
            std::fprintf(stderr, "FAILED: %s\n", what.c_str());
        }
    }
    void near(double value, double expected, double tolerance, const std::string& what) {
        expect(std::isfinite(value) && std::fabs(value - expected) <= tolerance,
               what + ": " + std::to_string(value) + ", expected " + std::to_string(expected) + " +- " +
                   std::to_string(tolerance));
    }
    // The work log of a failed case, to read what the program did.
    void showLog(const RigInstallation& inst) const {
        if (failures != 0) {
            std::fprintf(stderr, "--- work log ---\n%s\n", inst.logText().c_str());
        }
    }
    // Called once the installation and its rigsim are gone: rigsim holds the pipe the
    // verdict is read from until it ends.
    [[noreturn]] void finish() {
        std::fflush(stdout);
        std::fflush(stderr);
        std::_Exit(failures == 0 ? 0 : 1);
    }
};

// Once a fault is logged: key 11 leaves the fault screen, key 12 the shutdown screen.
void confirmFaults(RigInstallation& inst, Program& program) {
    if (inst.logText().find(">>>") != std::string::npos) {
        veltron::testing::postKey(program, '*');
        veltron::testing::postKey(program, '/');
    }
}

// The installation's result tables, opened afresh.
struct StoredResults {
    db::Connection connection;
    ResultTables tables{connection};
    explicit StoredResults(const RigInstallation& inst) : connection(inst.root / "work") {
        connection.setConnectionString("Data Source=DataBase.mdb");
        connection.connect();
    }
};

std::int64_t storedRows(const RigInstallation& inst, bool sets) {
    StoredResults stored(inst);
    return sets ? stored.tables.setRowCount() : stored.tables.springRowCount();
}

std::vector<std::string> faultLines(const std::string& log) {
    std::vector<std::string> lines;
    for (std::size_t at = log.find(">>>"); at != std::string::npos; at = log.find(">>>", at + 3)) {
        lines.push_back(log.substr(at, log.find('\r', at) - at));
    }
    return lines;
}

// The program starts against rigsim started with `simOptions` and must end through the fault
// screen with `code`, having stored nothing.
void faultCase(const std::vector<std::string>& simOptions, int code) {
    Checks checks;
    {
        RigInstallation inst;
        checks.expect(inst.startSim(simOptions), "rigsim started");
        const int status = runProgram(inst, "", [&inst](Program& p) { confirmFaults(inst, p); });
        checks.expect(status == kFaultExitStatus, "exit status " + std::to_string(status));
        const std::vector<std::string> faults = faultLines(inst.logText());
        checks.expect(faults.size() == 1, std::to_string(faults.size()) + " fault lines in the log");
        checks.expect(!faults.empty() && faults.front() == ">>>Обнаружена ошибка. Код ошибки:" + std::to_string(code),
                      "fault line " + (faults.empty() ? std::string("missing") : faults.front()));
        checks.expect(inst.logText().find("Система готова к работе") == std::string::npos,
                      "the rig was reported ready");
        checks.expect(storedRows(inst, true) == 0 && storedRows(inst, false) == 0, "nothing stored");
        checks.showLog(inst);
    }
    checks.finish();
}

struct FaultCase {
    const char* name;
    std::vector<std::string> silent; // devices of rigsim's fault command
    int code;
};

std::vector<std::string> silencing(const std::vector<std::string>& devices) {
    std::vector<std::string> options;
    for (const auto& d : devices) {
        options.push_back("--fault");
        options.push_back(d + ":silent");
    }
    return options;
}

class SystemCheckFaults : public ::testing::TestWithParam<FaultCase> {};

TEST_P(SystemCheckFaults, SilencedDevicesGiveTheirCode) {
    const FaultCase& c = GetParam();
    EXPECT_EXIT(faultCase(silencing(c.silent), c.code), ::testing::ExitedWithCode(0), "");
}

INSTANTIATE_TEST_SUITE_P(Rig, SystemCheckFaults,
                         ::testing::Values(FaultCase{"Nothing", {"all"}, 9},
                                           FaultCase{"MainAndCameras", {"ck", "cam1", "cam2", "cam3", "cam4"}, 10},
                                           FaultCase{"BothControllers", {"ck", "ck2"}, 26},
                                           FaultCase{"TwoCameras", {"cam3", "cam4"}, 13},
                                           FaultCase{"MainController", {"ck"}, 2}, FaultCase{"Camera1", {"cam1"}, 3},
                                           FaultCase{"Camera2", {"cam2"}, 4}, FaultCase{"Camera3", {"cam3"}, 5},
                                           FaultCase{"Camera4", {"cam4"}, 6}, FaultCase{"LoadCell", {"tenzo"}, 7},
                                           FaultCase{"Drive", {"drive"}, 8},
                                           FaultCase{"SecondController", {"ck2"}, 25}),
                         [](const ::testing::TestParamInfo<FaultCase>& info) { return std::string(info.param.name); });

struct AxisCase {
    const char* axis;
    int code;
};

class RigInitFaults : public ::testing::TestWithParam<AxisCase> {};

// The axis stops short of its end, so its end sensor never reports: the wait times out.
TEST_P(RigInitFaults, AnAxisThatNeverArrivesGivesItsCode) {
    const AxisCase& c = GetParam();
    EXPECT_EXIT(faultCase({"--fault", std::string("noend:") + c.axis}, c.code), ::testing::ExitedWithCode(0), "");
}

INSTANTIATE_TEST_SUITE_P(Rig, RigInitFaults,
                         ::testing::Values(AxisCase{"press", 15}, AxisCase{"geometry", 16}, AxisCase{"carriage", 17},
                                           AxisCase{"centring", 18}),
                         [](const ::testing::TestParamInfo<AxisCase>& info) { return std::string(info.param.axis); });

// Two springs of 262.4 mm and 1500 kg/mm each under the press. The set type 1 of the sample
// catalogue loads the fourth time with 12000 units x xmuldk 0.1 = 1200 kg, under which the
// press stops at 262.4 - 1200 / 3000 = 262.0 mm. The press encoder resolves 0.005 mm and the
// force target 2 kg (0.5 ADC units per kg), so 0.5 mm leaves room only for a wrong reading.
void setCase() {
    Checks checks;
    {
        RigInstallation inst;
        checks.expect(inst.startSim({"--spring", "H=262.4 rate=1500 count=2"}), "rigsim started");
        int group = -1;
        _xKZamer r;
        const int status = runProgram(
            inst, "3\r/-/*/", [&inst](Program& p) { confirmFaults(inst, p); },
            [&checks](const std::string& m) { checks.expect(false, "message: " + m); },
            [&](Program& p) {
                if (storedRows(inst, true) == 1) {
                    StoredResults(inst).tables.readSetRow(0, r);
                    group = setGroup(r, p.catalogue());
                }
            });
        checks.expect(status == 0, "exit status " + std::to_string(status));
        checks.expect(faultLines(inst.logText()).empty(), "no fault");
        checks.expect(storedRows(inst, true) == 1, "one set row");
        checks.expect(r.Name == makeSetName(1, text::now()), "name " + r.Name);
        checks.expect(r.Nkompl == 1, "set type " + std::to_string(r.Nkompl));
        checks.near(r.List, 262.0, 0.5, "height under load");
        // The lift-off ends 1 mm above the highest touch sensor, which closes 0.3 mm above the set.
        checks.near(r.v, 262.4 + 1.3, 0.5, "free height after loading");
        checks.expect(group == 2, "group " + std::to_string(group));
        checks.showLog(inst);
    }
    checks.finish();
}

TEST(RigMeasurement, SetHeightUnderLoadMatchesTheSimulatedSet) {
    EXPECT_EXIT(setCase(), ::testing::ExitedWithCode(0), "");
}

// The operator picks the first bogie (key 6), then measures (key 1, key 1 once the spring
// stands still). The central-suspension outer spring of the sample catalogue (type 1, bound
// to bogie 1):
// free height 361 mm, outer diameter 247.5 mm, 480 kg/mm, coils of even pitch, upright and
// on the rig's axis. Its fourth load is 6000 units x xmuld 0.1 = 600 kg: 1.25 mm.
//
// The press reads heights at the lift-off, which ends 1.0 mm above the highest touch sensor,
// 0.3 mm above the spring. The rig's height is that reading less the 66 mm of the spring
// seat plus the correction POPHsp; this installation calibrates POPHsp = 66 - 1.3 so that the
// height reads the spring's own. The deflection is the height less the height under load;
// the loaded reading is taken at the stop, not at a lift-off, so it carries the 1.3 mm the
// calibration took off the free height.
//
// Tolerances: the diameter comes from the four cameras' profiles at 0.2 mm a point, to
// within 0.5 mm of the simulated one; the heights from the press encoder (0.005 mm) and the
// force target (2 kg: 0.004 mm), hence 0.1 mm; an even, upright spring has no pitch spread
// and no tilt, but each coil's crest is flat to within a pixel for about a millimetre either
// way and its peak point may lie anywhere on it, so both read within 1 mm of 0; the spring
// springs back whole, so the residual deformation is below the type's 0.3 mm and stored as 0.
void springCase() {
    Checks checks;
    {
        RigInstallation inst;
        inst.setting("Mathem", "POPHsp", "64.7");
        inst.setting("Veltron", "SpringKeys", "1");
        // The spring type is taken from the camera readings: the only bound type whose bands
        // hold the measured diameter and height.
        inst.setting("Debug", "AutoSelSpring", "1");
        checks.expect(inst.startSim({"--spring", "H=361 D=247.5 d=36 n=6.5 rate=480"}), "rigsim started");
        _xZamer r;
        const int status = runProgram(
            inst, "6\r11/-/*/", [&inst](Program& p) { confirmFaults(inst, p); },
            [&checks](const std::string& m) { checks.expect(false, "message: " + m); });
        if (storedRows(inst, false) == 1) {
            StoredResults(inst).tables.readSpringRow(0, r);
        }
        checks.expect(status == 0, "exit status " + std::to_string(status));
        checks.expect(faultLines(inst.logText()).empty(), "no fault");
        checks.expect(storedRows(inst, false) == 1, "one spring row");
        checks.expect(r.Name == makeMeasurementName(1, text::now()), "name " + r.Name);
        checks.expect(r.Nsping == 1, "spring type " + std::to_string(r.Nsping));
        checks.near(r.List[kSlotDiameter], 247.5, 0.5, "outer diameter");
        checks.near(r.List[kSlotHeight], 361.0, 0.1, "height");
        checks.near(r.List[kSlotPitchDifference], 0.0, 1.0, "pitch difference");
        checks.near(r.List[kSlotNonPerpendicularity], 0.0, 1.0, "non-perpendicularity");
        checks.near(r.List[kSlotDeflection], 600.0 / 480.0 + 1.3, 0.1, "deflection");
        checks.near(r.List[kSlotResidualDeformation], 0.0, 0.0, "residual deformation");
        checks.showLog(inst);
    }
    checks.finish();
}

TEST(RigMeasurement, SpringValuesMatchTheSimulatedSpring) {
    EXPECT_EXIT(springCase(), ::testing::ExitedWithCode(0), "");
}

// The main controller's line vanishes while the press loads the set: the command fault
// report ends the program, and nothing of the measurement is stored or counted.
void lostLineCase() {
    Checks checks;
    {
        RigInstallation inst;
        checks.expect(inst.startSim({"--spring", "H=262.4 rate=1500 count=2"}), "rigsim started");
        bool unplugged = false;
        const int status = runProgram(inst, "3\r/-/*/", [&](Program& p) {
            if (!unplugged && inst.control("counters ck").find(" 36:3:1=") != std::string::npos) {
                unplugged = inst.control("unplug ck 0").ends_with("ok\n");
            }
            confirmFaults(inst, p);
        });
        checks.expect(unplugged, "the line was pulled during the press");
        checks.expect(status == kFaultExitStatus, "exit status " + std::to_string(status));
        const std::vector<std::string> faults = faultLines(inst.logText());
        checks.expect(!faults.empty() && faults.front().rfind(">>>Обнаружена ошибка связи. Код ошибки:1000/", 0) == 0,
                      "fault line " + (faults.empty() ? std::string("missing") : faults.front()));
        checks.expect(inst.logText().find("Проведен замер комплекта") == std::string::npos, "a set was logged");
        checks.expect(storedRows(inst, true) == 0, "nothing stored");
        const auto counter = IniFile::load(inst.root / "bin" / "state.ini").get("NOWReplacement", "NOWKOMPL");
        checks.expect(!counter || *counter == "0", "set counter " + counter.value_or(""));
        checks.showLog(inst);
    }
    checks.finish();
}

TEST(RigMeasurement, ALineLostDuringThePressStoresNothing) {
    EXPECT_EXIT(lostLineCase(), ::testing::ExitedWithCode(0), "");
}

} // namespace
