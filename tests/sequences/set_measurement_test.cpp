#include "fixture.h"

#include "platform/ini.h"

#include <gtest/gtest.h>

using namespace veltron;
using veltron::testing::SequenceFixture;

namespace {

_xKZamer onlySetRow(SequenceFixture& f) {
    ResultTables t = f.tables();
    EXPECT_EQ(t.setRowCount(), 1);
    _xKZamer r;
    t.readSetRow(0, r);
    return r;
}

std::int64_t setRows(SequenceFixture& f) {
    ResultTables t = f.tables();
    return t.setRowCount();
}

std::string stateKey(SequenceFixture& f, const char* section, const char* key) {
    return IniFile::load(f.state->file()).get(section, key).value_or("");
}

} // namespace

// In emulation: the set picker (Enter on the first set type), the press cycle without any rig
// command, the stored row, the counter on disk, the result screen, one print, back.
TEST(SetMeasurement, EmulatedRunStoresOneGradedRow) {
    SequenceFixture f(true);
    f.state->state().TRAIN = "0421";
    f.state->state().CHASSIE = 1;
    f.state->state().SERIA = 1;
    std::vector<std::string> printed;
    std::vector<std::string> pages;
    f.sequences->hooks().drawSetResultPage = [&](const _xKZamer& r) { pages.push_back(r.Name); };
    f.sequences->hooks().printSetSheet = [&](const _xKZamer& r) { printed.push_back(r.Name); };
    f.host.script = "\r0/";
    f.sequences->setMeasurement();

    EXPECT_TRUE(f.rig.calls.empty());
    const _xKZamer r = onlySetRow(f);
    EXPECT_EQ(r.Name, "K0001-10122026");
    EXPECT_EQ(r.Nkompl, 1);
    EXPECT_EQ(r.Ch, 1);
    EXPECT_EQ(r.Se, "ЭП2К");
    EXPECT_EQ(r.Po, "0421");
    // The set type's multiplier is 1 and its addend 0, so v - List is the emulated gap.
    EXPECT_GE(r.v - r.List, 49.0F);
    EXPECT_LE(r.v - r.List, 60.0F);
    EXPECT_EQ(stateKey(f, "NOWReplacement", "NOWKOMPL"), "1");
    EXPECT_EQ(pages, std::vector<std::string>{"K0001-10122026"});
    EXPECT_EQ(printed, std::vector<std::string>{"K0001-10122026"});
    EXPECT_EQ(f.records.printCopy.Name, "K0001-10122026");
    EXPECT_TRUE(f.logged("Проведен замер комплекта"));
    EXPECT_TRUE(f.logged("Распечатан комплект:K0001-10122026"));
    EXPECT_EQ(f.screen->depth(), 0);
    EXPECT_TRUE(f.host.script.empty());

    // The second set of the day.
    f.host.script = "\r/";
    f.sequences->setMeasurement();
    ResultTables t = f.tables();
    _xKZamer second;
    t.readSetRow(1, second);
    EXPECT_EQ(second.Name, "K0002-10122026");
}

// No set type: cancelled with key 12, or an empty list whose Enter names no set type. Nothing
// is stored and the counter stays.
TEST(SetMeasurement, NoSetTypeStoresNothing) {
    for (const bool emptyList : {false, true}) {
        SequenceFixture f(true);
        if (emptyList) {
            f.writeList("Complects.txt", {});
        }
        f.host.script = emptyList ? "\r" : "/";
        f.sequences->setMeasurement();
        EXPECT_EQ(setRows(f), 0);
        EXPECT_EQ(f.state->state().NOWKOMPL, 0);
        EXPECT_TRUE(f.logged("Замер прерван, комплект НЕ ВЫБРАН"));
        EXPECT_FALSE(f.logged("Проведен замер комплекта"));
        EXPECT_EQ(f.screen->depth(), 0);
    }
}

// A set started before midnight and stored after it belongs to the new day's shift.
TEST(SetMeasurement, StoredAfterMidnightStartsTheNewShift) {
    SequenceFixture f(true);
    f.clock = text::DateTime{2026, 12, 9, 23, 59, 0, 0};
    f.state->state().DAY = 9;
    f.state->state().NOWKOMPL = 14;
    f.host.onPump = [&f] {
        if (f.host.now > 2500) {
            f.clock = text::DateTime{2026, 12, 10, 0, 1, 0, 0};
        }
    };
    f.host.script = "\r/";
    f.sequences->setMeasurement();
    EXPECT_EQ(onlySetRow(f).Name, "K0001-10122026");
    EXPECT_EQ(f.state->state().NOWKOMPL, 1);
}

