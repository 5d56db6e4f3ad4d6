// Operator state: the values that survive a restart (train number, series and bogie type
// chosen, the shift's counters and date), kept in state.ini in the program folder.
//
// Lifecycle: read once at start before any window exists; afterwards the in-memory values
// are the truth and the whole file is rewritten at each change. A rewrite replaces the file
// atomically, keeps sections and keys it does not own, and never loses the in-memory
// values: when the file cannot be written the failure is reported and the next write tries
// again.
#pragma once

#include "app/logs.h"
#include "platform/ini.h"

#include <cstdint>
#include <filesystem>
#include <string>

namespace veltron {

struct OperatorState {
    std::int32_t YEAR = 0;       // shift year
    std::int32_t MONTH = 0;      // shift month 1..12
    std::int32_t DAY = 0;        // shift day of the month
    std::int32_t NOWSPRING = 0;  // springs stored in this shift; number of the last one
    std::int32_t NOWKOMPL = 0;   // sets stored in this shift; number of the last one
    std::int32_t RepairTYPE = 0; // carried unchanged
    std::int32_t CHASSIE = 0;    // bogie type, 1-based; 0 = none chosen
    bool Soundenable = false;    // carried unchanged
    std::string TRAIN = "Не задано";
    std::int32_t SERIA = 1; // series, 1-based
};

OperatorState readState(const IniFile& ini);
// Sets every state key in the file's order YEAR .. SERIA, other content untouched.
void writeState(IniFile& ini, const OperatorState& state);

class StateStore {
public:
    StateStore(std::filesystem::path file, ConsoleLog& console);

    // Reads the file; a missing or unreadable file gives the defaults.
    void read();
    // Rewrites the file; returns false (after reporting) when it could not be written.
    bool write();

    // Starts a new shift when today's day or month differs from the shift's (the year is
    // not compared): logs "Начата новая смена.", resets both counters, takes today's date
    // and writes the file. Returns whether a shift was started.
    bool newShiftCheck(const text::DateTime& today, WorkLog& log);

    OperatorState& state() { return state_; }
    const OperatorState& state() const { return state_; }
    const std::filesystem::path& file() const { return file_; }

private:
    std::filesystem::path file_;
    ConsoleLog& console_;
    OperatorState state_;
    IniFile ini_; // the file as read, so a rewrite keeps what the state does not own
};

} // namespace veltron
