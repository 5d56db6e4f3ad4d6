#include "app/check.h"

#include "app/loader.h"
#include "platform/database.h"
#include "platform/files.h"
#include "platform/serial.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace veltron::check {
namespace fs = std::filesystem;

namespace {

void add(std::vector<Problem>& out, std::string subject, std::string ru, std::string en) {
    out.push_back(Problem{std::move(subject), std::move(ru), std::move(en)});
}

bool isDirectory(const fs::path& p) {
    std::error_code ec;
    return fs::is_directory(p, ec);
}

bool isFile(const fs::path& p) {
    std::error_code ec;
    return fs::is_regular_file(p, ec);
}

bool writable(const fs::path& p) {
    return ::access(p.c_str(), W_OK) == 0;
}

bool readable(const fs::path& p) {
    return ::access(p.c_str(), R_OK) == 0;
}

std::string userName() {
    return "uid " + std::to_string(::geteuid());
}

// A folder the program writes into: it must exist (or be creatable by the program, which
// makes Temp and STORE itself) and be writable by this user.
void writableFolder(std::vector<Problem>& out, const fs::path& workDir, const char* name, bool programCreates) {
    const fs::path p = files::resolve(workDir, name);
    if (!isDirectory(p)) {
        if (programCreates && writable(workDir)) {
            return;
        }
        add(out, name, std::string("нет папки — создайте её в рабочей папке ") + workDir.string(),
            std::string("folder missing: create it in the working directory ") + workDir.string());
        return;
    }
    if (!writable(p)) {
        add(out, name, "нет права записи в папку для " + userName() + " — дайте права пользователю программы",
            "folder not writable for " + userName() + ": give the program's user write access");
    }
}

// Sections and keys are written with their setup.ini spelling.
struct PollLimit {
    const char* key;
    std::int32_t Settings::*value;
};
constexpr PollLimit kPollLimits[] = {
    {"tpeKARETKA_VLEVO", &Settings::tpeKARETKA_VLEVO},
    {"tpeKARETKA_VPRAVO", &Settings::tpeKARETKA_VPRAVO},
    {"tpeGEOMETR_VVERH", &Settings::tpeGEOMETR_VVERH},
    {"tpeGEOMETR_VNIZ", &Settings::tpeGEOMETR_VNIZ},
    {"tpePRESS_VVERH", &Settings::tpePRESS_VVERH},
    {"tpePRESS_VNIZ", &Settings::tpePRESS_VNIZ},
    {"tpeCENTR", &Settings::tpeCENTR},
};

constexpr std::int32_t kCameraParameterDefault = 100500;

std::string joined(const std::vector<std::string>& items) {
    std::string s;
    for (const auto& i : items) {
        s += (s.empty() ? "" : ", ") + i;
    }
    return s;
}

// Probes the device of one port the way the program opens it. The device is closed again at
// once; nothing is written to it.
void probePort(std::vector<Problem>& out, const NamedPort& port) {
    const std::string subject = "COM" + std::to_string(port.number);
    const std::string device = serial::devicePath(port.number);
    const std::string what = " (" + port.role + ", " + device + ")";
    struct stat st {};
    if (::stat(device.c_str(), &st) != 0) {
        add(out, subject,
            "устройство не найдено" + what +
                " — подключите адаптер и проверьте правило udev /etc/udev/rules.d/70-veltron-serial.rules",
            "device not found" + what + ": plug in the adapter and check the udev rule");
        return;
    }
    if (::access(device.c_str(), R_OK | W_OK) != 0) {
        add(out, subject,
            "нет права доступа к устройству для " + userName() + what +
                " — включите пользователя программы в группу dialout",
            "no permission for " + userName() + what + ": add the program's user to the group dialout");
        return;
    }
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int err = errno;
        if (err == EBUSY) {
            add(out, subject, "порт занят другой программой" + what + " — закройте её (fuser -v " + device + ")",
                "port busy" + what + ": end the program holding it (fuser -v " + device + ")");
        } else {
            add(out, subject, "порт не открывается" + what + ": " + std::strerror(err),
                "port cannot be opened" + what + ": " + std::strerror(err));
        }
        return;
    }
    const bool terminal = ::isatty(fd) != 0;
    ::close(fd);
    if (!terminal) {
        add(out, subject, "это не последовательный порт" + what + " — исправьте правило udev",
            "not a serial device" + what + ": correct the udev rule");
        return;
    }
    serial::Port probe;
    if (!probe.open(device)) {
        add(out, subject, "порт занят другой программой" + what + " — закройте её (fuser -v " + device + ")",
            "port busy" + what + ": end the program holding it (fuser -v " + device + ")");
    }
}

} // namespace

