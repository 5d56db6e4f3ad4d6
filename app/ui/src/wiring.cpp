// Plugs the program's subsystems into the spine: the menu actions, the start-up steps that
// drive the rig, and the windows created after the main window. Each subsystem owns its
// objects; Program owns the shared ones (settings, state, logs, screen, catalogue, database).
#include "app/ui/program.h"
#include "rig/host.h"
#include "rig/terminal.h"

#include <QTimer>

#include <memory>

namespace veltron {

namespace {

// The rig command layer: the device links, every rig command and the state of TForm4. The
// hooks below own it together (it lives as long as the program's hooks do).
struct RigWiring {
    explicit RigWiring(Program& program)
        : host(program.mainWindow()), terminal(program.settings(), host, program.paths().workDir,
                                               [&program] { return program.state().state().NOWSPRING; }) {}
    rig::HostAdapter<UiHost> host;
    rig::Terminal terminal;
};

void wireRig(Program& program) {
    auto rig = std::make_shared<RigWiring>(program);
    rig::Terminal& t = rig->terminal;

    // Until the fault screens exist, a coded fault leaves through the error exit with the
    // fault screen's log line.
    const auto faultScreen = [&program](int code) {
        program.errorExit("Обнаружена ошибка. Код ошибки:" + std::to_string(code));
    };
    t.commandFaultScreen = [&program](int code, const std::string& quoted) {
        program.errorExit("Обнаружена ошибка связи. Код ошибки:1000/" + std::to_string(code) +
                          " При обработке команды: " + quoted);
    };
    t.drawProgressBar = [&program](const rig::ProgressBar& p) {
        Canvas& c = program.screen().canvas();
        c.fillRect(p.x0 + 263, 424, p.x0 + 314, 476, colors::white);
        c.fillRect(p.x0 + 262, 424, p.x0 + 263 + p.length, 476, Rgb{p.colour.r, p.colour.g, p.colour.b});
        program.mainWindow().refresh();
    };
    t.mainScreenText = [&program](int x, int y, const std::string& text) {
        Canvas& c = program.screen().canvas();
        c.setFont("Times New Roman", 8, colors::blue, false);
        c.text(x, y, text);
        program.mainWindow().refresh();
    };

    if (!program.openPorts) {
        program.openPorts = [rig, &program, faultScreen] {
            rig::Terminal& term = rig->terminal;
            WorkLog& log = program.log();
            const auto opened = [&](bool ok, const char* line) {
                if (!ok) {
                    faultScreen(12);
                }
                log.write(line);
            };
            opened(term.openMainController(), "Порт ЦК - ОК");
            opened(term.openCameras(), "Порт Камер - ОК");
            opened(term.openLoadCell(), "Порт тензодатчика - ОК");
            opened(term.openDrive(), "Порт ЧРП - ОК");
            opened(term.openSecondController(), "Порт ЦК №2 - ОК");
            term.state.Edit8 = std::to_string(program.settings().SDIV);
        };
    }
    if (!program.hydraulicsOff) {
        // Best effort on every exit: drain off and pump stop, whatever the links answer.
        program.hydraulicsOff = [rig] {
            const bool shown = rig->terminal.state.shown;
            rig->terminal.state.shown = true; // a failed exchange only logs here, never a fault screen
            rig->terminal.drainOff();
            rig->terminal.pumpStop();
            rig->terminal.state.shown = shown;
        };
    }

    // Timer1 of the terminal: the sensor auto-poll, which stays quiet while a command runs.
    auto* timer = new QTimer(&program.mainWindow());
    timer->setInterval(300);
    QObject::connect(timer, &QTimer::timeout, timer, [rig] { rig->terminal.timerTick(); });
    timer->start();
}

} // namespace

void wireSubsystems(Program& program) {
    wireRig(program);
}

} // namespace veltron
