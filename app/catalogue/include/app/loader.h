// The start-up loader: fills the four calibration tables of the cameras, connects the one
// database connection, reads the five catalogue tables into the catalogue, writes the text
// lists of the pickers (series.txt, chassis.txt, Complects.txt) and reports every step and
// every value in the loading log, which it finally saves to reploadDB.txt.
//
// Runs once per program run, before the ports are opened. Afterwards the connection stays
// connected with the table object on ParamComp. Any failure (calibration file, database,
// table or column, list file) raises and ends the loader where it stands; the lines logged
// so far stay in the loading log and reploadDB.txt is not written.
#pragma once

#include "app/catalogue.h"
#include "app/logs.h"
#include "app/settings.h"
#include "platform/database.h"

#include <array>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace veltron {

class LoadError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Calibration tables: table N (1..4) maps a CCD pixel 0..2048 to millimetres.
struct CalibrationTables {
    static constexpr int kEntries = 2049;
    using Table = std::array<float, kEntries>;
    std::array<Table, 5> table{}; // table[1..4]; entry 0 unused
};

// Reads one calibration table: for each pixel the first number on the next non-empty line
// (the rest of the line is skipped), 0 once the file has ended; a value outside 0..2047 is
// stored as 0. A missing file, or a line that does not start with a number, raises
// LoadError naming the file (as displayName) and the line.
void readCalibrationTable(const std::filesystem::path& file, const std::string& displayName,
                          CalibrationTables::Table& out);

// The lines of the loading log window.
class LoadingLog {
public:
    void clear() { lines_.clear(); }
    void add(std::string line);
    const std::vector<std::string>& lines() const { return lines_; }
    // Called with every line added, so the window can show it.
    void setSink(std::function<void(const std::string&)> sink) { sink_ = std::move(sink); }

private:
    std::vector<std::string> lines_;
    std::function<void(const std::string&)> sink_;
};

// The window and timing side of the loader; every hook may be left empty.
struct LoaderHooks {
    std::function<void()> show;            // show the loading log window
    std::function<void()> processMessages; // pump pending window messages once
    std::function<void()> hide;            // hide the window after a complete load
    std::function<void(int)> wait;         // the short pauses [ms]; sleeps when empty
};

inline constexpr const char* kConnectionString =
    "Provider=Microsoft.ACE.OLEDB.12.0;Data Source=DataBase.mdb;Persist Security Info=False";

// Replaces CR, LF and every other control character by a blank, so that one name is always
// one line of a list file and line k stays entry k.
std::string listLine(const std::string& name);

// Number formats of the loading log: reals with one decimal and thousands separated.
std::string logReal(double v);

class StartupLoader {
public:
    // workDir: the working directory that the data files are relative to.
    StartupLoader(const Settings& settings, WorkLog& workLog, db::Connection& connection, Catalogue& catalogue,
                  CalibrationTables& calibration, LoadingLog& log, std::filesystem::path workDir,
                  LoaderHooks hooks = {});

    void run();

private:
    void warnDefaultedCorrections();
    void loadCalibration();
    void connect();
    void openTable(const char* name, bool first);
    void loadSeries();
    void loadBogies();
    void loadSpringTypes();
    void loadBindings();
    void loadSetTypes();
    void writeSetList();
    void logBindingSummary();
    void writeList(const char* file, const std::vector<std::string>& names);
    void wait(int ms);
    void line(std::string text) { log_.add(std::move(text)); }

    const Settings& settings_;
    WorkLog& workLog_;
    db::Connection& connection_;
    Catalogue& catalogue_;
    CalibrationTables& calibration_;
    LoadingLog& log_;
    std::filesystem::path workDir_;
    LoaderHooks hooks_;
};

} // namespace veltron
