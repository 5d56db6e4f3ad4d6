#include "fixture.h"

#include "platform/files.h"

#include <gtest/gtest.h>

using namespace veltron;
using veltron::testing::ScreenFixture;

std::string veltron::testing::ScreenFixture::logText() const {
    return text::cp1251ToUtf8(files::readFile(root / "work" / "Log.txt").value_or(""));
}

namespace {
// Leftmost and topmost pixel of a colour inside a box.
std::pair<int, int> firstOf(const Canvas& c, Rgb color, int x1, int y1, int x2, int y2) {
    int left = -1;
    int top = -1;
    for (int y = y1; y <= y2; ++y) {
        for (int x = x1; x <= x2; ++x) {
            if (c.pixel(x, y) == color) {
                left = left < 0 || x < left ? x : left;
                top = top < 0 ? y : top;
            }
        }
    }
    return {left, top};
}
} // namespace

TEST(Screen, FramedPanelInBothColourSets) {
    struct Case {
        int theme;
        Rgb shadow, outer, inner;
    };
    for (const Case& k :
         {Case{1, colors::skyBlue, colors::white, colors::blue}, Case{0, colors::grey, colors::yellow, colors::green},
          Case{2, colors::grey, colors::yellow, colors::green}}) {
        ScreenFixture f(k.theme);
        f.canvas.fillRect(0, 0, 1366, 768, colors::black);
        f.screen->framedPanel(100, 100, 200, 150);
        EXPECT_EQ(f.canvas.pixel(98, 98), k.outer) << k.theme;
        EXPECT_EQ(f.canvas.pixel(201, 151), k.outer) << k.theme;
        EXPECT_EQ(f.canvas.pixel(202, 152), k.shadow) << k.theme; // shadow shows below right
        EXPECT_EQ(f.canvas.pixel(209, 159), k.shadow) << k.theme;
        EXPECT_EQ(f.canvas.pixel(210, 160), colors::black) << k.theme;
        EXPECT_EQ(f.canvas.pixel(99, 99), k.inner) << k.theme;
        EXPECT_EQ(f.canvas.pixel(200, 150), k.inner) << k.theme;
        EXPECT_EQ(f.canvas.pixel(100, 100), colors::white) << k.theme;
        EXPECT_EQ(f.canvas.pixel(199, 149), colors::white) << k.theme;
        EXPECT_EQ(f.canvas.pixel(97, 97), colors::black) << k.theme;
    }
}

TEST(Screen, BannerShadowIsTwoPixelsRightAndDown) {
    for (int theme : {0, 1}) {
        ScreenFixture f(theme);
        f.screen->banner("Завершение работы", 200, 18);
        const Rgb text = theme == 1 ? colors::blue : colors::black;
        const Rgb shadow = theme == 1 ? colors::skyBlue : colors::pink;
        const auto t = firstOf(f.canvas, text, 240, 10, 900, 98);
        const auto s = firstOf(f.canvas, shadow, 240, 10, 900, 98);
        ASSERT_GE(t.first, 250) << theme;
        EXPECT_EQ(s.first - t.first, 2) << theme;
        EXPECT_EQ(s.second - t.second, 2) << theme;
    }
}

TEST(Screen, StripesOnOddLinesInThreeColours) {
    const std::pair<int, Rgb> themes[] = {{0, colors::white}, {1, colors::black}, {2, colors::red}};
    for (const auto& [theme, color] : themes) {
        ScreenFixture f(theme);
        f.canvas.fillRect(0, 0, 1366, 768, colors::aqua);
        f.screen->stripes();
        EXPECT_EQ(f.canvas.pixel(0, 1), color);
        EXPECT_EQ(f.canvas.pixel(1365, 767), color);
        EXPECT_EQ(f.canvas.pixel(700, 2), colors::aqua);
        EXPECT_EQ(f.canvas.pixel(700, 0), colors::aqua);
    }
}

TEST(Screen, StatusPanelWritesLabelsAndValuesInTheirColumns) {
    ScreenFixture f;
    f.screen->statusPanel("1234", "", "ЭД4М", "7", "");
    const auto hasInk = [&](int x1, int y1, int x2, int y2) {
        return firstOf(f.canvas, colors::black, x1, y1, x2, y2).first >= 0;
    };
    for (int x : {80, 240, 420, 580, 780}) {
        EXPECT_TRUE(hasInk(x, 685, x + 60, 712)) << "label at " << x;
    }
    EXPECT_TRUE(hasInk(80, 719, 140, 745));   // train
    EXPECT_FALSE(hasInk(240, 719, 400, 745)); // no bogie chosen: empty name
    EXPECT_TRUE(hasInk(420, 719, 560, 745));  // series
    EXPECT_TRUE(hasInk(580, 719, 640, 745));  // springs
    EXPECT_FALSE(hasInk(780, 719, 900, 745));
}

TEST(Screen, PushesAndPopsRestorePictureAndMaskLevelByLevel) {
    ScreenFixture f;
    const Rgb levels[] = {colors::red, colors::green, colors::blue};
    for (int i = 0; i < 3; ++i) {
        f.canvas.fillRect(0, 0, 1366, 768, levels[i]);
        f.keypad->allDead();
        f.keypad->setLive(i + 1, true);
        f.screen->push();
    }
    EXPECT_EQ(f.screen->depth(), 3);
    f.canvas.fillRect(0, 0, 1366, 768, colors::white);
    f.keypad->allLive();
    for (int i = 2; i >= 0; --i) {
        f.screen->pop();
        EXPECT_EQ(f.canvas.pixel(500, 500), levels[i]) << i;
        for (int k = 1; k <= 16; ++k) {
            EXPECT_EQ(f.keypad->live(k), k == i + 1) << "level " << i << " key " << k;
        }
    }
    // Nothing was pushed below level 0: the pop does nothing, logged once.
    f.canvas.fillRect(0, 0, 1366, 768, colors::white);
    f.screen->pop();
    f.screen->pop();
    EXPECT_EQ(f.screen->depth(), 0);
    EXPECT_EQ(f.canvas.pixel(500, 500), colors::white);
    const std::string log = f.logText();
    EXPECT_EQ(log.find("пропущено"), log.rfind("пропущено"));
    EXPECT_NE(log.find("пропущено"), std::string::npos);
}

TEST(Screen, MissingPictureIsSkippedWithOneLogLine) {
    ScreenFixture f;
    f.canvas.fillRect(0, 0, 1366, 768, colors::white);
    f.screen->picture("komplect-missing.bmp", 10, 10);
    EXPECT_EQ(f.canvas.pixel(10, 10), colors::white);
    EXPECT_NE(f.logText().find("komplect-missing.bmp"), std::string::npos);
    f.screen->picture("fon1.bmp", 0, 0);
    EXPECT_NE(f.canvas.pixel(10, 10), colors::white);
}
