#include "app/ui/program.h"
#include "platform/files.h"
#include "platform/ini.h"
#include "platform/text.h"
#include "results/result_tables.h"
#include "sequences/faults.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace veltron;

namespace {

// The sample installation with the Errors texts, and pauses shortened to nothing.
struct Installation {
    fs::path root;
    Installation() {
        std::string t = (fs::temp_directory_path() / "veltron-seqprog-XXXXXX").string();
        root = ::mkdtemp(t.data());
        fs::create_directories(root / "bin");
        fs::create_directories(root / "work");
        fs::copy(BMP_DIR, root / "bin" / "BMP");
        IniFile setup = IniFile::load(SOURCE_DIR "/install/setup.ini");
        setup.set("Debug", "PauseScale", "0");
        setup.save(root / "bin" / "setup.ini");
        fs::copy(SOURCE_DIR "/install/Tabl1", root / "work" / "Tabl1");
        fs::copy(SOURCE_DIR "/install/Errors", root / "work" / "Errors");
        const std::string db = (root / "work" / "DataBase.mdb").string();
        EXPECT_EQ(std::system(("sqlite3 '" + db + "' < " SOURCE_DIR "/install/catalogue.sql").c_str()), 0);
    }
    ~Installation() { fs::remove_all(root); }
    std::string logText() const { return text::cp1251ToUtf8(files::readFile(root / "work" / "Log.txt").value_or("")); }
};

void typeLater(Program& program, const std::string& keys) {
    QTimer::singleShot(0, [&program, keys] {
        for (char c : keys) {
            int key = Qt::Key_0 + (c - '0');
            if (c == '/' || c == '-' || c == '\r') {
                key = c == '/' ? Qt::Key_Slash : (c == '-' ? Qt::Key_Minus : Qt::Key_Return);
            }
            QCoreApplication::postEvent(&program.mainWindow(),
                                        new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier, QString(QChar(c))));
        }
    });
}

} // namespace

// The whole program in emulation, through its keypad: key 3, the first set type, the result
// screen left with key 12, a warm-up started and ended with key 0, the end of work.
TEST(ProgramSequences, SetMeasurementFromTheMainMenu) {
    Installation inst;
    ProgramOptions options;
    options.programFolder = inst.root / "bin";
    options.workDir = inst.root / "work";
    options.singleInstanceCheck = false;
    std::vector<std::string> messages;
    options.showMessage = [&](const std::string& m) { messages.push_back(m); };
    // The program's own clock, not the system's, dates the measurement.
    const text::DateTime day{2031, 5, 7, 10, 15, 0, 0};
    options.clock = [day] { return day; };
    Program program(options);
    typeLater(program, "3\r/00-/");
    EXPECT_EQ(program.run(), 0);
    EXPECT_TRUE(messages.empty());

    db::Connection connection(inst.root / "work");
    connection.setConnectionString("Data Source=DataBase.mdb");
    connection.connect();
    ResultTables tables(connection);
    ASSERT_EQ(tables.setRowCount(), 1);
    _xKZamer r;
    tables.readSetRow(0, r);
    EXPECT_EQ(r.Name, makeSetName(1, day));
    EXPECT_EQ(r.Name, "K0001-07052031");
    EXPECT_EQ(r.Nkompl, 1);
    EXPECT_EQ(r.Se, program.catalogue().seriesName(program.state().state().SERIA));
    const _xKompl& type = program.catalogue().setType(1);
    ASSERT_NE(type.HpodNagrMul, 0.0F);
    const double raw = (r.List - type.HpodNagrAdd) / type.HpodNagrMul;
    EXPECT_GE(r.v - raw, 49.0 - 1e-3);
    EXPECT_LE(r.v - raw, 60.0 + 1e-3);
    EXPECT_EQ(IniFile::load(inst.root / "bin" / "state.ini").get("NOWReplacement", "NOWKOMPL"), "1");

    const std::string log = inst.logText();
    for (const char* line : {"] Проведена инициализация", "] Система готова к работе.", "] Проведен замер комплекта",
                             "] Работа с программой завершена."}) {
        EXPECT_NE(log.find(line), std::string::npos) << line << "\n" << log;
    }
    EXPECT_LT(log.find("] Проведен замер комплекта"), log.find("] Работа с программой завершена."));
    EXPECT_EQ(log.find(">>>"), std::string::npos) << log;
}

// With emulation off and no device to open, the start-up stops on the fault screen with code 12
// (key 11, then key 12 of the shutdown screen).
TEST(ProgramSequences, PortThatCannotBeOpenedShowsFault12) {
    Installation inst;
    IniFile setup = IniFile::load(inst.root / "bin" / "setup.ini");
    setup.set("Global", "Emul", "0");
    setup.save(inst.root / "bin" / "setup.ini");
    fs::create_directories(inst.root / "nodevices");
    ::setenv("VELTRON_DEVDIR", (inst.root / "nodevices").c_str(), 1);
    ProgramOptions options;
    options.programFolder = inst.root / "bin";
    options.workDir = inst.root / "work";
    options.singleInstanceCheck = false;
    options.showMessage = [](const std::string& m) { ADD_FAILURE() << m; };
    Program program(options);
    typeLater(program, "*/");
    const int status = program.run();
    ::unsetenv("VELTRON_DEVDIR");
    EXPECT_EQ(status, kFaultExitStatus);
    const std::string log = inst.logText();
    EXPECT_NE(log.find("] >>>Обнаружена ошибка. Код ошибки:12"), std::string::npos) << log;
    EXPECT_NE(log.find("] Завершение работы после ошибки."), std::string::npos) << log;
    EXPECT_EQ(log.find("Порт ЦК - ОК"), std::string::npos) << log;
}
