#include "app/ui/program.h"
#include "platform/files.h"
#include "platform/ini.h"
#include "platform/text.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace veltron;

namespace {

struct Installation {
    fs::path root;
    Installation() {
        std::string t = (fs::temp_directory_path() / "veltron-program-XXXXXX").string();
        root = ::mkdtemp(t.data());
        fs::create_directories(root / "bin");
        fs::create_directories(root / "work");
        fs::copy(BMP_DIR, root / "bin" / "BMP");
        fs::copy_file(SOURCE_DIR "/install/setup.ini", root / "bin" / "setup.ini");
        // The emulated check and initialisation need not take their real time here.
        setting("Debug", "PauseScale", "0");
        fs::copy(SOURCE_DIR "/install/Tabl1", root / "work" / "Tabl1");
        const std::string db = (root / "work" / "DataBase.mdb").string();
        EXPECT_EQ(std::system(("sqlite3 '" + db + "' < " SOURCE_DIR "/install/catalogue.sql").c_str()), 0);
    }
    ~Installation() { fs::remove_all(root); }
    void setting(const char* section, const char* key, const char* value) const {
        IniFile ini = IniFile::load(root / "bin" / "setup.ini");
        ini.set(section, key, value);
        ini.save(root / "bin" / "setup.ini");
    }
    // Options for a run on this installation; messages are collected instead of shown.
    ProgramOptions options() {
        ProgramOptions o;
        o.programFolder = root / "bin";
        o.workDir = root / "work";
        o.singleInstanceCheck = false;
        o.showMessage = [this](const std::string& m) { messages.push_back(m); };
        return o;
    }
    std::vector<std::string> messages;
    std::string logText() const { return text::cp1251ToUtf8(files::readFile(root / "work" / "Log.txt").value_or("")); }
};

// Types the characters into the main window as key presses once the program is running.
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

std::string run(const std::string& command) {
    std::string out;
    FILE* p = ::popen(command.c_str(), "r");
    char buf[256];
    while (p != nullptr && std::fgets(buf, sizeof buf, p) != nullptr) {
        out += buf;
    }
    if (p != nullptr) {
        ::pclose(p);
    }
    return out;
}

} // namespace

// The whole program in emulation on a sample installation, driven through its keypad:
// train number entry, then the end of work.
TEST(Program, OperatorEntersATrainNumberAndEndsTheWork) {
    Installation inst;
    Program program(inst.options());
    // Train number 3581, accepted; series: one line down, chosen; 1 and 7 are dead on the
    // main screen; end of work.
    typeLater(program, "43581/52\r17-/");
    EXPECT_EQ(program.run(), 0);
    EXPECT_TRUE(inst.messages.empty());

    const IniFile state = IniFile::load(inst.root / "bin" / "state.ini");
    EXPECT_EQ(state.get("INFO", "TRAIN"), "3581");
    EXPECT_EQ(state.get("INFO", "SERIA"), "2");
    EXPECT_EQ(program.catalogue().seriesName(2),
              text::cp1251Lines(*files::readFile(inst.root / "work" / "series.txt"))[1]);
    const std::string log = inst.logText();
    for (const char* line :
         {"] Программа запущена.", "] ВНИМАНИЕ ! Режим эмуляции включен !", "] ЦК(мб)  подключен к COM1",
          "] Тензодатчик подключен  к COM0", "] Система готова к работе.", "] Начата новая смена.",
          "] Задан номер поезда:3581", "] Работа с программой завершена."}) {
        EXPECT_NE(log.find(line), std::string::npos) << line << "\n" << log;
    }
    EXPECT_EQ(log.find("Подключение портов:"), std::string::npos); // no ports in emulation
    // The dead keys 1 and 7 started nothing.
    EXPECT_EQ(log.find(">>>"), std::string::npos);
    EXPECT_LT(log.find("Задан номер поезда"), log.find("Работа с программой завершена."));
}

