// The sample installation on a simulated rig: emulation off, rigsim on pseudo-terminals in a
// folder of the installation, and the whole program driven through its keyboard. Shared by
// the tests that run the program against rigsim.
#pragma once

#include "app/ui/program.h"
#include "platform/files.h"
#include "platform/ini.h"
#include "platform/text.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace veltron::testing {

struct RigInstallation {
    std::filesystem::path root;
    pid_t sim = -1;

    // The sample setup.ini with emulation off and a scan the simulated cameras can hold.
    RigInstallation() {
        namespace fs = std::filesystem;
        std::string t = (fs::temp_directory_path() / "vsr-XXXXXX").string();
        root = ::mkdtemp(t.data());
        fs::create_directories(root / "bin");
        fs::create_directories(root / "work");
        fs::create_directories(root / "dev");
        fs::create_directory_symlink(BMP_DIR, root / "bin" / "BMP");
        IniFile setup = IniFile::load(SOURCE_DIR "/install/setup.ini");
        setup.set("Global", "Emul", "0");
        setup.set("Debug", "PauseScale", "0");
        // The sample catalogue commands forces in tenths of a kilogram on this load-cell line.
        setup.set("Hard", "xmuldk", "0.1");
        setup.set("Hard", "xmuld", "0.1");
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
        if (std::system(("sqlite3 '" + db + "' < " SOURCE_DIR "/install/catalogue.sql").c_str()) != 0) {
            std::fprintf(stderr, "the sample catalogue could not be applied to %s\n", db.c_str());
        }
    }
    RigInstallation(const RigInstallation&) = delete;
    RigInstallation& operator=(const RigInstallation&) = delete;
    ~RigInstallation() {
        stopSim();
        std::filesystem::remove_all(root);
    }

    void setting(const std::string& section, const std::string& key, const std::string& value) {
        IniFile setup = IniFile::load(root / "bin" / "setup.ini");
        setup.set(section, key, value);
        setup.save(root / "bin" / "setup.ini");
    }

    // Starts rigsim with the given extra options and waits for its ready line.
    bool startSim(const std::vector<std::string>& options = {}) {
        int fds[2];
        if (::pipe(fds) != 0) {
            return false;
        }
        const std::string dev = (root / "dev").string();
        const std::string setup = (root / "bin" / "setup.ini").string();
        const std::string cal = (root / "work").string();
        std::vector<std::string> args = {RIGSIM_BIN, "--devdir", dev, "--setup", setup, "--cal", cal, "--speed", "50"};
        args.insert(args.end(), options.begin(), options.end());
        sim = ::fork();
        if (sim == 0) {
            ::dup2(fds[1], STDOUT_FILENO);
            // Nothing else of the test process: a pipe rigsim kept open would hold its reader.
            ::close_range(3, ~0U, 0);
            std::vector<char*> argv;
            for (auto& a : args) {
                argv.push_back(a.data());
            }
            argv.push_back(nullptr);
            ::execv(RIGSIM_BIN, argv.data());
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

    // One command on rigsim's control channel; the answer lines up to "ok" or "error: ...".
    std::string control(const std::string& command) const {
        const std::string path = (root / "dev" / "rigsim.sock").string();
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        if (fd < 0) {
            return "error: no socket";
        }
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        path.copy(addr.sun_path, sizeof addr.sun_path - 1);
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
            ::close(fd);
            return "error: rigsim does not answer on " + path;
        }
        const std::string line = command + "\n";
        if (::write(fd, line.data(), line.size()) != static_cast<ssize_t>(line.size())) {
            ::close(fd);
            return "error: command not sent";
        }
        std::string answer;
        char buf[4096];
        for (;;) {
            const ssize_t n = ::read(fd, buf, sizeof buf);
            if (n <= 0) {
                break;
            }
            answer.append(buf, static_cast<std::size_t>(n));
            if (answer == "ok\n" || answer.ends_with("\nok\n") || answer.rfind("error:", 0) == 0 ||
                answer.find("\nerror:") != std::string::npos) {
                break;
            }
        }
        ::close(fd);
        return answer;
    }

    std::string logText() const { return text::cp1251ToUtf8(files::readFile(root / "work" / "Log.txt").value_or("")); }
};

inline int qtKeyFor(char c) {
    switch (c) {
    case '/':
        return Qt::Key_Slash;
    case '-':
        return Qt::Key_Minus;
    case '*':
        return Qt::Key_Asterisk;
    case '\r':
        return Qt::Key_Return;
    default:
        return Qt::Key_0 + (c - '0');
    }
}

inline void postKey(Program& program, char c) {
    QCoreApplication::postEvent(&program.mainWindow(),
                                new QKeyEvent(QEvent::KeyPress, qtKeyFor(c), Qt::NoModifier, QString(QChar(c))));
}

// Runs the whole program from the installation. The keys are typed as soon as the event loop
// runs; the program holds them until a screen polls. `onTick`, when given, runs every 50 ms
// while the program runs (to press a key again, or to act on the rig at a moment); `afterRun`
// sees the program once it has ended (its catalogue is still loaded then).
inline int runProgram(RigInstallation& inst, const std::string& keys, const std::function<void(Program&)>& onTick = {},
                      const std::function<void(const std::string&)>& message = {},
                      const std::function<void(Program&)>& afterRun = {}) {
    ::setenv("VELTRON_DEVDIR", (inst.root / "dev").c_str(), 1);
    ProgramOptions options;
    options.programFolder = inst.root / "bin";
    options.workDir = inst.root / "work";
    options.singleInstanceCheck = false;
    options.showMessage = [message](const std::string& m) {
        if (message) {
            message(m);
        }
    };
    Program program(options);
    QTimer::singleShot(0, [&program, keys] {
        for (char c : keys) {
            postKey(program, c);
        }
    });
    QTimer ticker;
    if (onTick) {
        QObject::connect(&ticker, &QTimer::timeout, [&program, &onTick] { onTick(program); });
        ticker.start(50);
    }
    const int status = program.run();
    ticker.stop();
    ::unsetenv("VELTRON_DEVDIR");
    if (afterRun) {
        afterRun(program);
    }
    return status;
}

} // namespace veltron::testing