const std::vector<std::string>& requiredPictures() {
    static const std::vector<std::string> pictures = [] {
        std::vector<std::string> v;
        // Keypad keys by their picture letters, each dead, live and pressed.
        for (const char letter : std::string("1234567890z#abcd")) {
            const std::string l(1, letter);
            v.push_back("_" + l + "np.bmp");
            v.push_back(l + "np.bmp");
            v.push_back(l + "p.bmp");
        }
        for (const char* name :
             {"_nnp.bmp", "fon1.bmp", "poweroff.bmp", "zamer.bmp", "zamerco.bmp", "PRUGINA.bmp", "komplect.bmp",
              "bigspring.bmp", "lupa.bmp", "init.bmp", "notremor.bmp", "allok.bmp", "noallok.bmp"}) {
            v.emplace_back(name);
        }
        return v;
    }();
    return pictures;
}

const std::vector<int>& faultCodes() {
    static const std::vector<int> codes = {2,  3,  4,  5,  6,  7,  8,  9,  10, 12, 13, 15,
                                           16, 17, 18, 20, 21, 22, 25, 26, 27, 28, 29};
    return codes;
}

const std::vector<RequiredTable>& requiredTables() {
    static const std::vector<RequiredTable> tables = [] {
        std::vector<std::string> spring = {"Name", "Prutok", "Delta", "PHS",   "PLS",  "PHU",
                                           "PLU",  "Prost",  "Mode",  "Mask1", "Mask2"};
        // The diameter block is read from the Do or the Di columns, as the row's Do says.
        for (const char* p : {"Do", "Di", "V", "R", "N", "S", "O"}) {
            const std::string b = p;
            for (const char* suffix : {"", "Mul", "Add", "Midd", "Rt", "+", "-"}) {
                spring.push_back(b + suffix);
            }
        }
        std::vector<std::string> sets = {"Name", "VpdMidt", "VpdAdd", "VpdMul", "Vpd+",
                                         "Vpd-", "PHS",     "PHU",    "PLS",    "PLU"};
        for (int g = 1; g <= 5; ++g) {
            sets.push_back(std::to_string(g) + "min");
            sets.push_back(std::to_string(g) + "max");
        }
        sets.emplace_back("Type");
        sets.emplace_back("NGR");
        return std::vector<RequiredTable>{
            {"Series", {"Name"}},
            {"Tel", {"Names"}},
            {"ParamSpring", spring},
            {"RateSpring", {"IDSpring", "IDTel"}},
            {"ParamComp", sets},
            {"measReading",
             {"Name", "Date", "Time", "Id_Obj", "Dia", "Vis", "ByStep", "NoPerp", "Arrow", "Def", "Series", "VagonNum",
              "Tel"}},
            {"measComplects", {"Name", "Date", "Time", "Nkompl", "V", "Vpd", "O", "Series", "VagonNum", "Tel"}},
        };
    }();
    return tables;
}

std::vector<NamedPort> portsInUse(const Settings& s) {
    const NamedPort all[] = {
        {s.CK_PORT, "CK_PORT"},     {s.CAM_PORT, "CAM_PORT"}, {4, "тензодатчик"},
        {s.CHRP_PORT, "CHRP_PORT"}, {s.CK2_PORT, "CK2_PORT"},
    };
    std::vector<NamedPort> out;
    for (const NamedPort& p : all) {
        bool merged = false;
        for (NamedPort& seen : out) {
            if (seen.number == p.number) {
                seen.role += "+" + p.role;
                merged = true;
            }
        }
        if (!merged) {
            out.push_back(p);
        }
    }
    return out;
}

