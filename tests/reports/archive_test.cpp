// The archives on the screen: entry on the newest row, paging, the cursor mark, printing the
// row under the cursor, the correction keys, and the empty table.
#include "fixture.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace veltron::testing {
namespace {

constexpr Rgb kNavy{0, 0, 128};

// Runs an archive with the keys typed and a look at the screen before each key.
struct ArchiveRun {
    explicit ArchiveRun(ReportFixture& fixture) : f(fixture) {}
    ReportFixture& f;
    std::vector<std::string> currentNames; // the current record's name at each key
    std::vector<KeyMask> masks;
    std::function<void()> look;
    void run(bool sets, const std::string& keys) {
        f.host.script = keys;
        f.host.typeWhen = [this] { return f.reports->archiveMode(); };
        f.host.beforeKey = [this, sets] {
            if (f.reports->archiveMode() && f.keypad->live(12) && f.screen->depth() == 1) {
                currentNames.push_back(sets ? f.records.set.Name : f.records.spring.Name);
                masks.push_back(f.keypad->mask());
                if (look) {
                    look();
                }
            }
        };
        if (sets) {
            f.reports->setArchive();
        } else {
            f.reports->springArchive();
        }
        f.host.beforeKey = nullptr;
        f.host.typeWhen = nullptr;
    }
};

// Saves the screen where a person asked for pictures (VELTRON_SHEET_PNG=folder).
void keepForTheEye(const Canvas& c, const std::string& name) {
    if (const char* dir = std::getenv("VELTRON_SHEET_PNG")) {
        c.image().save(QString::fromStdString(std::string(dir) + "/" + name));
    }
}

bool marked(const Canvas& c, int line) {
    const int y = 175 + 23 * line;
    for (int yy = y; yy <= y + 22; ++yy) {
        if (c.pixel(300, yy) == colors::aqua) {
            return true;
        }
    }
    return false;
}

TEST(SpringArchive, EntryPagingAndCursor) {
    ReportFixture f;
    f.appendSprings(20);
    std::vector<int> markedLines;
    std::vector<bool> thumbAtTop;
    ArchiveRun run(f);
    run.look = [&] {
        for (int line = 1; line <= 14; ++line) {
            if (marked(f.canvas, line)) {
                markedLines.push_back(line);
            }
        }
        thumbAtTop.push_back(f.canvas.pixel(380, 190) == colors::green);
    };
    // Row 19; key 8 -> row 0; key 7 -> nothing; key 2 -> row 19; key 7 -> 18; key 8 -> row 0
    // (18 - 14 = 4, and 4 - 14 <= 0); leave.
    run.run(false, "87278/");
    const std::vector<std::string> expected = {"0020-09122026", "0001-09122026", "0001-09122026",
                                               "0020-09122026", "0019-09122026", "0001-09122026"};
    EXPECT_EQ(run.currentNames, expected);
    EXPECT_EQ(markedLines, (std::vector<int>{6, 1, 1, 6, 5, 1}));
    EXPECT_EQ(thumbAtTop, (std::vector<bool>{false, true, true, false, false, true}));
    const std::string log = f.logText();
    EXPECT_NE(log.find("Переход в меню базы данных."), std::string::npos);
    EXPECT_FALSE(f.reports->archiveMode());
    EXPECT_EQ(f.screen->depth(), 0);
    EXPECT_EQ(f.keypad->lastKey(), 0);
}

TEST(SpringArchive, ListCountAndKeys) {
    ReportFixture f;
    f.appendSprings(20);
    ArchiveRun run(f);
    bool listed = false;
    run.look = [&] {
        const Canvas& c = f.canvas;
        // The second page holds rows 14..19 on lines 1..6, the current one marked in aqua.
        keepForTheEye(c, "spring-archive.png");
        listed = textMismatch(c, 120, 177 + 23 * 1, "0015-09122026", FontSpec{"Courier", 18, colors::black}) == 0 &&
                 textMismatch(c, 100, 555, "Всего замеров:20  ", FontSpec{"Times New Roman", 14, kNavy}) == 0;
    };
    run.run(false, "/");
    EXPECT_TRUE(listed);
    ASSERT_EQ(run.masks.size(), 1U);
    for (int k = 1; k <= 16; ++k) {
        const bool live = k == 1 || k == 2 || k == 7 || k == 8 || k == 10 || k == 12;
        EXPECT_EQ(run.masks[0][static_cast<std::size_t>(k)], live) << k;
    }
}

TEST(SpringArchive, PrintsTheRowUnderTheCursor) {
    ReportFixture f;
    f.appendSprings(3);
    {
        // Row 1 out of norm, so its sheet carries its own verdict.
        ResultTables t(*f.connection);
        _xZamer bad = f.spring("0099-09122026", 150.0F);
        t.appendSpringRow(bad);
    }
    ArchiveRun run(f);
    run.run(false, "70*/"); // up to row 2, print, confirm, leave
    ASSERT_EQ(f.printer->sheets.size(), 1U);
    EXPECT_NE(f.printer->sheets[0].findText("№ 0003-09122026"), nullptr);
    EXPECT_NE(f.printer->sheets[0].findText("Результат замера: Норма"), nullptr);
    EXPECT_NE(f.logText().find("Распечатан замер:0003-09122026"), std::string::npos);
}

TEST(SetArchive, CorrectionIsStoredAndShownWithItsNewGroup) {
    ReportFixture f;
    f.settings.KdbEditor = true;
    f.appendSets(2, 98.95F);
    std::vector<bool> groupOne;
    std::vector<bool> rejected;
    ArchiveRun run(f);
    run.look = [&] {
        groupOne.push_back(
            textMismatch(f.canvas, 440, 644, "Группа комплекта:№ 1", FontSpec{"Impact", 18, colors::green}) == 0);
        rejected.push_back(textMismatch(f.canvas, 440, 644, "Группа комплекта:не определена",
                                        FontSpec{"Impact", 18, colors::red}) == 0);
    };
    run.look = [&, look = run.look] {
        look();
        keepForTheEye(f.canvas, "set-archive-" + std::to_string(groupOne.size()) + ".png");
    };
    run.run(true, "93/");
    EXPECT_EQ(groupOne, (std::vector<bool>{false, true, false}));
    EXPECT_EQ(rejected, (std::vector<bool>{true, false, true}));
    ASSERT_EQ(run.masks.size(), 3U);
    EXPECT_TRUE(run.masks[0][3]);
    EXPECT_TRUE(run.masks[0][9]);

    ResultTables t(*f.connection);
    _xKZamer back;
    t.readSetRow(1, back);
    EXPECT_FLOAT_EQ(back.List, static_cast<float>(
                                   static_cast<double>(static_cast<float>(static_cast<double>(98.95F) + 0.1)) - 0.1));
    t.readSetRow(0, back);
    EXPECT_FLOAT_EQ(back.List, 98.95F);
    EXPECT_NE(f.logText().find("Переход в меню базы данных комплектов."), std::string::npos);
}

TEST(SetArchive, CorrectionKeysNeedTheEditorSetting) {
    ReportFixture f;
    f.appendSets(1, 98.95F);
    ArchiveRun run(f);
    run.run(true, "9/");
    ResultTables t(*f.connection);
    _xKZamer back;
    t.readSetRow(0, back);
    EXPECT_FLOAT_EQ(back.List, 98.95F);
    ASSERT_FALSE(run.masks.empty());
    EXPECT_FALSE(run.masks[0][9]);
}

TEST(SetArchive, PrintsThePrintCopyOfTheRowShown) {
    ReportFixture f;
    f.appendSets(16, 101.0F);
    ArchiveRun run(f);
    run.run(true, "80*/"); // row 15 -> row 0, print, confirm, leave
    ASSERT_EQ(f.printer->sheets.size(), 1U);
    EXPECT_NE(f.printer->sheets[0].findText("Комплект № K0001-09122026"), nullptr);
    EXPECT_NE(f.logText().find("Распечатан замер комплекта:K0001-09122026"), std::string::npos);
}

TEST(SetArchive, EmptyTableShowsOnlyTheCount) {
    ReportFixture f;
    f.settings.KdbEditor = true;
    ArchiveRun run(f);
    bool countShown = false;
    bool noThumb = false;
    bool noPage = false;
    run.look = [&] {
        countShown = textMismatch(f.canvas, 100, 555, "Всего замеров:0  ", FontSpec{"Times New Roman", 14, kNavy}) == 0;
        noThumb = f.canvas.pixel(384, 300) == colors::white;
        noPage = f.canvas.pixel(420, 176) != colors::green;
    };
    run.run(true, "12789*/");
    EXPECT_TRUE(countShown);
    EXPECT_TRUE(noThumb);
    EXPECT_TRUE(noPage);
    ASSERT_FALSE(run.masks.empty());
    for (int k = 1; k <= 16; ++k) {
        EXPECT_EQ(run.masks[0][static_cast<std::size_t>(k)], k == 12) << k;
    }
    EXPECT_TRUE(f.printer->sheets.empty());
    EXPECT_EQ(f.screen->depth(), 0);
}

} // namespace
} // namespace veltron::testing
