#include "sequences/faults.h"

#include "platform/files.h"
#include "platform/text.h"

#include <exception>

namespace veltron {

std::vector<std::string> faultTextLines(const Paths& paths, int code) {
    try {
        const auto content = files::readFile(paths.work("Errors\\" + std::to_string(code) + ".err"));
        if (!content) {
            return {};
        }
        return text::cp1251Lines(*content);
    } catch (const std::exception&) {
        return {};
    }
}

std::string commandFaultText(const Paths& paths, int command) {
    if (command < 1) {
        return {};
    }
    try {
        const auto content = files::readFile(paths.work("Errors\\RTA1000.txt"));
        if (!content) {
            return {};
        }
        const std::vector<std::string> lines = text::cp1251Lines(*content);
        if (static_cast<std::size_t>(command) > lines.size()) {
            return {};
        }
        return lines[static_cast<std::size_t>(command) - 1];
    } catch (const std::exception&) {
        return {};
    }
}

FaultScreens::FaultScreens(Screen& screen, Keypad& keypad, const Settings& settings, FaultHooks hooks)
    : screen_(screen), keypad_(keypad), settings_(settings), hooks_(std::move(hooks)) {}

void FaultScreens::log(const std::string& line) {
    try {
        screen_.log().write(line);
    } catch (...) {
        // the log is not worth a second fault
    }
}

void FaultScreens::stopHydraulics() {
    // A failing hydraulics-off command may itself report a command fault; the guard keeps
    // that report from starting another stop.
    if (settings_.Emul || !hooks_.hydraulicsOff || stopping_) {
        return;
    }
    stopping_ = true;
    try {
        hooks_.hydraulicsOff();
    } catch (const ProgramExit&) {
        stopping_ = false;
        throw;
    } catch (...) {
        // best effort
    }
    stopping_ = false;
}

void FaultScreens::beginScreen(const std::string& codeText) {
    stopHydraulics();
    try {
        screen_.canvas().save(screen_.paths().work("Temp\\preerror.bmp"));
    } catch (...) {
        // the screen copy only serves the restore before the shutdown screen
    }
    try {
        keypad_.saveMask("error");
    } catch (...) {
    }
    keypad_.allDead();
    keypad_.setLive(11, true);
    Canvas& c = screen_.canvas();
    c.fillRect(0, 0, 1366, 768, colors::blue);
    c.setFont("Impact", 72, colors::white, false);
    c.text(310, 80, "Внимание ! ");
    c.setFont("Impact", 42, colors::white, false);
    c.text(70, 220, "Обнаружена аварийная ситуация !");
    c.text(327, 550, codeText);
    c.setFont("Courier", 14, colors::white, false);
    c.text(83, 720, "Перезагрузите установку, и если ошибка повторится-cвяжитесь со службой поддержки !");
}

void FaultScreens::confirmAndEnd() {
    try {
        keypad_.drawKeypad();
        keypad_.caption("Выключить", "установку", 11);
    } catch (...) {
        // a keypad picture that cannot be drawn: the key still works from the keyboard
    }
    screen_.refresh();
    while (keypad_.poll() != 11) {
    }
    try {
        keypad_.loadMask("error");
    } catch (...) {
    }
    try {
        screen_.canvas().load(screen_.paths().work("Temp\\preerror.bmp"));
    } catch (...) {
    }
    log("Завершение работы после ошибки.");
    keypad_.resetLastKey();
    screen_.host().restoreDisplay();
    if (hooks_.exit) {
        hooks_.exit(kFaultExitStatus);
    }
    throw ProgramExit(kFaultExitStatus);
}

void FaultScreens::faultScreen(int code) {
    log(">>>Обнаружена ошибка. Код ошибки:" + std::to_string(code));
    beginScreen("Код ошибки:" + std::to_string(code));
    Canvas& c = screen_.canvas();
    c.setFont("Courier", 16, colors::white, false);
    const std::vector<std::string> lines = faultTextLines(screen_.paths(), code);
    for (std::size_t k = 0; k < lines.size(); ++k) {
        c.text(330, 327 + 18 * static_cast<int>(k), lines[k]);
    }
    confirmAndEnd();
}

void FaultScreens::commandFault(int command) {
    const std::string quoted = "\"" + commandFaultText(screen_.paths(), command) + "\"";
    if (hooks_.terminalShown && hooks_.terminalShown()) {
        if (hooks_.terminalLog) {
            hooks_.terminalLog("rtError:" + std::to_string(command) + " в команде:" + quoted);
        }
        return;
    }
    if (!settings_.rtErrorEnable) {
        return;
    }
    commandFaultScreen(command, quoted);
}

void FaultScreens::commandFaultScreen(int command, const std::string& quoted) {
    log(">>>Обнаружена ошибка связи. Код ошибки:1000/" + std::to_string(command));
    beginScreen("Код ошибки:1000/" + std::to_string(command));
    Canvas& c = screen_.canvas();
    c.setFont("Courier", 16, colors::white, false);
    c.text(360, 350, "При обработке команды:");
    c.text(360, 377, quoted);
    confirmAndEnd();
}

} // namespace veltron