std::vector<Problem> checkProgramFolder(const fs::path& programFolder) {
    std::vector<Problem> out;
    if (!isFile(programFolder / "setup.ini")) {
        add(out, "setup.ini",
            "нет файла настроек в папке программы " + programFolder.string() +
                " — все настройки по умолчанию (эмуляция); скопируйте setup.ini установки",
            "no settings file in the program folder " + programFolder.string() +
                ": every setting at its default (emulation); copy the installation's setup.ini");
    } else if (!readable(programFolder / "setup.ini")) {
        add(out, "setup.ini", "файл настроек не читается для " + userName() + " — дайте право чтения",
            "settings file not readable for " + userName() + ": give read access");
    }

    // The state file is replaced through a temporary file beside it, so the folder itself
    // must be writable, and in a sticky folder an existing state.ini must be ours.
    const fs::path state = programFolder / "state.ini";
    struct stat dir {};
    if (!writable(programFolder)) {
        add(out, "state.ini",
            "папка программы " + programFolder.string() + " закрыта для записи для " + userName() +
                " — счётчики смены и выбор оператора не сохранятся; дайте право записи (см. руководство)",
            "program folder " + programFolder.string() + " not writable for " + userName() +
                ": shift counters and the operator's choices would not be kept; give write access (see the guide)");
    } else if (::stat(programFolder.c_str(), &dir) == 0 && (dir.st_mode & S_ISVTX) != 0) {
        struct stat st {};
        if (::lstat(state.c_str(), &st) == 0 && st.st_uid != ::geteuid() && dir.st_uid != ::geteuid() &&
            ::geteuid() != 0) {
            add(out, "state.ini",
                "файл принадлежит другому пользователю и не может быть заменён — chown на пользователя программы",
                "file belongs to another user and cannot be replaced: chown it to the program's user");
        }
    }

    const fs::path bmp = programFolder / "BMP";
    if (!isDirectory(bmp)) {
        add(out, "BMP", "нет папки рисунков в папке программы " + programFolder.string() + " — установите BMP",
            "no picture folder in the program folder " + programFolder.string() + ": install BMP");
        return out;
    }
    std::vector<std::string> missing;
    for (const auto& name : requiredPictures()) {
        if (!isFile(files::resolve(bmp, name))) {
            missing.push_back(name);
        }
    }
    if (!missing.empty()) {
        add(out, "BMP",
            "нет рисунков (" + std::to_string(missing.size()) + "): " + joined(missing) +
                " — экраны и клавиатура будут без них; установите BMP заново",
            "pictures missing (" + std::to_string(missing.size()) +
                "): the screens and the keypad would lack them; install BMP again");
    }
    return out;
}

std::vector<Problem> checkWorkDir(const fs::path& workDir) {
    std::vector<Problem> out;
    if (!isDirectory(workDir)) {
        add(out, workDir.string(), "рабочей папки нет — укажите папку установки с DataBase.mdb",
            "the working directory does not exist: name the installation folder that holds DataBase.mdb");
        return out;
    }
    if (!writable(workDir)) {
        add(out, workDir.string(),
            "рабочая папка закрыта для записи для " + userName() +
                " — журнал, списки и протокол загрузки не запишутся; дайте право записи",
            "working directory not writable for " + userName() +
                ": the log, the lists and the loading log could not be written; give write access");
    }
    writableFolder(out, workDir, "Temp", true);
    writableFolder(out, workDir, "STORE", true);

    // Calibration tables: the loader stops at the first that does not load.
    if (!isDirectory(files::resolve(workDir, "Tabl1"))) {
        add(out, "Tabl1", "нет папки калибровочных таблиц — скопируйте Tabl1 с cal1.txt … cal4.txt",
            "no calibration table folder: copy Tabl1 with cal1.txt to cal4.txt");
    } else {
        for (int n = 1; n <= 4; ++n) {
            const std::string name = "Tabl1\\cal" + std::to_string(n) + ".txt";
            const fs::path file = files::resolve(workDir, name);
            if (!isFile(file)) {
                add(out, name, "нет калибровочной таблицы камеры " + std::to_string(n) + " — программа не запустится",
                    "calibration table of camera " + std::to_string(n) + " missing: the program would not start");
                continue;
            }
            try {
                CalibrationTables::Table table{};
                readCalibrationTable(file, name, table);
            } catch (const std::exception& e) {
                add(out, name, std::string("таблица не загружается: ") + e.what() + " — исправьте файл",
                    std::string("table does not load: ") + e.what() + "; correct the file");
            }
        }
    }

    // Fault texts: a fault screen without its text shows only the code.
    if (!isDirectory(files::resolve(workDir, "Errors"))) {
        add(out, "Errors", "нет папки текстов аварий — скопируйте Errors установки",
            "no fault text folder: copy the installation's Errors");
    } else {
        std::vector<std::string> missing;
        for (const int code : faultCodes()) {
            const std::string name = std::to_string(code) + ".err";
            if (!isFile(files::resolve(workDir, "Errors\\" + name))) {
                missing.push_back(name);
            }
        }
        if (!isFile(files::resolve(workDir, "Errors\\RTA1000.txt"))) {
            missing.emplace_back("RTA1000.txt");
        }
        if (!missing.empty()) {
            add(out, "Errors",
                "нет текстов аварий: " + joined(missing) + " — экран аварии покажет только код; скопируйте Errors",
                "fault texts missing: " + joined(missing) + "; the fault screen would show the code only");
        }
    }
    return out;
}

