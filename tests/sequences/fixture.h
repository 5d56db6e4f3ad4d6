// A sequence under test: a screen on a canvas of the layout's size in a temporary
// installation (built pictures, Errors texts, result tables), a scripted host that types one
// character per event pump and whose clock only moves when the sequences sleep, a small
// catalogue, and a fake rig that records every command it is given.
#pragma once

#include "../support/scripted_host.h"
#include "platform/database.h"
#include "platform/files.h"
#include "platform/text.h"
#include "results/result_tables.h"
#include "sequences/sequences.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <unistd.h>
#include <vector>

namespace veltron::testing {

// Records the commands by name; a command named in timeOut leaves the motion time-out flag set.
struct FakeRig : RigCommands {
    std::vector<std::string> calls;
    std::set<std::string> timeOut;
    LinkFlags links;
    bool secondControllerFirstCheck = true;
    std::optional<std::int32_t> pressHeightCount = 1000;
    std::optional<std::int32_t> forceCount = 900;
    bool acceptForce = true;
    std::vector<std::int32_t> forceTargets;
    bool timedOut = false;
    bool running = false;

    FakeRig() {
        links.drive = links.mainController = links.loadCell = links.secondController = true;
        for (int c = 1; c <= 4; ++c) {
            links.camera[c] = true;
        }
    }
    void call(const std::string& name) {
        calls.push_back(name);
        timedOut = timeOut.count(name) > 0;
    }
    bool called(const std::string& name) const { return std::find(calls.begin(), calls.end(), name) != calls.end(); }

    bool motionTimedOut() const override { return timedOut; }
    void setProgressDisplay(bool) override {}
    void setSequenceRunning(bool on) override { running = on; }
    void clearAutoHydraulics() override { calls.push_back("clearAutoHydraulics"); }
    void hydraulicsOn() override { call("hydraulicsOn"); }
    void hydraulicsOff() override { call("hydraulicsOff"); }
    void centringOpenAndWait() override { call("centringOpenAndWait"); }
    void centringCloseAndWait() override { call("centringCloseAndWait"); }
    void centringGrip() override { call("centringGrip"); }
    void carriageRightToEnd() override { call("carriageRightToEnd"); }
    void carriageLeftToEnd() override { call("carriageLeftToEnd"); }
    void geometryUpToEnd() override { call("geometryUpToEnd"); }
    void geometryDownToEnd() override { call("geometryDownToEnd"); }
    void geometryMeasurement() override { call("geometryMeasurement"); }
    void pressUpToEnd() override { call("pressUpToEnd"); }
    void pressUpJog() override { call("pressUpJog"); }
    void pressStop() override { call("pressStop"); }
    void pressDownToContact() override { call("pressDownToContact"); }
    void pressDownJog() override { call("pressDownJog"); }
    void pressLiftOff() override { call("pressLiftOff"); }
    std::optional<std::int32_t> readPressHeight() override {
        call("readPressHeight");
        return pressHeightCount;
    }
    bool pressDownToForce(std::int32_t kg) override {
        call("pressDownToForce");
        forceTargets.push_back(kg);
        return acceptForce;
    }
    std::optional<std::int32_t> readForceResult() override {
        call("readForceResult");
        return forceCount;
    }
    double pressHeight(std::int32_t count) override { return 0.1 * count; }
    bool checkSecondController() override {
        call("checkSecondController");
        return secondControllerFirstCheck;
    }
    LinkFlags linkCheck() override {
        call("linkCheck");
        return links;
    }
};

struct SequenceFixture {
    std::filesystem::path root;
    Settings settings;
    text::DateTime clock{2026, 12, 10, 9, 5, 7, 0};
    ConsoleLog console{true, [this] { return clock; }};
    std::unique_ptr<WorkLog> log;
    Canvas canvas{1366, 768};
    ScriptedHost host;
    std::unique_ptr<Screen> screen;
    std::unique_ptr<Keypad> keypad;
    std::unique_ptr<Pickers> pickers;
    std::unique_ptr<StateStore> state;
    Catalogue catalogue;
    std::unique_ptr<db::Connection> connection;
    CurrentRecords records;
    RandomSource rng{7};
    FakeRig rig;
    std::unique_ptr<FaultScreens> faults;
    std::unique_ptr<Sequences> sequences;
    int exitStatus = -1;
    int hydraulicsOffs = 0;