// With the setting of our own, the main screen offers the spring keys: 7 opens the (empty)
// spring archive, whose key 12 comes back.
TEST(Program, SpringKeysOfferTheSpringArchive) {
    Installation inst;
    inst.setting("Veltron", "SpringKeys", "1");
    Program program(inst.options());
    bool archiveRan = false;
    program.menuActions[7] = [&] { archiveRan = true; };
    typeLater(program, "7-/");
    EXPECT_EQ(program.run(), 0);
    EXPECT_TRUE(archiveRan);

    Installation plain;
    Program other(plain.options());
    bool ran = false;
    other.menuActions[7] = [&] { ran = true; };
    typeLater(other, "7-/");
    EXPECT_EQ(other.run(), 0);
    EXPECT_FALSE(ran); // dead on the main screen as shipped
}

TEST(Program, EscEndsTheProgramFromTheMenu) {
    Installation inst;
    Program program(inst.options());
    QTimer::singleShot(0, [&program] {
        QCoreApplication::postEvent(&program.mainWindow(),
                                    new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
    });
    EXPECT_EQ(program.run(), 0);
    const std::string log = inst.logText();
    EXPECT_NE(log.find("Принудительноее завершение работы (ESC)."), std::string::npos);
    EXPECT_EQ(log.find("Работа с программой завершена."), std::string::npos);
}

TEST(Program, AFailingMenuActionEndsThroughTheFaultExit) {
    Installation inst;
    Program program(inst.options());
    bool hydraulicsOff = false;
    program.hydraulicsOff = [&] { hydraulicsOff = true; };
    program.menuActions[3] = [] { throw std::runtime_error("Нет связи с базой данных"); };
    // The action fails; key 11 leaves the error screen, key 12 the shutdown screen.
    typeLater(program, "3*/");
    EXPECT_EQ(program.run(), 2);
    EXPECT_FALSE(hydraulicsOff); // emulation: the rig is not touched
    const std::string log = inst.logText();
    EXPECT_NE(log.find("] >>>Нет связи с базой данных"), std::string::npos) << log;
}

TEST(Program, LoaderErrorEndsWithAMessageAndNonZeroStatus) {
    Installation inst;
    Program program(inst.options());
    program.loader = [](const std::function<void(const std::string&)>& line) {
        line("Загрузка калибровки 1");
        throw std::runtime_error("Tabl1\\cal1.txt: строка 3 не число");
    };
    EXPECT_EQ(program.run(), 1);
    ASSERT_EQ(inst.messages.size(), 1U);
    EXPECT_EQ(inst.messages[0], "Tabl1\\cal1.txt: строка 3 не число");
    EXPECT_EQ(inst.logText().find("Система готова к работе."), std::string::npos);
}

TEST(Program, SecondInstanceOfTheSameExecutableOnly) {
    Installation inst;
    fs::create_directories(inst.root / "a");
    fs::create_directories(inst.root / "b");
    fs::copy_file(INSTANCE_PROBE, inst.root / "a" / "probe");
    fs::copy_file(INSTANCE_PROBE, inst.root / "b" / "probe");
    const std::string a = (inst.root / "a" / "probe").string();
    const std::string b = (inst.root / "b" / "probe").string();
    EXPECT_EQ(run(a), "alone\n");
    // Keep one copy of a/probe running while the others look: it says "ready" on its
    // output and waits until its input closes.
    int toChild[2];
    int fromChild[2];
    ASSERT_EQ(::pipe(toChild), 0);
    ASSERT_EQ(::pipe(fromChild), 0);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::dup2(toChild[0], STDIN_FILENO);
        ::dup2(fromChild[1], STDOUT_FILENO);
        ::close(toChild[1]);
        ::close(fromChild[0]);
        ::execl(a.c_str(), a.c_str(), "wait", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(toChild[0]);
    ::close(fromChild[1]);
    char ready[6] = {};
    ASSERT_EQ(::read(fromChild[0], ready, 5), 5);
    EXPECT_EQ(run(a), "another\n");
    EXPECT_EQ(run(b), "alone\n");
    ::close(toChild[1]);
    ::close(fromChild[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
}
