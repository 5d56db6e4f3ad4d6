// The installation check against a sample installation laid out in a scratch folder, damaged
// one way at a time; the ports of a rig are pseudo-terminals reached through VELTRON_DEVDIR.
#include "app/check.h"
#include "app/loader.h"
#include "platform/database.h"
#include "platform/files.h"
#include "platform/serial.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace veltron;
using check::Problem;

namespace {

std::string readText(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void writeText(const fs::path& p, const std::string& s) {
    std::ofstream(p, std::ios::binary) << s;
}

std::string subjects(const std::vector<Problem>& problems) {
    std::string s;
    for (const auto& p : problems) {
        s += "[" + p.subject + "] " + p.ru + "\n";
    }
    return s;
}

// Scratch folders live in memory where possible: the database layer flushes every write to
// disk, which on a real disk makes the loader runs below take a minute.
fs::path scratch(const std::string& what) {
    std::error_code ec;
    const fs::path base = fs::is_directory("/dev/shm", ec) && ::access("/dev/shm", W_OK) == 0
                              ? fs::path("/dev/shm")
                              : fs::temp_directory_path();
    return base / ("veltron-check-" + std::to_string(::getpid()) + "-" + what + "-" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
}

// A pseudo-terminal whose slave stands for one serial device of the rig.
class Pty {
public:
    Pty() {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ >= 0 && ::grantpt(master_) == 0 && ::unlockpt(master_) == 0) {
            slave_ = ::ptsname(master_);
        }
    }
    ~Pty() {
        if (master_ >= 0) {
            ::close(master_);
        }
    }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;
    const std::string& slave() const { return slave_; }

private:
    int master_ = -1;
    std::string slave_;
};

// A complete installation: program folder with setup.ini (emulation off unless asked) and
// the drawn pictures, working directory with the sample calibration tables, fault texts and
// the sample catalogue, and a device folder with COM1..COM5 on pseudo-terminals.
class CheckTest : public ::testing::Test {
public:
    void SetUp() override {
        fs::remove_all(root_);
        fs::create_directories(program_ / "BMP");
        fs::create_directories(work_ / "Errors");
        fs::create_directories(work_ / "Temp");
        fs::create_directories(work_ / "STORE");
        fs::create_directories(devices_);
        std::string setup = readText(SOURCE_DIR "/install/setup.ini");
        const auto at = setup.find("Emul=1");
        ASSERT_NE(at, std::string::npos);
        setup.replace(at, 6, "Emul=0");
        writeText(program_ / "setup.ini", setup);
        fs::copy(VELTRON_BMP_DIR, program_ / "BMP", fs::copy_options::recursive);
        fs::copy(SOURCE_DIR "/install/Tabl1", work_ / "Tabl1", fs::copy_options::recursive);
        for (const int code : check::faultCodes()) {
            writeText(work_ / "Errors" / (std::to_string(code) + ".err"), "text\r\n");
        }
        writeText(work_ / "Errors" / "RTA1000.txt", "command\r\n");
        db::executeScript(work_ / "DataBase.mdb", readText(SOURCE_DIR "/install/catalogue.sql"));
        for (int n = 1; n <= 5; ++n) {
            auto& pty = ptys_[n];
            pty = std::make_unique<Pty>();
            ASSERT_FALSE(pty->slave().empty());
            fs::create_symlink(pty->slave(), devices_ / ("COM" + std::to_string(n)));
        }
        ::setenv("VELTRON_DEVDIR", devices_.c_str(), 1);
    }
    void TearDown() override {
        ::unsetenv("VELTRON_DEVDIR");
        fs::remove_all(root_);
    }

    check::Report run() const { return check::checkInstallation(program_, work_); }

    void sql(const std::string& statements) const {
        db::Connection c(work_);
        c.setConnectionString(kConnectionString);
        c.connect();
        c.execute(statements);
    }

    fs::path root_ = scratch("inst");
    fs::path program_ = root_ / "bin";
    fs::path work_ = root_ / "work";
    fs::path devices_ = root_ / "dev";
    std::map<int, std::unique_ptr<Pty>> ptys_;
};

TEST_F(CheckTest, CompleteRigInstallationHasNoProblem) {
    const auto report = run();
    EXPECT_TRUE(report.problems.empty()) << subjects(report.problems);
    EXPECT_TRUE(report.notes.empty());
}

// The sample installation as shipped in install/ (in emulation, as its setup.ini says).
TEST_F(CheckTest, ShippedSampleInstallationPasses) {
    fs::copy_file(SOURCE_DIR "/install/setup.ini", program_ / "setup.ini", fs::copy_options::overwrite_existing);
    fs::remove_all(work_ / "Errors");
    fs::copy(SOURCE_DIR "/install/Errors", work_ / "Errors", fs::copy_options::recursive);
    const auto report = run();
    EXPECT_TRUE(report.problems.empty()) << subjects(report.problems);
}

TEST_F(CheckTest, EachDamageIsReportedOnceByItsSubject) {
    struct Case {
        const char* what;
        std::function<void(CheckTest&)> damage;
        std::string subject;
    };
    const std::vector<Case> cases = {
        {"no BMP folder", [](CheckTest& t) { fs::remove_all(t.program_ / "BMP"); }, "BMP"},
        {"one picture missing", [](CheckTest& t) { fs::remove(t.program_ / "BMP" / "fon1.bmp"); }, "BMP"},
        {"no Tabl1", [](CheckTest& t) { fs::remove_all(t.work_ / "Tabl1"); }, "Tabl1"},
        {"calibration table missing", [](CheckTest& t) { fs::remove(t.work_ / "Tabl1" / "cal3.txt"); },
         "Tabl1\\cal3.txt"},
        {"calibration line without a number",
         [](CheckTest& t) { writeText(t.work_ / "Tabl1" / "cal2.txt", "480.5\r\nabc\r\n"); }, "Tabl1\\cal2.txt"},
        {"no Errors", [](CheckTest& t) { fs::remove_all(t.work_ / "Errors"); }, "Errors"},
        {"fault text missing", [](CheckTest& t) { fs::remove(t.work_ / "Errors" / "12.err"); }, "Errors"},
        {"command texts missing", [](CheckTest& t) { fs::remove(t.work_ / "Errors" / "RTA1000.txt"); }, "Errors"},
        {"no database", [](CheckTest& t) { fs::remove(t.work_ / "DataBase.mdb"); }, "DataBase.mdb"},
        {"database is no database",
         [](CheckTest& t) {
             fs::remove(t.work_ / "DataBase.mdb");
             writeText(t.work_ / "DataBase.mdb", std::string(4096, 'x'));
         },
         "DataBase.mdb"},
        {"catalogue table missing", [](CheckTest& t) { t.sql("DROP TABLE Tel;"); }, "DataBase.mdb: Tel"},
        {"result column missing", [](CheckTest& t) { t.sql("ALTER TABLE measComplects DROP COLUMN Vpd;"); },
         "DataBase.mdb: measComplects"},
        {"emulation off without [Popr] key",
         [](CheckTest& t) {
             std::string s = readText(t.program_ / "setup.ini");
             s.replace(s.find("AddVis=0.0"), 10, "AddVis=0,0");
             writeText(t.program_ / "setup.ini", s);
         },
         "[Popr] AddVis"},
        {"main controller's device absent", [](CheckTest& t) { fs::remove(t.devices_ / "COM1"); }, "COM1"},
        {"load cell's device is a plain file",
         [](CheckTest& t) {
             fs::remove(t.devices_ / "COM4");
             writeText(t.devices_ / "COM4", "");
         },
         "COM4"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TearDown();
        SetUp();
        c.damage(*this);
        const auto report = run();
        ASSERT_EQ(report.problems.size(), 1U) << subjects(report.problems);
        EXPECT_EQ(report.problems[0].subject, c.subject);
        EXPECT_FALSE(report.problems[0].ru.empty());
        EXPECT_FALSE(report.problems[0].en.empty());
    }
}

TEST_F(CheckTest, FoldersTheProgramCreatesItselfMayBeMissing) {
    fs::remove_all(work_ / "Temp");
    fs::remove_all(work_ / "STORE");
    EXPECT_TRUE(run().problems.empty()) << subjects(run().problems);
}

TEST_F(CheckTest, WithoutSetupIniTheDefaultsEmulateAndOnlyTheFileIsReported) {
    fs::remove(program_ / "setup.ini");
    const auto report = run();
    ASSERT_EQ(report.problems.size(), 1U) << subjects(report.problems);
    EXPECT_EQ(report.problems[0].subject, "setup.ini");
    ASSERT_EQ(report.notes.size(), 1U); // emulation: ports and rig settings not checked
}

TEST_F(CheckTest, InEmulationNeitherPortsNorRigSettingsAreProblems) {
    std::string s = readText(program_ / "setup.ini");
    s.replace(s.find("Emul=0"), 6, "Emul=1");
    s.replace(s.find("tpeCENTR=200"), 12, "tpeCENTR=0");
    writeText(program_ / "setup.ini", s);
    fs::remove_all(devices_);
    const auto report = run();
    EXPECT_TRUE(report.problems.empty()) << subjects(report.problems);
    EXPECT_EQ(report.notes.size(), 1U);
}

TEST_F(CheckTest, APortHeldByAnotherProgramIsBusy) {
    serial::Port holder;
    ASSERT_TRUE(holder.open((devices_ / "COM3").string()));
    const auto report = run();
    ASSERT_EQ(report.problems.size(), 1U) << subjects(report.problems);
    EXPECT_EQ(report.problems[0].subject, "COM3");
    EXPECT_NE(report.problems[0].en.find("busy"), std::string::npos) << report.problems[0].en;
    EXPECT_NE(report.problems[0].en.find("CHRP_PORT"), std::string::npos) << report.problems[0].en;
    // The check closes what it opened: the holder's release frees the port for the program.
    holder.close();
    serial::Port after;
    EXPECT_TRUE(after.open((devices_ / "COM1").string()));
}

TEST_F(CheckTest, UnwritableFoldersAreReported) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root writes everywhere";
    }
    fs::permissions(program_, fs::perms::owner_write, fs::perm_options::remove);
    fs::permissions(work_ / "Temp", fs::perms::owner_write, fs::perm_options::remove);
    const auto report = run();
    fs::permissions(program_, fs::perms::owner_write, fs::perm_options::add);
    fs::permissions(work_ / "Temp", fs::perms::owner_write, fs::perm_options::add);
    std::set<std::string> found;
    for (const auto& p : report.problems) {
        found.insert(p.subject);
    }
    EXPECT_EQ(found, (std::set<std::string>{"state.ini", "Temp"})) << subjects(report.problems);
}

TEST(CheckSettings, ValuesThatFalsifyARigMeasurement) {
    Settings good = readSettingsFile(SOURCE_DIR "/install/setup.ini");
    good.Emul = false;
    ASSERT_TRUE(check::checkSettings(good).empty()) << subjects(check::checkSettings(good));

    struct Case {
        const char* what;
        std::function<void(Settings&)> change;
        std::vector<std::string> subjects;
    };
    const std::vector<Case> cases = {
        {"two [Popr] keys defaulted",
         [](Settings& s) {
             s.poprDefaulted = {"MulDiam", "AddKompV"};
         },
         {"[Popr] MulDiam", "[Popr] AddKompV"}},
        {"press encoder points equal", [](Settings& s) { s.cLir2 = s.cLir1; }, {"[Mathem] сLir1, сLir2"}},
        {"load-cell ADC points equal", [](Settings& s) { s.a2kx2 = s.a2kx1; }, {"[Convert] a2kx1..a2ky2"}},
        {"load-cell weights equal", [](Settings& s) { s.a2ky2 = s.a2ky1; }, {"[Convert] a2kx1..a2ky2"}},
        {"poll limits of 0",
         [](Settings& s) { s.tpeCENTR = s.tpePRESS_VNIZ = 0; },
         {"[TIMEOUT] tpePRESS_VNIZ", "[TIMEOUT] tpeCENTR"}},
        {"camera 3 parameters at their default", [](Settings& s) { s.k[3][1] = s.k[3][12] = 100500; }, {"[k3]"}},
        {"all defaults",
         [](Settings& s) {
             s = Settings{};
             s.Emul = false;
         },
         {"[Mathem] сLir1, сLir2", "[Convert] a2kx1..a2ky2", "[TIMEOUT] tpeKARETKA_VLEVO",
          "[TIMEOUT] tpeKARETKA_VPRAVO", "[TIMEOUT] tpeGEOMETR_VVERH", "[TIMEOUT] tpeGEOMETR_VNIZ",
          "[TIMEOUT] tpePRESS_VVERH", "[TIMEOUT] tpePRESS_VNIZ", "[TIMEOUT] tpeCENTR", "[k1]", "[k2]", "[k3]", "[k4]"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Settings s = good;
        c.change(s);
        std::vector<std::string> found;
        for (const auto& p : check::checkSettings(s)) {
            found.push_back(p.subject);
        }
        EXPECT_EQ(found, c.subjects);
        s.Emul = true;
        EXPECT_TRUE(check::checkSettings(s).empty());
    }
}

TEST(CheckPorts, EachPortOnceWithAllItsRoles) {
    Settings s;
    s.CK_PORT = 2;
    s.CAM_PORT = 2;
    s.CHRP_PORT = 3;
    s.CK2_PORT = 4;
    const auto ports = check::portsInUse(s);
    ASSERT_EQ(ports.size(), 3U);
    EXPECT_EQ(ports[0].number, 2);
    EXPECT_EQ(ports[0].role, "CK_PORT+CAM_PORT");
    EXPECT_EQ(ports[1].number, 4);
    EXPECT_EQ(ports[1].role, "тензодатчик+CK2_PORT");
    EXPECT_EQ(ports[2].number, 3);
}

// The pictures the check asks for are exactly those the build draws.
TEST(CheckPictures, ListMatchesTheDrawnFolder) {
    std::set<std::string> drawn;
    for (const auto& e : fs::directory_iterator(VELTRON_BMP_DIR)) {
        drawn.insert(e.path().filename().string());
    }
    const auto& list = check::requiredPictures();
    EXPECT_EQ(drawn, std::set<std::string>(list.begin(), list.end()));
}

// The column list must be the loader's own: a catalogue with exactly the listed columns
// loads, and without any one of them the loader fails and the check names that column.
TEST(CheckDatabase, CatalogueColumnsAreExactlyWhatTheLoaderReads) {
    const fs::path dir = scratch("loader");
    fs::remove_all(dir);
    fs::create_directories(dir / "Tabl1");
    for (int n = 1; n <= 4; ++n) {
        writeText(dir / "Tabl1" / ("cal" + std::to_string(n) + ".txt"), "100\r\n");
    }
    const auto& tables = check::requiredTables();
    // Two spring rows, so that both the outer (Do) and the inner (Di) diameter block are read.
    const auto schema = [&](const std::string& skipTable, const std::string& skipColumn) {
        std::string sql;
        for (const auto& t : tables) {
            std::string cols;
            std::string values;
            std::string inner;
            for (const auto& c : t.columns) {
                if (t.name == skipTable && c == skipColumn) {
                    continue;
                }
                cols += (cols.empty() ? "" : ", ") + db::quoteName(c);
                values += values.empty() ? "1" : ", 1";
                inner += inner.empty() ? "1" : (c == "Do" ? ", 0" : ", 1");
            }
            const std::string table = db::quoteName(t.name);
            sql += "CREATE TABLE " + table + " (ID INTEGER PRIMARY KEY" + (cols.empty() ? "" : ", " + cols) + ");\n";
            const auto insert = [&](const std::string& row) {
                sql += "INSERT INTO " + table +
                       (cols.empty() ? std::string(" DEFAULT VALUES") : " (" + cols + ") VALUES (" + row + ")") + ";\n";
            };
            if (t.name.rfind("meas", 0) != 0) {
                insert(values);
            }
            if (t.name == "ParamSpring") {
                insert(inner);
            }
        }
        return sql;
    };
    const auto load = [&]() {
        Settings settings;
        ConsoleLog console(false, text::now);
        WorkLog log(dir / "Log.txt", false, text::now, console);
        db::Connection connection(dir);
        Catalogue catalogue;
        CalibrationTables calibration;
        LoadingLog lines;
        StartupLoader loader(settings, log, connection, catalogue, calibration, lines, dir,
                             LoaderHooks{nullptr, nullptr, nullptr, [](int) {}});
        loader.run();
    };

    db::executeScript(dir / "DataBase.mdb", schema("", ""));
    EXPECT_NO_THROW(load());
    EXPECT_TRUE(check::checkDatabase(dir).empty());

    for (const auto& t : tables) {
        if (t.name.rfind("meas", 0) == 0) {
            continue; // the result tables are not read at start-up
        }
        for (const auto& c : t.columns) {
            SCOPED_TRACE(t.name + "." + c);
            fs::remove(dir / "DataBase.mdb");
            fs::remove(dir / "DataBase.mdb-wal");
            fs::remove(dir / "DataBase.mdb-shm");
            db::executeScript(dir / "DataBase.mdb", schema(t.name, c));
            EXPECT_ANY_THROW(load());
            const auto problems = check::checkDatabase(dir);
            ASSERT_EQ(problems.size(), 1U) << subjects(problems);
            EXPECT_EQ(problems[0].subject, "DataBase.mdb: " + t.name);
            EXPECT_NE(problems[0].ru.find(c), std::string::npos) << problems[0].ru;
        }
    }
    fs::remove_all(dir);
}

TEST(CheckReport, OneLinePerProblemAndTheExitStatus) {
    check::Report report;
    std::ostringstream clean;
    EXPECT_EQ(check::printReport(report, clean), 0);
    EXPECT_NE(clean.str().find("no problems"), std::string::npos);

    report.problems = {{"COM3", "занят", "busy"}, {"Errors", "нет", "missing"}};
    report.notes = {"note"};
    std::ostringstream out;
    EXPECT_EQ(check::printReport(report, out), 1);
    EXPECT_EQ(out.str(), "COM3: занят / busy\nErrors: нет / missing\nnote\n"
                         "Проверка установки: проблем 2 / installation check: 2 problem(s)\n");
}

TEST(CheckCommandLine, WorkingDirectoryArgumentAndUsage) {
    const fs::path dir = scratch("cli");
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(check::runCommandLine({"a", "b"}, dir, out, err), 2);
    EXPECT_EQ(check::runCommandLine({"--bogus"}, dir, out, err), 2);
    EXPECT_NE(err.str().find("usage"), std::string::npos);
    // A working directory that does not exist is a problem, not a crash.
    std::ostringstream report;
    EXPECT_EQ(check::runCommandLine({(dir / "absent").string()}, dir, report, err), 1);
    EXPECT_NE(report.str().find((dir / "absent").string()), std::string::npos);
}

} // namespace