    explicit SequenceFixture(bool emulation = true) {
        std::string t = (std::filesystem::temp_directory_path() / "veltron-seq-XXXXXX").string();
        root = ::mkdtemp(t.data());
        std::filesystem::create_directories(root / "bin");
        std::filesystem::create_directories(root / "work" / "Temp");
        std::filesystem::create_directory_symlink(BMP_DIR, root / "bin" / "BMP");
        std::filesystem::copy(SOURCE_DIR "/install/Errors", root / "work" / "Errors");
        settings.Emul = emulation;
        settings.NoLOG = false;
        settings.cLir1 = 1000;
        settings.cLir2 = 2000;
        log = std::make_unique<WorkLog>(
            root / "work" / "Log.txt", true, [this] { return clock; }, console);
        screen = std::make_unique<Screen>(canvas, settings, Paths{root / "bin", root / "work"}, host, *log, console);
        keypad = std::make_unique<Keypad>(*screen, [this] { return clock; });
        screen->attachKeypad(*keypad);
        host.keypad = keypad.get();
        pickers = std::make_unique<Pickers>(*screen, *keypad);
        state = std::make_unique<StateStore>(root / "bin" / "state.ini", console);
        state->read();
        state->state().DAY = clock.day;
        state->state().MONTH = clock.month;
        state->state().YEAR = clock.year;

        db::executeScript(root / "work" / "DataBase.mdb", kResultTablesSql);
        connection = std::make_unique<db::Connection>(root / "work");
        connection->setConnectionString("Data Source=DataBase.mdb");
        connection->connect();

        catalogue.setSeriesName(1, "ЭП2К");
        catalogue.setBogieName(1, "Моторная");
        SetTypeRow set;
        set.Name = "Комплект моторной тележки";
        set.VpdMidt = 262.0;
        set.VpdMul = 1.0;
        set.VpdPlus = 4.0;
        set.VpdMinus = -4.0;
        set.PHS = 8400.0;
        set.PHU = 1500.9;
        set.PLS = 1200.0;
        set.PLU = 12000.0;
        set.gmin = {0, 258.0, 260.7, 263.4, 0, 0};
        set.gmax = {0, 260.6, 263.3, 266.0, 0, 0};
        set.NGR = 3;
        catalogue.storeSetType(1, set);
        writeList("Complects.txt", {set.Name});

        FaultHooks hooks;
        hooks.exit = [this](int status) {
            exitStatus = status;
            throw ProgramExit(status);
        };
        hooks.hydraulicsOff = [this] { ++hydraulicsOffs; };
        faults = std::make_unique<FaultScreens>(*screen, *keypad, settings, hooks);
        makeSequences();
    }
    ~SequenceFixture() {
        connection->disconnect();
        std::filesystem::remove_all(root);
    }

    void makeSequences() {
        sequences = std::make_unique<Sequences>(SequenceContext{settings, *screen, *keypad, *pickers, *state, catalogue,
                                                                *connection, records, rng, [this] { return clock; },
                                                                *faults, &rig},
                                                SequenceHooks{});
    }
    void writeList(const std::string& name, const std::vector<std::string>& lines) {
        files::writeFileAtomic(root / "work" / name, text::cp1251Text(lines));
    }
    std::string logText() const { return text::cp1251ToUtf8(files::readFile(root / "work" / "Log.txt").value_or("")); }
    bool logged(const std::string& line) const { return logText().find("] " + line) != std::string::npos; }
    ResultTables tables() { return ResultTables(*connection); }
    // Runs a step that is expected to end the program through a fault screen; returns the code
    // the fault screen logged (0 when the step returned).
    int faultCodeOf(const std::function<void()>& step) {
        try {
            step();
        } catch (const ProgramExit&) {
            const std::string text = logText();
            const std::string key = ">>>Обнаружена ошибка. Код ошибки:";
            const auto at = text.rfind(key);
            return at == std::string::npos ? -1 : std::stoi(text.substr(at + key.size()));
        }
        return 0;
    }
};

} // namespace veltron::testing
