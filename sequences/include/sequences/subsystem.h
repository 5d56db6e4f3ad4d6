// The measurement sequences as the program plugs them in: the fault screens, the current
// records, the random source of the emulation, the sequences themselves, the debug input
// window and the default four-camera evaluation, built from the program's owners.
#pragma once

#include "app/loader.h"
#include "sequences/debug_input.h"
#include "sequences/faults.h"
#include "sequences/sequences.h"

#include <filesystem>
#include <memory>

namespace veltron {

struct SubsystemParts {
    const Settings& settings;
    Screen& screen;
    Keypad& keypad;
    Pickers& pickers;
    StateStore& state;
    const Catalogue& catalogue;
    const CalibrationTables& calibration;
    db::Connection& connection;
    Clock clock;
    FaultHooks faultHooks;
    RigCommands* rig = nullptr;
};

// "Открыть" and "Авторасчет" of the four-camera evaluation on the profile files of the
// working directory, with the program's settings and calibration tables. Throws when a
// profile file is missing or malformed.
GeometryReading evaluateProfiles(const Settings& settings, const CalibrationTables& calibration,
                                 const std::filesystem::path& workDir);

// Pause scale of the sequences from setup.ini, [Debug] PauseScale, in percent (100 when
// missing or not a number from 0 to 100): an installation for demonstrations or tests can
// shorten the fixed pauses.
int pauseScaleSetting(const std::filesystem::path& setupIni);

class SequenceSubsystem {
public:
    explicit SequenceSubsystem(const SubsystemParts& parts);

    FaultScreens faults;
    CurrentRecords records;
    RandomSource rng;
    Sequences sequences;

private:
    std::unique_ptr<TForm5> debugInput_;
};

} // namespace veltron
