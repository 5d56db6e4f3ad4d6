#include "fixture.h"

#include <gtest/gtest.h>

using namespace veltron;
using veltron::testing::SequenceFixture;

namespace {

// White pixels of the explanation lines under the code.
int whitePixelsOfExplanation(const Canvas& c) {
    int n = 0;
    for (int y = 327; y < 400; ++y) {
        for (int x = 330; x < 900; ++x) {
            n += c.pixel(x, y) == colors::white ? 1 : 0;
        }
    }
    return n;
}

} // namespace

// The fault screen shows the code whether or not its Errors file exists, waits for key 11 and
// ends the program; on a rig it switches the hydraulics off before it waits.
TEST(FaultScreen, ShowsTheCodeWithOrWithoutItsTextAndEnds) {
    for (const bool withFile : {true, false}) {
        SequenceFixture f(false);
        if (!withFile) {
            std::filesystem::remove(f.root / "work" / "Errors" / "15.err");
        }
        f.host.script = "5*";
        EXPECT_THROW(f.faults->faultScreen(15), ProgramExit);
        EXPECT_EQ(f.exitStatus, kFaultExitStatus);
        EXPECT_EQ(f.hydraulicsOffs, 1);
        EXPECT_TRUE(f.logged(">>>Обнаружена ошибка. Код ошибки:15"));
        EXPECT_TRUE(f.logged("Завершение работы после ошибки."));
        EXPECT_TRUE(std::filesystem::exists(f.root / "work" / "Temp" / "preerror.bmp"));
        // The screen drawn before the confirmation is what preerror.bmp restores, so the code
        // and its lines are checked on a fresh fault screen that is left by Esc.
        SequenceFixture g(false);
        if (!withFile) {
            std::filesystem::remove(g.root / "work" / "Errors" / "15.err");
        }
        g.host.onPump = [&g] {
            if (g.canvas.pixel(5, 5) == colors::blue) {
                g.host.onPump = nullptr;
                throw ProgramExit(9); // stop while the fault screen waits
            }
        };
        EXPECT_THROW(g.faults->faultScreen(15), ProgramExit);
        EXPECT_EQ(whitePixelsOfExplanation(g.canvas) > 0, withFile) << withFile;
    }
}

TEST(FaultScreen, NoHydraulicsCommandInEmulation) {
    SequenceFixture f(true);
    f.host.script = "*";
    EXPECT_THROW(f.faults->faultScreen(2), ProgramExit);
    EXPECT_EQ(f.hydraulicsOffs, 0);
}

// The command fault report: a line in the shown service window, silence with rtErrorEnable
// off, otherwise the fault screen; the quoted text is line N of RTA1000.txt, empty beyond it.
TEST(CommandFault, ReportsByWindowAndSetting) {
    {
        SequenceFixture f(false);
        std::vector<std::string> lines;
        FaultHooks hooks;
        hooks.terminalShown = [] { return true; };
        hooks.terminalLog = [&](const std::string& l) { lines.push_back(l); };
        FaultScreens faults(*f.screen, *f.keypad, f.settings, hooks);
        f.settings.rtErrorEnable = true;
        faults.commandFault(20);
        faults.commandFault(500);
        ASSERT_EQ(lines.size(), 2U);
        EXPECT_EQ(lines[0], "rtError:20 в команде:\"пресс: вверх\"");
        EXPECT_EQ(lines[1], "rtError:500 в команде:\"\"");
    }
    {
        SequenceFixture f(false);
        f.settings.rtErrorEnable = false;
        f.faults->commandFault(20);
        EXPECT_EQ(f.logText(), "");
        EXPECT_EQ(f.exitStatus, -1);
    }
    {
        SequenceFixture f(false);
        f.settings.rtErrorEnable = true;
        std::filesystem::remove(f.root / "work" / "Errors" / "RTA1000.txt");
        f.host.script = "*";
        EXPECT_THROW(f.faults->commandFault(7), ProgramExit);
        EXPECT_EQ(f.exitStatus, kFaultExitStatus);
        EXPECT_TRUE(f.logged(">>>Обнаружена ошибка связи. Код ошибки:1000/7"));
    }
}

// Every code the sequences raise has its text in the installation, and every command number
// of the controllers and cameras has its line.
TEST(CommandFault, InstallationTextsCoverEveryCode) {
    const Paths paths{SOURCE_DIR "/install", SOURCE_DIR "/install"};
    for (int code : {2, 3, 4, 5, 6, 7, 8, 9, 10, 12, 13, 15, 16, 17, 18, 20, 21, 22, 25, 26, 27, 28, 29}) {
        EXPECT_FALSE(faultTextLines(paths, code).empty()) << code;
    }
    for (int n = 1; n <= 59; ++n) {
        EXPECT_FALSE(commandFaultText(paths, n).empty()) << n;
    }
    EXPECT_EQ(commandFaultText(paths, 60), "");
    EXPECT_EQ(commandFaultText(paths, 0), "");
}
