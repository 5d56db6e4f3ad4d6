#include "rig/terminal_window.h"
#include "service/range_finder_window.h"
#include "service/widgets.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include <filesystem>

namespace veltron {
namespace {

// The rig layer's window side for tests: pending events are served, sleeps return at once.
class TestHost : public rig::RigHost {
public:
    void processEvents() override { QApplication::processEvents(); }
    void sleepMs(int ms) override { ticks_ += static_cast<std::uint64_t>(ms); }
    std::uint64_t tickMs() override { return ++ticks_; }
    void beep() override {}

private:
    std::uint64_t ticks_ = 0;
};

struct TerminalFixture {
    TerminalFixture() : terminal(settings, host, std::filesystem::temp_directory_path()), window(terminal) {
        settings.CK_PORT = 5;
        settings.CK2_PORT = 6;
        settings.CAM_PORT = 7;
        settings.CHRP_PORT = 8;
        settings.SDIV = 12;
    }
    Settings settings;
    TestHost host;
    rig::Terminal terminal;
    rig::TerminalWindow window;
};

QStringList memoLines(const rig::TerminalWindow& w) {
    return w.memoText().split('\n');
}

TEST(TerminalWindow, HasEveryButtonOfTheTableAndTheGroupsWithTheirDefaults) {
    TerminalFixture f;
    rig::TerminalWindow& w = f.window;
    EXPECT_EQ(w.windowTitle(), "Terminal");
    for (const rig::ButtonBinding& b : rig::Terminal::buttons()) {
        QPushButton* button = w.button(b.name);
        ASSERT_NE(button, nullptr) << b.name;
        EXPECT_EQ(button->text(), QString::fromUtf8(b.caption)) << b.name;
    }
    QStringList groups;
    for (auto* g : w.findChildren<QGroupBox*>()) {
        groups << g->title();
    }
    for (const char* title : {"Проверка связи ", " Панель управления ", "  Каретка  ", "  Гидростанция  ",
                              "  Геометрия  ", " Силовая  и замер ", " Давление  ", " Окно индикации "}) {
        EXPECT_TRUE(groups.contains(QString::fromUtf8(title))) << title;
    }
    const std::pair<const char*, const char*> edits[] = {{"Edit1", "5000"}, {"Edit2", "1"}, {"Edit3", "0"},
                                                         {"Edit7", "100"},  {"Edit8", "8"}, {"Edit9", "0"}};
    for (const auto& [name, text] : edits) {
        ASSERT_NE(w.edit(name), nullptr) << name;
        EXPECT_EQ(w.edit(name)->text(), text) << name;
    }
    const auto box = [&w](const char* name) { return w.findChild<QCheckBox*>(name); };
    EXPECT_FALSE(box("CheckBox1")->isChecked());
    EXPECT_TRUE(box("CheckBox2")->isChecked());
    EXPECT_TRUE(box("CheckBox3")->isChecked());
    EXPECT_EQ(box("CheckBox3")->text(), QString::fromUtf8("Авто ВЫКЛ ГС "));
    EXPECT_TRUE(w.findChild<QRadioButton*>("RadioButton2")->isChecked());
    EXPECT_EQ(w.label("Label23")->text(), QString::fromUtf8("Статус:"));
    EXPECT_EQ(w.label("Label11")->text(), QString::fromUtf8("НЕ РАБОТАЙ С КЛАПАНАМИ ПРИ АВТООПРОСЕ"));
    EXPECT_EQ(memoLines(w), QStringList{QString::fromUtf8("Велтрон-М версия 1.0")});
    // The program's own controls are there but out of reach.
    for (const char* hidden : {"Button50", "Button51", "Button72", "Button83"}) {
        EXPECT_TRUE(w.button(hidden)->isHidden() || !w.button(hidden)->isVisibleTo(&w)) << hidden;
    }
}

TEST(TerminalWindow, ShowingPutsTheEmulationWarningAndTheBannerAndSetsTheShownFlag) {
    TerminalFixture f;
    f.settings.Emul = true;
    f.window.show();
    EXPECT_TRUE(f.terminal.state.shown);
    const QStringList expected = {QString::fromUtf8("ВНИМАНИЕ ! Режим эмуляции включен !"),
                                  QString::fromUtf8("ЦК(мб)  подключен к COM5"),
                                  QString::fromUtf8("ДК(лм)  подключен к COM6"),
                                  QString::fromUtf8("Камеры подключены к COM7"),
                                  QString::fromUtf8("ЧРП    подключен  к COM8"),
                                  QString::fromUtf8("Тензодатчик подключен  к COM0")};
    EXPECT_EQ(memoLines(f.window), expected);
    EXPECT_EQ(f.window.edit("Edit8")->text(), "12");
    f.window.hide();
    EXPECT_FALSE(f.terminal.state.shown);
}

TEST(TerminalWindow, InvalidPressTargetSendsNothingAndLogsWhileAValidOneIsSent) {
    TerminalFixture f;
    f.window.show();
    const int banner = static_cast<int>(f.terminal.state.Memo1.size());
    ASSERT_EQ(banner, 6);
    // Typed into the field, as the engineer does.
    QLineEdit* edit3 = f.window.edit("Edit3");
    edit3->selectAll();
    QTest::keyClicks(edit3, "12x");
    EXPECT_EQ(f.terminal.state.Edit3, "12x");
    f.window.button("Button49")->click();
    EXPECT_TRUE(f.terminal.values.commandRefused);
    // The refusal, and the command's fault report (a log line while the terminal is shown);
    // nothing moved, so neither the hydraulics nor the press were addressed.
    const QStringList refused = memoLines(f.window).mid(banner);
    ASSERT_EQ(refused.size(), 2) << refused.join(" | ").toStdString();
    EXPECT_TRUE(refused[0].contains("12x"));
    EXPECT_TRUE(refused[1].startsWith("rtError:22")) << refused[1].toStdString();
    EXPECT_TRUE(f.window.button("Button49")->isEnabled());

    // A valid target in ADC units goes out: no port is open, so every exchange of the
    // command fails, and the shown terminal reports each as a log line.
    f.window.findChild<QRadioButton*>("RadioButton1")->click();
    EXPECT_TRUE(f.terminal.state.RadioButton1);
    edit3->selectAll();
    QTest::keyClicks(edit3, "300");
    const int before = static_cast<int>(f.terminal.state.Memo1.size());
    f.window.button("Button49")->click();
    EXPECT_FALSE(f.terminal.values.commandRefused);
    const QStringList sent = memoLines(f.window).mid(before);
    EXPECT_GT(sent.size(), 2) << sent.join(" | ").toStdString();
    EXPECT_TRUE(sent.filter("rtError:").size() >= 2) << sent.join(" | ").toStdString();
}

TEST(TerminalWindow, ClearButtonEmptiesTheLogAndMenuHooksRun) {
    TerminalFixture f;
    f.window.show();
    f.window.button("Button80")->click();
    EXPECT_TRUE(f.window.memoText().isEmpty());
    int shown = 0;
    f.window.showRangeFinder = [&shown] { ++shown; };
    for (QAction* a : f.window.findChildren<QAction*>()) {
        if (a->text() == QString::fromUtf8("Дальномер")) {
            a->trigger();
        }
    }
    EXPECT_EQ(shown, 1);
}

math::Calibration tableWith(int camera, int pixel, float value) {
    math::Calibration c;
    c.table(camera).fill(100.0F);
    c.table(camera)[static_cast<std::size_t>(pixel)] = value;
    return c;
}

TEST(RangeFinder, ReadingClampsTheFirstPointAndDropsImpossibleTableEntries) {
    math::MathParams params;
    params.dmm[2] = 1.5F;
    struct Case {
        std::int32_t first;
        int entry;
        float value;
        std::int32_t pixel;
        float mm;
    };
    const Case cases[] = {
        {3000, 2047, 42.25F, 2047, 43.75F}, // beyond the sensor: the last pixel
        {512, 512, 80.0F, 512, 81.5F},      // inside
        {512, 512, -3.0F, 512, 1.5F},       // a negative entry reads 0
        {512, 512, 1000001.0F, 512, 1.5F},  // so does one above a kilometre
        {-4, 0, 60.0F, -4, 61.5F},          // below 0: entry 0
    };
    for (const Case& c : cases) {
        const math::Calibration cal = tableWith(2, c.entry, c.value);
        const service::RangeReading r = service::rangeReading(c.first, 2, cal, params);
        EXPECT_EQ(r.pixel, c.pixel) << c.first;
        EXPECT_FLOAT_EQ(r.mm, c.mm) << c.first;
    }
}

TEST(RangeFinder, MeasureShowsTheChosenCameraAndClosingStopsTheAutoPoll) {
    math::MathParams params;
    params.dmm[3] = -2.0F;
    const math::Calibration cal = tableWith(3, 2047, 57.25F);
    std::vector<int> asked;
    service::RangeFinderWindow w(
        [&asked](int camera) -> std::optional<std::int32_t> {
            asked.push_back(camera);
            if (asked.size() > 1) {
                return std::nullopt; // the download failed
            }
            return 3000;
        },
        cal, params);
    EXPECT_EQ(w.windowTitle(), QString::fromUtf8("Привязочный дальномер "));
    EXPECT_EQ(w.chosenCamera(), 1);
    w.findChild<QRadioButton*>("RadioButton3")->click();
    service::findButton(&w, QString::fromUtf8("Замер"))->click();
    EXPECT_EQ(asked, std::vector<int>{3});
    EXPECT_EQ(w.pixelText(), "2047");
    EXPECT_EQ(w.mmText(), "55.25");
    EXPECT_EQ(w.offsetText(), QString::fromUtf8("Поправка: -2.00"));
    service::findButton(&w, QString::fromUtf8("Замер"))->click();
    EXPECT_EQ(w.pixelText(), "?");
    EXPECT_EQ(w.mmText(), "?");

    w.show();
    auto* autoPoll = w.findChild<QCheckBox*>("CheckBox1");
    autoPoll->click();
    EXPECT_TRUE(w.autoPolling());
    service::findButton(&w, QString::fromUtf8("Закрыть"))->click();
    EXPECT_FALSE(autoPoll->isChecked());
    EXPECT_FALSE(w.autoPolling());
}

} // namespace
} // namespace veltron
