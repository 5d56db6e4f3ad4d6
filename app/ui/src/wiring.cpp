// Plugs the program's subsystems into the spine: the menu actions, the start-up steps that
// drive the rig, and the windows created after the main window. Each subsystem owns its
// objects; Program owns the shared ones (settings, state, logs, screen, catalogue, database).
#include "app/ui/program.h"
#include "results/printing.h"
#include "results/reports.h"
#include "rig/host.h"
#include "rig/terminal.h"
#include "rig/terminal_window.h"
#include "sequences/subsystem.h"
#include "sequences/terminal_commands.h"
#include "service/database_probe.h"
#include "service/engineering.h"
#include "service/range_finder_window.h"

#include <QTimer>

#include <functional>
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
    // The fault screen of a coded fault (code 12 of the link openings), once the sequences
    // have plugged theirs in.
    std::function<void(int code)> faultScreen;
};

std::shared_ptr<RigWiring> wireRig(Program& program) {
    auto rig = std::make_shared<RigWiring>(program);
    rig::Terminal& t = rig->terminal;

    // A coded fault shows the fault screen; without one plugged in it leaves through the error
    // exit with the fault screen's log line.
    const auto faultScreen = [&program, raw = rig.get()](int code) {
        if (raw->faultScreen) {
            raw->faultScreen(code);
        }
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
        program.calibration(), program.connection(), program.clock(), faultHooks, w->commands.get()});
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
    rig->faultScreen = [weak](int code) {
        if (const auto sw = weak.lock()) {
            sw->subsystem->faults.faultScreen(code);
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

// Result pages, sheets and the two archives (menu codes 7 and 9). The records the archives
// read into live here as long as the menu actions do.
struct ReportWiring {
    CurrentRecords records;
    std::unique_ptr<Reports> reports;
};

std::shared_ptr<ReportWiring> wireReports(Program& program) {
    auto w = std::make_shared<ReportWiring>();
    w->reports = std::make_unique<Reports>(program.screen(), program.keypad(), program.catalogue(),
                                           program.connection(), w->records, text::now);
    w->reports->output().pdfFolder =
        readPdfFolder(program.paths().programFolder / "setup.ini", program.paths().workDir);
    w->reports->setOnArchiveExit([&program] { program.showStatus(); });
    program.menuActions.try_emplace(7, [w] { w->reports->springArchive(); });
    program.menuActions.try_emplace(9, [w] { w->reports->setArchive(); });
    return w;
}

// The engineering windows: the four-camera evaluation and the geometry workbench over one
// profile store, the debug-message window, the service terminal over the rig command layer
// with its range finder, and the console's database test buttons.
struct EngineeringWiring {
    std::shared_ptr<RigWiring> rig; // first: the terminal window lets go of the terminal before it goes
    std::unique_ptr<service::EngineeringWindows> windows;
    std::unique_ptr<rig::TerminalWindow> terminal;
    std::unique_ptr<service::RangeFinderWindow> rangeFinder;
};

std::shared_ptr<EngineeringWiring> wireEngineering(Program& program, const std::shared_ptr<RigWiring>& rig,
                                                   const std::shared_ptr<SequenceWiring>& sequences) {
    auto w = std::make_shared<EngineeringWiring>();
    w->rig = rig;
    service::EngineeringSetup setup;
    setup.settings = &program.settings();
    setup.calibration = &program.calibration();
    setup.workDir = program.paths().workDir;
    setup.log = [&program](const std::string& line) { program.log().write(line); };
    setup.endAtOnce = [&program](int status) { program.endAtOnce(status); };
    // The debug window is shown without a nested loop, so its end goes to the next key poll,
    // which switches the hydraulics off and the display back on its way out.
    setup.endFromWindow = [&program] { program.keypad().requestExit(0); };
    w->windows = std::make_unique<service::EngineeringWindows>(setup);
    service::EngineeringWindows& e = *w->windows;

    // Windows opened from the terminal's menu run inside the terminal's own nested loop; an
    // end asked for there closes them all, and the terminal's caller ends the program.
    const auto nested = [&e](QDialog& dialog) {
        if (!e.endRequest().requested()) {
            dialog.exec();
        }
    };
    rig::Terminal& t = rig->terminal;
    w->rangeFinder = std::make_unique<service::RangeFinderWindow>(
        [rig, &program](int camera) -> std::optional<std::int32_t> {
            drivers::CameraLink& cams = rig->terminal.cameras();
            const Settings& s = program.settings();
            const auto at = [camera](const auto& values) {
                return camera >= 1 && camera <= 4 ? values[static_cast<std::size_t>(camera)] : 0;
            };
            cams.select(camera);
            cams.shutterSet(at(s.SHUTTER) & 0xFFFF);
            cams.thresholdSet(at(s.POROG));
            cams.modeSet();
            cams.laserOn();
            program.mainWindow().sleepMs(100);
            cams.singleMeasurement();
            program.mainWindow().sleepMs(100);
            if (!cams.download() || cams.row(camera).empty()) {
                return std::nullopt;
            }
            return cams.row(camera).front();
        },
        e.calibration(), e.params());
    w->rangeFinder->endProgram = [&e](int status) { e.endRequest().request(status); };
    w->terminal = std::make_unique<rig::TerminalWindow>(t);
    rig::TerminalWindow& tw = *w->terminal;
    tw.log = setup.log;
    tw.endProgram = [&e](int status) { e.endRequest().request(status); };
    tw.showRangeFinder = [raw = w.get(), nested] { nested(*raw->rangeFinder); };
    tw.showWorkbench = [&e, nested] { nested(e.workbench()); };
    tw.showEvaluation = [&e, nested] { nested(e.evaluationWindow()); };
    e.showTerminal = [&e, &tw] { e.showModal(tw); };

    if (!program.startupWindows) {
        program.startupWindows = [w] { w->windows->startup(); };
    }
    if (!program.systemStarted) {
        program.systemStarted = [w] { w->windows->systemStarted(); };
    }
    // The spring measurement evaluates through the window, so the pictures and the memo show
    // the last scan, the workbench's prefix steers the load, and the window is shown after the
    // evaluation when MathVisStart and MathVisEnable ask for it.
    sequences->subsystem->sequences.hooks().evaluateGeometry = [w] {
        service::EngineeringWindows& ew = *w->windows;
        ew.refreshCalibration();
        ew.evaluationWindow().open();
        ew.evaluationWindow().autoCompute();
        ew.showEvaluationWhenAsked();
        const math::GeometryResults& r = ew.evaluation().results();
        const auto widen = [](const math::Measure& m) -> std::optional<double> {
            return m ? std::optional<double>(static_cast<double>(*m)) : std::nullopt;
        };
        return GeometryReading{widen(r.height), widen(r.diameter), widen(r.pitchSpread), widen(r.nonPerp)};
    };
    ConsoleWindow& console = program.consoleWindow();
    console.databaseTest = [&program] { return service::probeSeries(program.connection()); };
    console.databaseList = [&program] { return service::listNames(program.connection()); };
    return w;
}

// The result screens of the two measurements show their page and print their sheet through
// the reports.
void connectResultPages(SequenceWiring& sequences, const std::shared_ptr<ReportWiring>& reports) {
    SequenceHooks& h = sequences.subsystem->sequences.hooks();
    h.drawSetResultPage = [reports](const _xKZamer& r) { reports->reports->drawSetResultPage(r); };
    h.printSetSheet = [reports](const _xKZamer& r) { reports->reports->printSetSheet(r); };
    h.drawSpringResultPage = [reports](const _xZamer& r) { reports->reports->drawSpringResultPage(r); };
    h.printSpringSheet = [reports](const _xZamer& r) { reports->reports->printSpringSheet(r); };
}

} // namespace

void wireSubsystems(Program& program) {
    const auto rig = wireRig(program);
    const auto sequences = wireSequences(program, rig);
    wireEngineering(program, rig, sequences);
    const auto reports = wireReports(program);
    connectResultPages(*sequences, reports);
}

} // namespace veltron
