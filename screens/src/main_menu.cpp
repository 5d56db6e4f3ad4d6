#include "screens/main_menu.h"

namespace veltron {

void drawMainMenu(Screen& screen, Keypad& keypad, const StatusTexts& status) {
    Canvas& c = screen.canvas();
    const auto cash = screen.paths().work("Temp\\cash.bmp");
    c.save(cash);
    c.load(cash);
    screen.picture("fon1.bmp", 0, 0);
    const Settings& s = screen.settings();
    screen.banner(s.Depo1Name + "  " + s.DepoName, 40, 18);
    keypad.allDead();
    for (int k : {3, 4, 5, 6, 9, 10, 13}) {
        keypad.setLive(k, true);
    }
    // An installation with cameras can offer the spring measurement and its archive.
    keypad.setLive(1, s.SpringKeys);
    keypad.setLive(7, s.SpringKeys);
    keypad.drawKeypad();
    keypad.caption("Замер", "комплекта", 3);
    keypad.caption("№", "поезда", 4);
    keypad.caption("Серия", "поезда", 5);
    keypad.caption("Тип", "тележки", 6);
    keypad.caption("Архив", "комплектов", 9);
    keypad.caption("Режим", "прогрева", 10);
    keypad.caption("Завершение", "работы", 13);
    if (s.SpringKeys) {
        keypad.caption("Замер", "пружины", 1);
        keypad.caption("Архив", "пружин", 7);
    }
    screen.statusPanel(status.train, status.bogie, status.series, status.springs, status.sets);
}

} // namespace veltron