std::vector<Problem> checkDatabase(const fs::path& workDir) {
    std::vector<Problem> out;
    const std::string source = db::dataSourceOf(kConnectionString);
    const fs::path file = files::resolve(workDir, source);
    if (!isFile(file)) {
        add(out, source, "нет базы данных в рабочей папке — создайте её (sqlite3 DataBase.mdb < catalogue.sql)",
            "no database in the working directory: create it (sqlite3 DataBase.mdb < catalogue.sql)");
        return out;
    }
    db::Connection connection(workDir);
    connection.setConnectionString(kConnectionString);
    try {
        connection.connect();
    } catch (const std::exception& e) {
        add(out, source,
            std::string("база данных не открывается для чтения и записи: ") + e.what() +
                " — проверьте файл и права пользователя программы",
            std::string("database cannot be opened for reading and writing: ") + e.what() +
                "; check the file and the program user's rights");
        return out;
    }
    for (const RequiredTable& t : requiredTables()) {
        try {
            if (!connection.tableExists(t.name)) {
                add(out, source + ": " + t.name, "нет таблицы — восстановите её из образца каталога",
                    "table missing: restore it from the sample catalogue");
                continue;
            }
            db::Table& table = connection.table();
            table.open(t.name);
            std::vector<std::string> missing;
            for (const auto& c : t.columns) {
                if (!table.hasColumn(c)) {
                    missing.push_back(c);
                }
            }
            if (!missing.empty()) {
                add(out, source + ": " + t.name,
                    "нет столбцов: " + joined(missing) + " — добавьте их (ALTER TABLE … ADD COLUMN)",
                    "columns missing: " + joined(missing) + "; add them (ALTER TABLE ... ADD COLUMN)");
            }
            table.close();
        } catch (const std::exception& e) {
            add(out, source + ": " + t.name, std::string("таблица не читается: ") + e.what(),
                std::string("table cannot be read: ") + e.what());
        }
    }
    connection.disconnect();
    return out;
}

