// veltron: the rig control program. This start-up runs what exists of the program: it reads
// the operator state and the settings, opens the work log and the console log, writes the
// start-up lines and runs the new-shift check. The operator screen takes over from here
// once it is built; until then the program says so and ends.
#include "app/environment.h"
#include "app/logs.h"
#include "app/settings.h"
#include "app/state.h"

#include <cstdio>

using namespace veltron;

int main() {
    const auto folder = programFolder();
    ConsoleLog console(true, text::now);
    StateStore state(folder / "state.ini", console);
    state.read();
    const Settings settings = readSettingsFile((folder / "setup.ini").string());
    ConsoleLog programConsole(settings.VconEmable, text::now);
    programConsole.setSink([](const std::string& line) { std::printf("%s\n", line.c_str()); });
    WorkLog log("Log.txt", !settings.NoLOG, text::now, programConsole);

    log.write("Программа запущена.");
    programConsole.stamped("Программа запущена");
    programConsole.line("Настройка режима отображения:");
    programConsole.line("Установлено разрешение по Х:" + std::to_string(settings.ResX));
    programConsole.line("Установлено разрешение по Y:" + std::to_string(settings.ResY));
    programConsole.line(std::string("Полный экран:") + (settings.FullScreen == 1 ? "Да" : "Нет"));
    programConsole.line(std::string("Заголовок главного окна:") + (settings.ShowCap ? "Да" : "Нет"));
    if (settings.Emul) {
        log.write("ВНИМАНИЕ ! Режим эмуляции включен !");
    }
    state.newShiftCheck(text::now(), log);

    const auto& s = state.state();
    std::printf("Поезд: %s, серия №%d, тележка №%d, пружин за смену: %d, комплектов за смену: %d\n", s.TRAIN.c_str(),
                s.SERIA, s.CHASSIE, s.NOWSPRING, s.NOWKOMPL);
    std::printf("veltron: the operator screen is not built yet; start-up stops after settings, state and logs.\n");
    return 0;
}
