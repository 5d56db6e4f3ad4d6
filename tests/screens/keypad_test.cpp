#include "fixture.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace veltron;
using veltron::testing::ScreenFixture;

TEST(Keypad, CharactersMapToKeyNumbers) {
    const std::pair<char, int> table[] = {
        {'1', 1},  {'5', 5}, {'9', 9},  {'0', 10}, {'*', 11}, {'/', 12}, {'-', 13},
        {'+', 14}, {13, 15}, {'.', 16}, {',', 16}, {'a', 0},  {' ', 0},  {27, 0},
    };
    for (const auto& [c, key] : table) {
        EXPECT_EQ(keyForCharacter(c), key) << int(c);
    }
}

TEST(Keypad, MouseHitBoxesIncludeTheirBorders) {
    EXPECT_EQ(characterAt(1348, 12), kEsc); // close mark
    EXPECT_EQ(characterAt(1359, 0), kEsc);
    EXPECT_EQ(characterAt(1347, 12), 0);
    EXPECT_EQ(characterAt(1348, 13), 0);
    for (const KeyInfo& k : keyTable()) {
        EXPECT_EQ(characterAt(k.hitX1, k.hitY1), k.character);
        EXPECT_EQ(characterAt(k.hitX2, k.hitY2), k.character);
        EXPECT_NE(characterAt(k.hitX1 - 1, k.hitY1), k.character);
        EXPECT_NE(characterAt(k.hitX2, k.hitY2 + 1), k.character);
    }
    EXPECT_EQ(characterAt(1091, 567), 0);   // key 2's picture starts left of its hit box
    EXPECT_EQ(characterAt(1167, 700), '0'); // the double-width zero
    EXPECT_EQ(characterAt(1300, 528), '+'); // the double-height plus
}

TEST(Keypad, QueueHoldsTwentyKeyboardCharactersAndBeepsBeyond) {
    ScreenFixture f;
    for (int i = 0; i < 25; ++i) {
        f.keypad->keyboardCharacter(static_cast<char>('0' + i % 10));
    }
    EXPECT_EQ(f.keypad->queue().size(), 20U);
    EXPECT_EQ(f.host.beeps, 5);
    EXPECT_EQ(f.keypad->queue().substr(0, 3), "012");
    // Clicks are not limited.
    f.keypad->mousePress(1000, 600);
    EXPECT_EQ(f.keypad->queue().size(), 21U);
    EXPECT_EQ(f.console.memo().back(), "Нажата  мышью клавиша:1 с кодом:31h");
}

TEST(Keypad, PollServesLiveKeysAndConsumesDeadOnes) {
    ScreenFixture f;
    f.keypad->allDead();
    f.keypad->setLive(4, true);
    f.keypad->drawKeypad();
    f.host.script = "5x4";
    EXPECT_EQ(f.keypad->poll(), 0); // "5" is dead: gone, 0
    EXPECT_EQ(f.keypad->poll(), 0); // no key
    EXPECT_EQ(f.keypad->poll(), 4);
    EXPECT_TRUE(f.keypad->queue().empty());
    EXPECT_EQ(f.console.memo().back(), "Нажата клавиша :\"4\" код :34");
    EXPECT_EQ(f.keypad->poll(), 0);
}

TEST(Keypad, EscEndsTheProgramFromAnyPoll) {
    ScreenFixture f;
    bool hookRan = false;
    f.keypad->setForcedExitHook([&] { hookRan = true; });
    f.keypad->mousePress(1350, 5);
    EXPECT_THROW(f.keypad->poll(), ProgramExit);
    EXPECT_TRUE(hookRan);
    EXPECT_NE(f.logText().find("Принудительноее завершение работы (ESC)."), std::string::npos);
}

TEST(Keypad, AnEndRequestedByAnotherWindowEndsAtTheNextPoll) {
    ScreenFixture f;
    int stops = 0;
    f.keypad->setForcedExitHook([&] { ++stops; });
    f.keypad->requestExit(0);
    try {
        f.keypad->poll();
        ADD_FAILURE() << "the poll went on";
    } catch (const ProgramExit& e) {
        EXPECT_EQ(e.status(), 0);
    }
    EXPECT_EQ(stops, 1);
    EXPECT_EQ(f.logText().find("ESC"), std::string::npos);
    EXPECT_EQ(f.keypad->poll(), 0); // asked once, ends once
}

TEST(Keypad, ClockPutsALeadingZero) {
    EXPECT_EQ(clockTime({2024, 2, 1, 9, 5, 7, 0}), "09:05:07");
    EXPECT_EQ(clockTime({2024, 2, 1, 19, 5, 7, 0}), "19:05:07");
    EXPECT_EQ(clockDate({2024, 2, 1, 9, 5, 7, 0}), "01.02.2024");
}

TEST(Keypad, MaskFilesRoundTripAndShortOnesFail) {
    ScreenFixture f;
    f.keypad->allDead();
    f.keypad->setLive(16, true);
    f.keypad->setLive(3, true);
    f.keypad->saveMask("t");
    f.keypad->allLive();
    f.keypad->loadMask("t");
    for (int k = 1; k <= 16; ++k) {
        EXPECT_EQ(f.keypad->live(k), k == 3 || k == 16) << k;
    }
    std::ofstream(f.root / "work" / "Temp" / "short.msk") << "1\r\n1\r\n";
    EXPECT_THROW(f.keypad->loadMask("short"), std::runtime_error);
}