std::vector<Problem> checkSettings(const Settings& s) {
    std::vector<Problem> out;
    if (s.Emul) {
        return out;
    }
    for (const auto& key : s.poprDefaulted) {
        const bool mul = key.rfind("Mul", 0) == 0;
        add(out, "[Popr] " + key,
            std::string("ключ не задан или неверен, действует ") + (mul ? "1000.0" : "2000.0") +
                " — каждое значение стенда будет искажено; задайте " + key + (mul ? "=1.0" : "=0.0"),
            std::string("key missing or invalid, ") + (mul ? "1000.0" : "2000.0") +
                " applies: every value from the rig would be wrong; set " + key + (mul ? "=1.0" : "=0.0"));
    }
    if (s.cLir1 == s.cLir2) {
        add(out, "[Mathem] сLir1, сLir2",
            "сLir1 = сLir2 = " + std::to_string(s.cLir1) +
                " — высота пресса не вычисляется; задайте отсчёты датчика в двух точках калибровки",
            "сLir1 = сLir2 = " + std::to_string(s.cLir1) +
                ": no press height can be computed; give the encoder counts at the two calibration points");
    }
    if (s.a2kx1 == s.a2kx2 || s.a2ky1 == s.a2ky2) {
        add(out, "[Convert] a2kx1..a2ky2",
            "точки тензодатчика совпадают (a2kx1 = a2kx2 или a2ky1 = a2ky2) — усилие и вес не вычисляются; "
            "задайте две разные точки (АЦП, кг)",
            "the load-cell points coincide (a2kx1 = a2kx2 or a2ky1 = a2ky2): no force target or weight can be "
            "computed; give two distinct points (ADC, kg)");
    }
    for (const PollLimit& p : kPollLimits) {
        if (s.*p.value <= 0) {
            add(out, std::string("[TIMEOUT] ") + p.key,
                "предел опросов " + std::to_string(s.*p.value) +
                    " — каждое движение закончится аварией по тайм-ауту; задайте число опросов",
                "poll limit " + std::to_string(s.*p.value) +
                    ": every motion would end with a time-out fault; give a number of polls");
        }
    }
    for (int cam = 1; cam <= 4; ++cam) {
        std::vector<std::string> keys;
        for (int m = 1; m <= 12; ++m) {
            if (s.k[static_cast<std::size_t>(cam)][static_cast<std::size_t>(m)] == kCameraParameterDefault) {
                keys.push_back("k" + std::to_string(m));
            }
        }
        if (!keys.empty()) {
            add(out, "[k" + std::to_string(cam) + "]",
                "параметры камеры " + std::to_string(cam) + " по умолчанию (" + joined(keys) +
                    " = 100500) — профили камеры будут отброшены; задайте набор параметров",
                "camera " + std::to_string(cam) + " parameters at their default (" + joined(keys) +
                    " = 100500): the camera's profiles would be discarded; give its parameter set");
        }
    }
    return out;
}

std::vector<Problem> checkPorts(const Settings& s) {
    std::vector<Problem> out;
    if (s.Emul) {
        return out;
    }
    for (const NamedPort& p : portsInUse(s)) {
        probePort(out, p);
    }
    return out;
}

Report checkInstallation(const fs::path& programFolder, const fs::path& workDir) {
    Report r;
    const auto append = [&r](std::vector<Problem> found) {
        for (auto& p : found) {
            r.problems.push_back(std::move(p));
        }
    };
    append(checkProgramFolder(programFolder));
    append(checkWorkDir(workDir));
    if (isDirectory(workDir)) {
        append(checkDatabase(workDir));
    }
    const Settings settings = readSettingsFile((programFolder / "setup.ini").string());
    if (settings.Emul) {
        r.notes.emplace_back("Emul=1: режим эмуляции, настройки стенда и порты не проверялись / "
                             "emulation mode: rig settings and serial ports not checked");
    } else {
        append(checkSettings(settings));
        append(checkPorts(settings));
    }
    return r;
}

int printReport(const Report& report, std::ostream& out) {
    for (const Problem& p : report.problems) {
        out << p.subject << ": " << p.ru << " / " << p.en << '\n';
    }
    for (const auto& n : report.notes) {
        out << n << '\n';
    }
    if (report.problems.empty()) {
        out << "Проверка установки: проблем нет / installation check: no problems\n";
        return 0;
    }
    out << "Проверка установки: проблем " << report.problems.size()
        << " / installation check: " << report.problems.size() << " problem(s)\n";
    return 1;
}

int runCommandLine(const std::vector<std::string>& args, const fs::path& programFolder, std::ostream& out,
                   std::ostream& err) {
    if (args.size() > 1 || (args.size() == 1 && !args[0].empty() && args[0][0] == '-')) {
        err << "usage: veltron --check-installation [WORKING_DIRECTORY]\n";
        return 2;
    }
    std::error_code ec;
    const fs::path workDir = args.empty() ? fs::current_path(ec) : fs::path(args[0]);
    out << "Папка программы / program folder: " << programFolder.string() << '\n'
        << "Рабочая папка / working directory: " << workDir.string() << '\n';
    return printReport(checkInstallation(programFolder, workDir), out);
}

} // namespace veltron::check
