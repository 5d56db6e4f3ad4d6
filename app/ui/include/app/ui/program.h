// The program's spine: the owners of the program-wide values, the windows in their order of
// creation, the main flow that the first Starter tick runs once, the menu loop and the
// orderly end.
//
// Lifecycle: constructed -> run() reads the state and then the settings, checks for a second
// instance, creates the windows and starts Starter -> main flow (screen set-up, loader,
// start-up steps, new-shift check) -> menu loop -> shutdown screen -> ended. The program also
// ends from any key poll on Esc and through the fault exit; every exit puts the display
// mode back and, on a rig, switches the hydraulics off first.
#pragma once

#include "app/catalogue.h"
#include "app/loader.h"
#include "app/logs.h"
#include "app/settings.h"
#include "app/state.h"
#include "app/ui/main_window.h"
#include "app/ui/service_windows.h"
#include "platform/canvas.h"
#include "platform/database.h"
#include "platform/desktop.h"
#include "screens/keypad.h"
#include "screens/main_menu.h"
#include "screens/pickers.h"
#include "screens/screen.h"

#include <QTimer>

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

namespace veltron {

inline constexpr const char* kApplicationTitle = "VTM 2.01a ";

struct ProgramOptions {
    std::filesystem::path programFolder; // setup.ini, state.ini, BMP; empty: the executable's folder
    std::filesystem::path workDir;       // empty: the current directory
    std::filesystem::path executable;    // for the single-instance check; empty: /proc/self/exe
    bool singleInstanceCheck = true;
    Clock clock = text::now;
    // Shows a message and waits for it to be confirmed; a message box unless replaced.
    std::function<void(const std::string&)> showMessage;
};

class Program;
// Connects the subsystems to the program (app/ui/src/wiring.cpp); called once the windows
// exist, before the main flow.
void wireSubsystems(Program& program);

class Program {
public:
    explicit Program(ProgramOptions options);
    ~Program();

    // Runs the program to its end inside the application's event loop; returns the exit status.
    int run();

    // Owners, valid from run() on.
    const Settings& settings() const { return *settings_; }
    StateStore& state() { return *state_; }
    WorkLog& log() { return *log_; }
    ConsoleLog& console() { return *console_; }
    Screen& screen() { return *screen_; }
    Keypad& keypad() { return *keypad_; }
    Pickers& pickers() { return *pickers_; }
    MainWindow& mainWindow() { return *mainWindow_; }
    const Paths& paths() const { return paths_; }
    Catalogue& catalogue() { return *catalogue_; }
    // The time the program runs by (injected by tests).
    const Clock& clock() const { return options_.clock; }
    CalibrationTables& calibration() { return *calibration_; }
    db::Connection& connection() { return *connection_; }
    ConsoleWindow& consoleWindow() { return *consoleWindow_; }

    // The start-up loader; the program's own (calibration tables and catalogue from the
    // working directory) unless replaced.
    std::function<void(const std::function<void(const std::string&)>& loadingLog)> loader;
    // Steps that later parts of the program plug in. A step that is not plugged in is
    // reported as not built; nothing pretends to have run.
    std::function<void()> openPorts;                  // device links, with emulation off
    std::function<void()> systemCheck;                // rig check
    std::function<void()> rigInit;                    // rig initialisation
    std::function<void()> hydraulicsOff;              // best effort, on every exit with emulation off
    std::map<int, std::function<void()>> menuActions; // 1, 3, 7, 9, 10
    // Engineering windows of the start-up (both optional): after the ports are opened and
    // before the system check (the evaluation window and the terminal, modally, when the
    // settings ask for them); and once the system is ready (the debug-message window).
    std::function<void()> startupWindows;
    std::function<void()> systemStarted;

    // Ends the program at once from inside a procedure, switching the hydraulics off and
    // restoring the display first.
    [[noreturn]] void endAtOnce(int status);
    // The exit of a fault: shutdown screen, then the end of the program with the status.
    [[noreturn]] void faultExit(int status);
    // Shows an error on a fault-style screen and leaves through the fault exit.
    [[noreturn]] void errorExit(const std::string& message);

    void drawMainScreen();
    StatusTexts statusTexts() const;
    void showStatus();
    void shutdownScreen();

private:
    void createWindows();
    void mainFlow();
    void setUpScreen();
    void runLoader();
    void loadData(const std::function<void(const std::string&)>& loadingLog);
    void menuLoop();
    void dispatch(int code);
    void trainNumber();
    void seriesChoice();
    void bogieChoice();
    void notBuilt(const std::string& what);
    void stopRig();
    void finish(int status);

    ProgramOptions options_;
    Paths paths_;
    std::unique_ptr<StateStore> state_;
    std::unique_ptr<Settings> settings_;
    std::unique_ptr<ConsoleLog> console_;
    std::unique_ptr<WorkLog> log_;
    std::unique_ptr<Desktop> desktop_;
    std::unique_ptr<Canvas> canvas_;
    std::unique_ptr<MainWindow> mainWindow_;
    std::unique_ptr<ConsoleWindow> consoleWindow_;
    std::unique_ptr<LoadingLogWindow> loadingLog_;
    std::unique_ptr<Screen> screen_;
    std::unique_ptr<Keypad> keypad_;
    std::unique_ptr<Pickers> pickers_;
    std::unique_ptr<Catalogue> catalogue_;
    std::unique_ptr<CalibrationTables> calibration_;
    std::unique_ptr<db::Connection> connection_;
    QTimer starter_;
    int status_ = 0;
    bool finished_ = false;
};

} // namespace veltron
