// veltron-mdb-import: copies the five catalogue tables, and the result tables when present,
// from an Access DataBase.mdb of an existing installation into the SQLite DataBase.mdb that
// the program uses. The Access file is read with mdbtools (mdb-tables, mdb-export).
//
//   veltron-mdb-import [--replace] ACCESS_FILE [SQLITE_FILE]
//
// SQLITE_FILE defaults to DataBase.mdb in the working directory. An existing SQLite file is
// only changed with --replace; its copied tables are then replaced, other tables kept.
#include "mdbimport/csv_import.h"
#include "results/result_tables.h"

#include "platform/text.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using namespace veltron;

namespace {

std::optional<fs::path> findProgram(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::string dirs = path != nullptr ? path : "/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= dirs.size()) {
        std::size_t end = dirs.find(':', start);
        if (end == std::string::npos) {
            end = dirs.size();
        }
        const fs::path candidate = fs::path(dirs.substr(start, end - start)) / name;
        if (::access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
        start = end + 1;
    }
    return std::nullopt;
}

// Runs the program without a shell and returns its standard output; a failure throws.
std::string capture(const fs::path& program, const std::vector<std::string>& args) {
    int fds[2];
    if (::pipe(fds) != 0) {
        throw mdbimport::ImportError("pipe failed");
    }
    const pid_t pid = ::fork();
    if (pid < 0) {
        throw mdbimport::ImportError("fork failed");
    }
    if (pid == 0) {
        ::dup2(fds[1], STDOUT_FILENO);
        ::close(fds[0]);
        ::close(fds[1]);
        ::setenv("LC_ALL", "C.UTF-8", 1); // "." as the decimal separator, UTF-8 text
        std::vector<char*> argv;
        std::string name = program.string();
        argv.push_back(name.data());
        std::vector<std::string> copy = args;
        for (auto& a : copy) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(fds[1]);
    std::string out;
    char buf[65536];
    ssize_t n = 0;
    while ((n = ::read(fds[0], buf, sizeof buf)) > 0) {
        out.append(buf, static_cast<std::size_t>(n));
    }
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        throw mdbimport::ImportError(program.filename().string() + " failed (" + (args.empty() ? "" : args.back()) +
                                     ")");
    }
    return out;
}

int usage() {
    std::cerr << "usage: veltron-mdb-import [--replace] ACCESS_FILE [SQLITE_FILE]\n"
                 "Copies Series, Tel, ParamSpring, RateSpring, ParamComp and, when present, measReading and\n"
                 "measComplects from an Access database into the SQLite DataBase.mdb (default: ./DataBase.mdb).\n";
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    bool replace = false;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--replace") {
            replace = true;
        } else if (a == "-h" || a == "--help") {
            usage();
            return 0;
        } else {
            files.push_back(a);
        }
    }
    if (files.empty() || files.size() > 2) {
        return usage();
    }
    const auto mdbExport = findProgram("mdb-export");
    const auto mdbTables = findProgram("mdb-tables");
    if (!mdbExport || !mdbTables) {
        std::cerr << "veltron-mdb-import: mdbtools is not installed (" << (mdbExport ? "mdb-tables" : "mdb-export")
                  << " not found in PATH).\nInstall it with: apt-get install mdbtools\n";
        return 3;
    }
    const fs::path access = files[0];
    const fs::path target = files.size() > 1 ? fs::path(files[1]) : fs::path("DataBase.mdb");
    std::error_code ec;
    if (!fs::is_regular_file(access)) {
        std::cerr << "veltron-mdb-import: " << access << " not found\n";
        return 2;
    }
    if (fs::exists(target) && fs::equivalent(access, target, ec)) {
        std::cerr << "veltron-mdb-import: the Access file and the SQLite file must differ\n";
        return 2;
    }
    if (fs::exists(target) && !replace) {
        std::cerr << "veltron-mdb-import: " << target << " exists; give --replace to replace its tables\n";
        return 2;
    }
    try {
        const std::string list = capture(*mdbTables, {"-1", access.string()});
        std::vector<std::string> present;
        for (std::size_t start = 0; start < list.size();) {
            const std::size_t end = std::min(list.find('\n', start), list.size());
            present.push_back(list.substr(start, end - start));
            start = end + 1;
        }
        const auto find = [&](const char* name) -> std::optional<std::string> {
            for (const auto& p : present) {
                if (text::equalsNoCase(text::trim(p), name)) {
                    return std::string(text::trim(p));
                }
            }
            return std::nullopt;
        };
        for (const char* t : mdbimport::kCatalogueTables) {
            if (!find(t)) {
                std::cerr << "veltron-mdb-import: table " << t << " is missing in " << access << "\n";
                return 1;
            }
        }
        db::executeScript(target, ""); // creates the file when missing
        db::Connection connection(target.parent_path().empty() ? fs::path(".") : target.parent_path());
        connection.setConnectionString("Data Source=" + target.filename().string());
        connection.connect();
        const auto copy = [&](const char* name, const std::string& accessName) {
            const std::string csv = capture(*mdbExport, {"-D", "%Y-%m-%d %H:%M:%S", "-T", "%Y-%m-%d %H:%M:%S", "-b",
                                                         "strip", access.string(), accessName});
            const std::size_t n = mdbimport::importCsv(connection, name, csv);
            std::cout << name << ": " << n << " rows\n";
        };
        for (const char* t : mdbimport::kCatalogueTables) {
            copy(t, *find(t));
        }
        for (const char* t : mdbimport::kResultTables) {
            if (const auto a = find(t)) {
                copy(t, *a);
            }
        }
        connection.execute(kResultTablesSql); // empty result tables where the Access file had none
    } catch (const std::exception& e) {
        std::cerr << "veltron-mdb-import: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
