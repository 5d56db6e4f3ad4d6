// Plugs the program's subsystems into the spine: the menu actions, the start-up steps that
// drive the rig, and the windows created after the main window. Each subsystem owns its
// objects; Program owns the shared ones (settings, state, logs, screen, catalogue, database).
#include "app/ui/program.h"
#include "rig/host.h"
#include "rig/terminal.h"
#include "sequences/subsystem.h"
#include "sequences/terminal_commands.h"

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

std::shared_ptr<RigWiring> wireRig(Program& program) {
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
    return rig;
}

// The measurement sequences: the fault screens, the system check, the rig initialisation, the
// warm-up and the two measurements, driving the rig through the command layer.
struct SequenceWiring {
    std::unique_ptr<TerminalCommands> commands;
    std::unique_ptr<SequenceSubsystem> subsystem;
};

std::shared_ptr<SequenceWiring> wireSequences(Program& program, const std::shared_ptr<RigWiring>& rig) {
    auto w = std::make_shared<SequenceWiring>();
    w->commands = std::make_unique<TerminalCommands>(rig->terminal, program.settings());
    FaultHooks faultHooks;
    faultHooks.exit = [&program](int status) { program.faultExit(status); };
    faultHooks.hydraulicsOff = [&program] {
        if (program.hydraulicsOff) {
            program.hydraulicsOff();
        }
    };
    faultHooks.terminalShown = [rig] { return rig->terminal.state.shown; };
    faultHooks.terminalLog = [rig](const std::string& line) { rig->terminal.addLog(line); };
    w->subsystem = std::make_unique<SequenceSubsystem>(SubsystemParts{
        program.settings(), program.screen(), program.keypad(), program.pickers(), program.state(), program.catalogue(),
        program.calibration(), program.connection(), text::now, faultHooks, w->commands.get()});
    Sequences& seq = w->subsystem->sequences;
    seq.setPauseScale(pauseScaleSetting(program.paths().programFolder / "setup.ini"));
    SequenceHooks& h = seq.hooks();
    h.showStatus = [&program] { program.showStatus(); };
    h.stepEvent = [rig](const std::string& text) { rig->terminal.stepEvent(text); };

    // The terminal holds these hooks for as long as the rig wiring lives; a weak link keeps the
    // two from holding each other forever.
    const std::weak_ptr<SequenceWiring> weak = w;
    rig->terminal.commandFaultScreen = [weak](int code, const std::string& quoted) {
        if (const auto sw = weak.lock()) {
            sw->subsystem->faults.commandFaultScreen(code, quoted);
        }
    };
    rig->terminal.sequenceStatus = [weak](const std::string& text) {
        if (const auto sw = weak.lock()) {
            sw->subsystem->sequences.status(text);
        }
    };

    program.menuActions.try_emplace(3, [w] { w->subsystem->sequences.setMeasurement(); });
    program.menuActions.try_emplace(1, [w] { w->subsystem->sequences.springMeasurement(); });
    program.menuActions.try_emplace(10, [w] { w->subsystem->sequences.warmUp(); });
    if (!program.systemCheck) {
        program.systemCheck = [w] { w->subsystem->sequences.systemCheck(); };
    }
    if (!program.rigInit) {
        program.rigInit = [w] { w->subsystem->sequences.rigInit(); };
    }
    return w;
}

} // namespace

void wireSubsystems(Program& program) {
    const auto rig = wireRig(program);
    wireSequences(program, rig);
}

} // namespace veltron
