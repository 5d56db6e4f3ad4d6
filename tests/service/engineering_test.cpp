#include "service/engineering.h"
#include "service/widgets.h"

#include <QApplication>
#include <QDialog>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>

namespace veltron::service {
namespace {

// Runs action once the next modal loop is serving events.
void whenModal(std::function<void()> action) {
    QTimer::singleShot(0, [action = std::move(action)] { action(); });
}

TEST(EndRequest, ClosesNestedModalWindowsAndHandsTheEndToTheOuterCaller) {
    QDialog outer;
    QDialog inner;
    EndRequest end;
    std::vector<int> ended;
    bool innerShown = false;
    whenModal([&] {
        whenModal([&] {
            innerShown = inner.isVisible();
            end.request(3); // a button of the inner window
        });
        inner.exec(); // opened from the outer window's menu
    });
    end.showModal(outer, [&ended](int status) { ended.push_back(status); });
    EXPECT_TRUE(innerShown);
    EXPECT_FALSE(inner.isVisible());
    EXPECT_FALSE(outer.isVisible());
    EXPECT_EQ(ended, std::vector<int>{3});

    // Once asked, a later modal window is not shown at all; the end follows at once.
    QDialog later;
    end.showModal(later, [&ended](int status) { ended.push_back(status); });
    EXPECT_EQ(ended, (std::vector<int>{3, 3}));
}

struct Engineering {
    explicit Engineering(Settings s) : settings(std::move(s)) {
        EngineeringSetup setup;
        setup.settings = &settings;
        setup.calibration = &tables;
        setup.workDir = std::filesystem::temp_directory_path();
        setup.log = [this](const std::string& line) { logged.push_back(line); };
        setup.endAtOnce = [this](int status) { ended.push_back(status); };
        windows = std::make_unique<EngineeringWindows>(setup);
    }
    Settings settings;
    CalibrationTables tables;
    std::vector<std::string> logged;
    std::vector<int> ended;
    std::unique_ptr<EngineeringWindows> windows;
};

TEST(EngineeringWindows, StartupShowsTheEvaluationOnlyWithBothSettingsThenTheTerminal) {
    struct Case {
        bool visStart, visEnable, terminal;
        bool evaluationShown, terminalShown;
    };
    const Case cases[] = {
        {true, true, true, true, true},
        {true, false, false, false, false},
        {false, true, true, false, true},
    };
    for (const Case& c : cases) {
        Settings s;
        s.MathVisStart = c.visStart;
        s.MathVisEnable = c.visEnable;
        s.TerminalStart = c.terminal;
        Engineering e(s);
        e.tables.table[2][100] = 42.5F;
        bool evaluationShown = false;
        bool terminalShown = false;
        e.windows->showTerminal = [&terminalShown] { terminalShown = true; };
        if (c.visStart && c.visEnable) {
            whenModal([&] {
                evaluationShown = e.windows->evaluationWindow().isVisible();
                e.windows->evaluationWindow().reject(); // the engineer closes it
            });
        }
        e.windows->startup();
        EXPECT_EQ(evaluationShown, c.evaluationShown);
        EXPECT_EQ(terminalShown, c.terminalShown);
        EXPECT_TRUE(e.ended.empty());
        // The loader's tables reach the mathematics by the time the windows can show them.
        EXPECT_FLOAT_EQ(e.windows->calibration().table(2)[100], 42.5F);
    }
}

TEST(EngineeringWindows, EndButtonOfTheStartupWindowEndsTheProgramAfterItCloses) {
    Settings s;
    s.MathVisStart = true;
    s.MathVisEnable = true;
    s.TerminalStart = true;
    Engineering e(s);
    bool terminalShown = false;
    e.windows->showTerminal = [&terminalShown] { terminalShown = true; };
    whenModal([&] { findButton(&e.windows->evaluationWindow(), QString::fromUtf8("Закрыть программу"))->click(); });
    e.windows->startup();
    EXPECT_EQ(e.ended, std::vector<int>{0});
    EXPECT_FALSE(terminalShown);
}

TEST(EngineeringWindows, SystemStartedShowsTheDebugWindowWithOrWithoutItsMessage) {
    for (const bool record : {false, true}) {
        Settings s;
        s.WritetoDS = record;
        s.DSShow = true;
        Engineering e(s);
        e.windows->systemStarted();
        EXPECT_TRUE(e.windows->debug().isVisible());
        EXPECT_EQ(e.windows->debug().text(), record ? QString::fromUtf8("Система запущена") : QString());
        e.windows->debug().hide();
    }
}

} // namespace
} // namespace veltron::service
