#include "fixture.h"

#include "platform/text.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace veltron;
using veltron::testing::ScreenFixture;

TEST(ListPicker, PagesOfTwelve) {
    struct Case {
        int current, count;
        int pages, page, first;
    };
    const Case cases[] = {
        {1, 12, 1, 1, 1}, {12, 12, 1, 1, 1},  {13, 13, 2, 2, 13}, {5, 20, 2, 1, 1},
        {1, 0, 1, 1, 1},  {24, 25, 3, 2, 13}, {25, 25, 3, 3, 25},
    };
    for (const Case& c : cases) {
        const PickerPage p = pickerPage(c.current, c.count);
        EXPECT_EQ(p.pages, c.pages) << c.current << "/" << c.count;
        EXPECT_EQ(p.page, c.page) << c.current << "/" << c.count;
        EXPECT_EQ(p.firstLine, c.first) << c.current << "/" << c.count;
    }
}

TEST(ListPicker, MovesAndOfferedKeys) {
    EXPECT_EQ(pickerMove(3, 5, 20), 17);
    EXPECT_EQ(pickerMove(3, 10, 20), 20); // clamped to the last line
    EXPECT_EQ(pickerMove(9, 17, 20), 5);
    EXPECT_EQ(pickerMove(8, 5, 20), 4);
    EXPECT_EQ(pickerMove(2, 5, 20), 6);

    const KeyMask one = pickerKeys(1, 12); // one page: no paging keys
    EXPECT_FALSE(one[9]);
    EXPECT_FALSE(one[3]);
    EXPECT_FALSE(one[8]);
    EXPECT_TRUE(one[2]);
    EXPECT_TRUE(one[12] && one[15]);
    const KeyMask last = pickerKeys(13, 13);
    EXPECT_TRUE(last[9]);
    EXPECT_FALSE(last[3]);
    EXPECT_FALSE(last[2]);
    EXPECT_TRUE(last[8]);

    EXPECT_EQ(pickerStart(0, 5), 1); // a fresh installation's bogie 0
    EXPECT_EQ(pickerStart(9, 5), 5); // a list that shrank
    EXPECT_EQ(pickerStart(3, 0), 1);
    EXPECT_EQ(pickerStart(3, 5), 3);
}

namespace {
void writeList(const ScreenFixture& f, const std::string& name, int lines) {
    std::string bytes;
    for (int i = 1; i <= lines; ++i) {
        bytes += text::utf8ToCp1251("Серия " + std::to_string(i)) + "\r\n";
    }
    std::ofstream(f.root / "work" / name, std::ios::binary) << bytes;
}
} // namespace

TEST(ListPicker, ChoosesCancelsAndRestoresTheScreen) {
    ScreenFixture f;
    writeList(f, "series.txt", 20);
    f.canvas.fillRect(0, 0, 1366, 768, colors::red);
    f.keypad->allDead();
    f.keypad->setLive(5, true);

    f.host.script = "223\r"; // down, down, page down (3 -> 15), choose
    EXPECT_EQ(f.pickers->listPicker("series.txt", "Выбор серии поезда", 200, 1), 15);
    EXPECT_FALSE(f.pickers->cancelled());
    EXPECT_EQ(f.canvas.pixel(500, 400), colors::red);
    EXPECT_TRUE(f.keypad->live(5));
    EXPECT_FALSE(f.keypad->live(15));

    f.host.script = "2/"; // down, cancel: the caller's line comes back
    EXPECT_EQ(f.pickers->listPicker("series.txt", "Выбор серии поезда", 200, 0), 0);
    EXPECT_TRUE(f.pickers->cancelled());

    f.host.script = "\r"; // started at 0, which is clamped to line 1
    EXPECT_EQ(f.pickers->listPicker("series.txt", "Выбор серии поезда", 200, 0), 1);

    writeList(f, "empty.txt", 0);
    f.host.script = "\r"; // an empty list has nothing to choose
    EXPECT_EQ(f.pickers->listPicker("empty.txt", "Выбор тележки", 280, 4), 4);

    EXPECT_THROW(f.pickers->listPicker("missing.txt", "x", 0, 1), std::runtime_error);
    EXPECT_EQ(f.screen->depth(), 0);
}

TEST(ListPicker, HighlightsTheCurrentRowOnly) {
    ScreenFixture f;
    writeList(f, "series.txt", 5);
    // Look at rows 0 and 1 on every pump while the picker runs: after "2" the aqua band
    // must have moved from row 0 to row 1.
    std::vector<std::pair<Rgb, Rgb>> seen;
    f.host.onPump = [&] { seen.emplace_back(f.canvas.pixel(108, 218), f.canvas.pixel(108, 34 + 218)); };
    f.host.script = "2\r";
    EXPECT_EQ(f.pickers->listPicker("series.txt", "Выбор", 200, 1), 2);
    ASSERT_GE(seen.size(), 3U);
    EXPECT_EQ(seen[1], std::make_pair(colors::aqua, colors::white));     // line 1 current
    EXPECT_EQ(seen.back(), std::make_pair(colors::white, colors::aqua)); // line 2 current
}

TEST(NumberInput, KeepsSixteenDigitsAndCancelGivesTheDefault) {
    ScreenFixture f;
    f.canvas.fillRect(0, 0, 1366, 768, colors::green);
    f.host.script = "12345678901234567/";
    EXPECT_EQ(f.pickers->numberInput(16, "Не задано"), "1234567890123456");
    EXPECT_EQ(f.canvas.pixel(500, 400), colors::green);
    f.host.script = "12-98/"; // delete empties the field
    EXPECT_EQ(f.pickers->numberInput(16, "x"), "98");
    f.host.script = "555*";
    EXPECT_EQ(f.pickers->numberInput(16, "4711"), "4711");
    f.host.script = "+\r.7/"; // dead keys do nothing
    EXPECT_EQ(f.pickers->numberInput(16, ""), "7");
}
