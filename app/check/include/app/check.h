// The installation check (veltron --check-installation [FOLDER]): finds, before anything is
// measured, every problem of an installation that would stop the program or falsify a
// measurement, and says for each what to do. Window-free: it reads files, opens the
// database as the program does (which puts a fresh sample file into WAL mode, as the first
// start would) and opens and closes the serial devices; it writes no file of its own.
//
// What is checked:
//   program folder: setup.ini, the pictures of BMP, that state.ini can be (re)written;
//   working directory: that it and Temp, STORE can be written, the Tabl1 calibration tables
//     (they must load), the Errors fault texts, DataBase.mdb with every table and column the
//     start-up loader and the result tables use;
//   with emulation off: the settings that give wrong results ([Popr] keys at their defaults,
//     сLir1 = сLir2, degenerate [Convert] points, poll limits of 0, camera parameter sets at
//     their defaults) and the serial devices of CK_PORT, CK2_PORT, CAM_PORT, CHRP_PORT and
//     the load cell's fixed port 4 (absent, not a terminal, no permission, busy).
// With emulation on, neither the rig settings nor the ports are used, so they are not
// problems; one note line says that they were not checked.
#pragma once

#include "app/settings.h"

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

namespace veltron::check {

struct Problem {
    std::string subject; // what is wrong: a file, folder, table, setting key or port ("COM4")
    std::string ru;      // what is wrong and what to do, in Russian
    std::string en;      // the same in English
};

// Pictures of the BMP folder that the screens draw (drawn by install/bmpgen).
const std::vector<std::string>& requiredPictures();
// Fault codes that have a text file Errors\N.err.
const std::vector<int>& faultCodes();

struct RequiredTable {
    std::string name;
    std::vector<std::string> columns;
};
// Tables and columns of DataBase.mdb: the five catalogue tables as the start-up loader reads
// them, then the two result tables.
const std::vector<RequiredTable>& requiredTables();

// Serial ports the settings name, in the order of the start-up's port list, each once:
// CK_PORT, CAM_PORT, the load cell's port 4, CHRP_PORT, CK2_PORT.
struct NamedPort {
    int number;
    std::string role; // e.g. "CK_PORT"
};
std::vector<NamedPort> portsInUse(const Settings& settings);

// The parts of the check; each returns its problems in a fixed order.
std::vector<Problem> checkProgramFolder(const std::filesystem::path& programFolder);
std::vector<Problem> checkWorkDir(const std::filesystem::path& workDir);
std::vector<Problem> checkDatabase(const std::filesystem::path& workDir);
std::vector<Problem> checkSettings(const Settings& settings);
std::vector<Problem> checkPorts(const Settings& settings);

struct Report {
    std::vector<Problem> problems;
    std::vector<std::string> notes; // lines that are no problem (what was not checked)
};

// The whole check: setup.ini is read from the program folder, everything else lies in the
// working directory.
Report checkInstallation(const std::filesystem::path& programFolder, const std::filesystem::path& workDir);

// Prints one line per problem, then the notes and a summary line; returns the exit status:
// 0 when there is no problem, 1 otherwise.
int printReport(const Report& report, std::ostream& out);

// The command line after "--check-installation": an optional working directory (default:
// the current directory). Returns the exit status; 2 for a wrong command line.
int runCommandLine(const std::vector<std::string>& args, const std::filesystem::path& programFolder, std::ostream& out,
                   std::ostream& err);

} // namespace veltron::check
