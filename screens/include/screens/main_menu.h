// The main menu screen that the menu loop polls: background, banner with the depot's names,
// the keypad with the menu's seven keys and the status panel.
#pragma once

#include "screens/keypad.h"
#include "screens/screen.h"

#include <string>

namespace veltron {

struct StatusTexts {
    std::string train, bogie, series, springs, sets;
};

void drawMainMenu(Screen& screen, Keypad& keypad, const StatusTexts& status);

} // namespace veltron
