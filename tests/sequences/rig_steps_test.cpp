#include "fixture.h"

#include <gtest/gtest.h>

using namespace veltron;
using veltron::testing::SequenceFixture;

// The system check against a rig whose devices are silenced: one row per fault rule, in the
// order the rules are tried.
TEST(SystemCheck, FaultCodeOfEachSilencePattern) {
    struct Row {
        const char* silent; // d drive, m main, 1-4 cameras, l load cell, s second controller
        int code;
    };
    const Row rows[] = {
        {"", 0},
        {"dm1234ls", 9},
        {"m1234", 10},
        {"ms", 26},
        {"34", 13},
        {"m", 2},
        {"1", 3},
        {"2", 4},
        {"3", 5},
        {"4", 6},
        {"l", 7},
        {"d", 8},
        {"s", 25},
        // On the rig a silent main controller fails the load cell's check as well (the cell is
        // read through it); the code still names the controller.
        {"ml", 2},
        {"m1234l", 10},
        {"msl", 26},
        {"mld", 13},
    };
    for (const Row& row : rows) {
        SequenceFixture f(false);
        const std::string s = row.silent;
        const auto silent = [&](char c) { return s.find(c) != std::string::npos; };
        f.rig.links.drive = !silent('d');
        f.rig.links.mainController = !silent('m');
        for (int c = 1; c <= 4; ++c) {
            f.rig.links.camera[c] = !silent(static_cast<char>('0' + c));
        }
        f.rig.links.loadCell = !silent('l');
        f.rig.links.secondController = !silent('s');
        f.host.script = "*";
        EXPECT_EQ(f.faultCodeOf([&] { f.sequences->systemCheck(); }), row.code) << row.silent;
        EXPECT_EQ(f.screen->depth(), row.code == 0 ? 0 : 1) << row.silent;
    }
}

// Box 1 shows the first check of the second controller, but the decision is the link check's.
TEST(SystemCheck, DecisionUsesTheLinkCheckFlags) {
    SequenceFixture f(false);
    f.rig.secondControllerFirstCheck = false;
    EXPECT_EQ(f.faultCodeOf([&] { f.sequences->systemCheck(); }), 0);
    EXPECT_EQ(f.rig.calls, (std::vector<std::string>{"checkSecondController", "linkCheck"}));
}

TEST(SystemCheck, EmulationAsksNoDevice) {
    SequenceFixture f(true);
    f.rig.links = LinkFlags{};
    f.sequences->systemCheck();
    EXPECT_TRUE(f.rig.calls.empty());
    EXPECT_EQ(f.screen->depth(), 0);
}

// The rig initialisation drives every axis home in order; an axis that never arrives ends the
// program with its code, and nothing after it runs.
TEST(RigInit, AxesInOrderAndTheCodeOfOneThatNeverArrives) {
    const std::pair<const char*, int> rows[] = {{"", 0},
                                                {"pressUpToEnd", 15},
                                                {"geometryUpToEnd", 16},
                                                {"carriageLeftToEnd", 17},
                                                {"centringCloseAndWait", 18}};
    for (const auto& [command, code] : rows) {
        SequenceFixture f(false);
        if (*command != '\0') {
            f.rig.timeOut.insert(command);
        }
        f.host.script = "*";
        EXPECT_EQ(f.faultCodeOf([&] { f.sequences->rigInit(); }), code) << command;
        if (code == 0) {
            const std::vector<std::string> expected = {
                "clearAutoHydraulics", "hydraulicsOn",         "pressUpToEnd", "geometryUpToEnd",
                "carriageLeftToEnd",   "centringCloseAndWait", "hydraulicsOff"};
            EXPECT_EQ(f.rig.calls, expected);
            EXPECT_TRUE(f.logged("Проведена инициализация"));
            EXPECT_FALSE(f.rig.running);
        } else {
            EXPECT_EQ(f.rig.calls.back(), command);
            EXPECT_EQ(f.hydraulicsOffs, 1); // the fault screen stops the pump
        }
    }
}

TEST(RigInit, EmulationMarksWithoutCommands) {
    SequenceFixture f(true);
    f.sequences->rigInit();
    EXPECT_TRUE(f.rig.calls.empty());
    EXPECT_TRUE(f.logged("Проведена инициализация"));
    // Box 5 was marked navy on the initialisation screen, which is popped again.
    EXPECT_EQ(f.screen->depth(), 0);
}

TEST(WarmUp, RunsTheHydraulicsUntilKey10) {
    SequenceFixture f(false);
    f.host.script = "120";
    f.sequences->warmUp();
    EXPECT_EQ(f.rig.calls, (std::vector<std::string>{"hydraulicsOn", "hydraulicsOff"}));
    EXPECT_TRUE(f.host.script.empty());
    EXPECT_EQ(f.screen->depth(), 0);

    SequenceFixture e(true);
    e.host.script = "0";
    e.sequences->warmUp();
    EXPECT_TRUE(e.rig.calls.empty());
}
