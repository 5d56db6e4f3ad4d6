// The whole program with emulation off against rigsim on pseudo-terminals: the start-up's
// system check and rig initialisation, then a set measurement from key 3. The link library
// keeps its ports for the whole process, so one program run per test executable talks to
// the simulator.
#include "app/ui/program.h"
#include "platform/files.h"
#include "platform/ini.h"
#include "platform/text.h"
#include "results/result_tables.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QTimer>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace veltron;

namespace {

// The sample installation on a rig: emulation off, a scan the simulated cameras can hold.
struct RigInstallation {
    fs::path root;
    pid_t sim = -1;
    RigInstallation() {
        std::string t = (fs::temp_directory_path() / "vsr-XXXXXX").string();
        root = ::mkdtemp(t.data());
        fs::create_directories(root / "bin");
        fs::create_directories(root / "work");
        fs::create_directories(root / "dev");
        fs::create_directory_symlink(BMP_DIR, root / "bin" / "BMP");
        IniFile setup = IniFile::load(SOURCE_DIR "/install/setup.ini");
        setup.set("Global", "Emul", "0");
        setup.set("Debug", "PauseScale", "0");
        // The sample set types command forces in tenths of a kilogram on this load-cell line.
        setup.set("Hard", "xmuldk", "0.1");
        // A loaded test machine may keep the simulator from answering within the rig's 20 ms.
        setup.set("Hard", "STM1", "200");
        setup.set("Hard", "STREP", "3");
        for (const auto& [key, value] : {std::pair{"NZ", "2400"},
                                         {"HV", "600.0"},
                                         {"HN", "120.0"},
                                         {"Hgm", "600.0"},
                                         {"dHgm", "0.0"},
                                         {"DMV", "-0.1"}}) {
            setup.set("Mathem", key, value);
        }
        setup.save(root / "bin" / "setup.ini");
        fs::copy(SOURCE_DIR "/install/Tabl1", root / "work" / "Tabl1");
        fs::copy(SOURCE_DIR "/install/Errors", root / "work" / "Errors");
        const std::string db = (root / "work" / "DataBase.mdb").string();
        EXPECT_EQ(std::system(("sqlite3 '" + db + "' < " SOURCE_DIR "/install/catalogue.sql").c_str()), 0);
    }
    ~RigInstallation() {
        stopSim();
        fs::remove_all(root);
    }
    // Starts rigsim and waits for its ready line.
    bool startSim() {
        int fds[2];
        if (::pipe(fds) != 0) {
            return false;
        }
        sim = ::fork();
        if (sim == 0) {
            ::dup2(fds[1], STDOUT_FILENO);
            ::close(fds[0]);
            ::close(fds[1]);
            const std::string dev = (root / "dev").string();
            const std::string setup = (root / "bin" / "setup.ini").string();
            const std::string cal = (root / "work").string();
            ::execl(RIGSIM_BIN, RIGSIM_BIN, "--devdir", dev.c_str(), "--setup", setup.c_str(), "--cal", cal.c_str(),
                    "--speed", "50", nullptr);
            ::_exit(127);
        }
        ::close(fds[1]);
        FILE* out = ::fdopen(fds[0], "r");
        char line[512];
        bool ready = false;
        while (!ready && std::fgets(line, sizeof line, out) != nullptr) {
            ready = std::string(line).rfind("rigsim ready", 0) == 0;
        }
        std::fclose(out);
        return ready;
    }
    void stopSim() {
        if (sim > 0) {
            ::kill(sim, SIGTERM);
            int status = 0;
            ::waitpid(sim, &status, 0);
            sim = -1;
        }
    }
    std::string logText() const { return text::cp1251ToUtf8(files::readFile(root / "work" / "Log.txt").value_or("")); }
};

void typeLater(Program& program, const std::string& keys) {
    QTimer::singleShot(0, [&program, keys] {
        for (char c : keys) {
            int key = Qt::Key_0 + (c - '0');
            if (c == '/' || c == '-' || c == '\r' || c == '*') {
                key = c == '/' ? Qt::Key_Slash
                               : (c == '-' ? Qt::Key_Minus : (c == '*' ? Qt::Key_Asterisk : Qt::Key_Return));
            }
            QCoreApplication::postEvent(&program.mainWindow(),
                                        new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier, QString(QChar(c))));
        }
    });
}

int runProgram(RigInstallation& inst, const std::string& keys) {
    ::setenv("VELTRON_DEVDIR", (inst.root / "dev").c_str(), 1);
    ProgramOptions options;
    options.programFolder = inst.root / "bin";
    options.workDir = inst.root / "work";
    options.singleInstanceCheck = false;
    options.showMessage = [](const std::string& m) { ADD_FAILURE() << m; };
    Program program(options);
    typeLater(program, keys);
    const int status = program.run();
    ::unsetenv("VELTRON_DEVDIR");
    return status;
}

} // namespace

TEST(RigProgram, SystemCheckRigInitAndASetMeasurement) {
    RigInstallation inst;
    ASSERT_TRUE(inst.startSim());
    EXPECT_EQ(runProgram(inst, "3\r/-/*/"), 0);
    const std::string log = inst.logText();
    EXPECT_EQ(log.find(">>>"), std::string::npos) << log;
    EXPECT_NE(log.find("] Система готова к работе."), std::string::npos) << log;
    EXPECT_NE(log.find("] Проведен замер комплекта"), std::string::npos) << log;
    db::Connection connection(inst.root / "work");
    connection.setConnectionString("Data Source=DataBase.mdb");
    connection.connect();
    ResultTables tables(connection);
    EXPECT_EQ(tables.setRowCount(), 1);
}