// A row that cannot be stored gives the counter back, on disk too, so the next set gets the
// same name and no name is ever skipped for a row that does not exist.
TEST(SetMeasurement, FailedAppendRestoresTheCounter) {
    SequenceFixture f(true);
    f.connection->execute(
        "CREATE TRIGGER refuse BEFORE INSERT ON measComplects BEGIN SELECT RAISE(ABORT, 'full'); END;");
    f.host.script = "\r";
    EXPECT_THROW(f.sequences->setMeasurement(), std::exception);
    EXPECT_EQ(f.state->state().NOWKOMPL, 0);
    EXPECT_EQ(IniFile::load(f.state->file()).get("NOWReplacement", "NOWKOMPL").value_or("0"), "0");
}

// With emulation off: every rig step in order, the forces of the set type times xmuldk
// truncated toward zero, and the stored value derived from the press counts.
TEST(SetMeasurement, RigRunCommandsAndForces) {
    SequenceFixture f(false);
    f.settings.xmuldk = 1.0F;
    f.settings.xmuld = 3.0F; // the spring factor does not touch a set
    f.host.script = "\r/";
    f.sequences->setMeasurement();
    EXPECT_EQ(f.rig.forceTargets, (std::vector<std::int32_t>{1500, 1500, 1500, 12000}));
    EXPECT_TRUE(f.rig.called("centringOpenAndWait"));
    EXPECT_TRUE(f.rig.called("geometryDownToEnd"));
    EXPECT_FALSE(f.rig.called("centringGrip"));
    EXPECT_FALSE(f.rig.running);
    EXPECT_EQ(setRows(f), 1);
}

// Fault codes of the measurement steps end the program from inside the run; nothing stored.
TEST(SetMeasurement, MotionTimeOutsEndWithTheirCodes) {
    const std::pair<const char*, int> rows[] = {{"centringOpenAndWait", 20},
                                                {"carriageRightToEnd", 21},
                                                {"geometryDownToEnd", 22},
                                                {"pressDownToContact", 28},
                                                {"pressLiftOff", 29}};
    for (const auto& [command, code] : rows) {
        SequenceFixture f(false);
        f.rig.timeOut.insert(command);
        f.host.script = "\r*";
        EXPECT_EQ(f.faultCodeOf([&] { f.sequences->setMeasurement(); }), code) << command;
        EXPECT_EQ(setRows(f), 0);
    }
}

// A press cycle with an invalid reading, or a force that cannot be sent, is abandoned: log
// line, rig initialisation (press up, hydraulics off), back to the menu, nothing stored.
TEST(SetMeasurement, InvalidPressReadingAbandonsTheRun) {
    enum Case { LiftOffBefore, LiftOffAfter, Force, Target };
    for (const Case c : {LiftOffBefore, LiftOffAfter, Force, Target}) {
        SequenceFixture f(false);
        int heightReads = 0;
        if (c == LiftOffBefore) {
            f.rig.pressHeightCount = std::nullopt;
        }
        if (c == LiftOffAfter) {
            // Only the fifth read (after the fourth load) is invalid.
            f.host.onPump = [&] {
                heightReads = static_cast<int>(std::count(f.rig.calls.begin(), f.rig.calls.end(), "readPressHeight"));
                if (heightReads >= 4) {
                    f.rig.pressHeightCount = std::nullopt;
                }
            };
        }
        if (c == Force) {
            f.rig.forceCount = std::nullopt;
        }
        if (c == Target) {
            f.rig.acceptForce = false;
        }
        f.host.script = "\r";
        f.sequences->setMeasurement();
        EXPECT_EQ(setRows(f), 0) << c;
        EXPECT_EQ(f.state->state().NOWKOMPL, 0) << c;
        const std::string line = c == Target ? "Замер прерван, усилие нагрузки не может быть задано"
                                             : "Замер прерван, недостоверное показание высоты пресса";
        EXPECT_TRUE(f.logged(line)) << c;
        // The rig initialisation after the abort: press up first, hydraulics off last.
        const auto last = std::find(f.rig.calls.rbegin(), f.rig.calls.rend(), "clearAutoHydraulics");
        ASSERT_NE(last, f.rig.calls.rend()) << c;
        EXPECT_EQ(*(last.base() + 1), "pressUpToEnd") << c;
        EXPECT_EQ(f.rig.calls.back(), "hydraulicsOff") << c;
        EXPECT_EQ(f.screen->depth(), 0) << c;
    }
}

// Without two distinct press calibration points nothing moves on the rig.
TEST(SetMeasurement, RefusedOnARigWithoutPressCalibration) {
    SequenceFixture f(false);
    f.settings.cLir2 = f.settings.cLir1;
    f.host.script = "/";
    f.sequences->setMeasurement();
    EXPECT_TRUE(f.rig.calls.empty());
    EXPECT_EQ(setRows(f), 0);
}
