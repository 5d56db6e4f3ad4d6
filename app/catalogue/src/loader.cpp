#include "app/loader.h"

#include "platform/files.h"
#include "platform/text.h"

#include <chrono>
#include <thread>

namespace veltron {

namespace {

const std::string kRule35(35, '-');
const std::string kRule48(48, '-');

std::string num(std::int64_t v) {
    return std::to_string(v);
}

// Columns of the six parameter blocks of ParamSpring; block 1 has an outer and an inner group.
constexpr const char* kBlockPrefix[] = {"", "", "V", "R", "N", "S", "O"};
constexpr const char* kBlockTitle[] = {
    "", "", "Высота:", "Разность шагов:", "Неперп.:", "Стрела прогиба:", "Остаточная деформация:"};

ParamBlockRow readBlock(const db::Table& t, const std::string& prefix) {
    ParamBlockRow b;
    b.nominal = t.number(prefix);
    b.Mul = t.number(prefix + "Mul");
    b.Add = t.number(prefix + "Add");
    b.Midd = t.number(prefix + "Midd");
    b.Rt = t.integer(prefix + "Rt");
    b.plus = t.number(prefix + "+");
    b.minus = t.number(prefix + "-");
    return b;
}

// Default of a [Popr] key, as the settings apply it.
const char* poprDefault(const std::string& key) {
    return text::equalsNoCase(key.substr(0, 3), "Add") ? "2000.0" : "1000.0";
}

} // namespace

void LoadingLog::add(std::string line) {
    lines_.push_back(std::move(line));
    if (sink_) {
        sink_(lines_.back());
    }
}

std::string listLine(const std::string& name) {
    std::string out;
    out.reserve(name.size());
    for (std::size_t i = 0; i < name.size(); ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        if (c < 0x20U || c == 0x7FU) {
            out += ' ';
        } else if (c == 0xC2U && i + 1 < name.size() && static_cast<unsigned char>(name[i + 1]) >= 0x80U &&
                   static_cast<unsigned char>(name[i + 1]) <= 0x9FU) {
            out += ' '; // U+0080..U+009F, the C1 controls (0x98 of the code page maps there)
            ++i;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::string logReal(double v) {
    return text::formatThousands(v, 1);
}

StartupLoader::StartupLoader(const Settings& settings, WorkLog& workLog, db::Connection& connection,
                             Catalogue& catalogue, CalibrationTables& calibration, LoadingLog& log,
                             std::filesystem::path workDir, LoaderHooks hooks)
    : settings_(settings), workLog_(workLog), connection_(connection), catalogue_(catalogue), calibration_(calibration),
      log_(log), workDir_(std::move(workDir)), hooks_(std::move(hooks)) {}

void StartupLoader::wait(int ms) {
    if (hooks_.wait) {
        hooks_.wait(ms);
    } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
}

void StartupLoader::run() {
    log_.clear();
    if (hooks_.show) {
        hooks_.show();
    }
    if (hooks_.processMessages) {
        hooks_.processMessages();
    }
    catalogue_.clear();
    warnDefaultedCorrections();
    loadCalibration();
    connect();
    loadSeries();
    loadBogies();
    loadSpringTypes();
    loadBindings();
    loadSetTypes();
    writeSetList();
    logBindingSummary();
    files::writeFileAtomic(files::resolve(workDir_, "reploadDB.txt"), text::cp1251Text(log_.lines()));
    if (hooks_.hide) {
        hooks_.hide();
    }
}

// On a rig a missing correction key scales every measured value by the default factor of
// 1000 and shifts it by 2000, so each one is reported before anything is measured.
void StartupLoader::warnDefaultedCorrections() {
    if (settings_.Emul) {
        return;
    }
    for (const auto& key : settings_.poprDefaulted) {
        const std::string text =
            "Внимание: ключ " + key + " секции [Popr] не задан или неверен, принято значение " + poprDefault(key);
        line(text);
        workLog_.write(text);
    }
}

void StartupLoader::loadCalibration() {
    line("Загрузка калибровочных таблиц");
    for (int n = 1; n <= 4; ++n) {
        line("Калибровка :" + num(n));
        const std::string name = "Tabl1\\cal" + num(n) + ".txt";
        readCalibrationTable(files::resolve(workDir_, name), name, calibration_.table[static_cast<std::size_t>(n)]);
        line("Загружена");
        wait(10);
    }
}

void StartupLoader::connect() {
    line("Этап №" + num(1) + ". Выбор провайдера БД.");
    connection_.setConnectionString(kConnectionString);
    line("ОК");
    line("Подключение к БД");
    connection_.connect();
    line("ОК");
}

void StartupLoader::openTable(const char* name, bool first) {
    if (!first) {
        // Every table after the first is opened on a fresh connection, as the original did.
        connection_.disconnect();
        wait(10);
        connection_.connect();
    }
    connection_.table().open(name);
}

void StartupLoader::writeList(const char* file, const std::vector<std::string>& names) {
    std::vector<std::string> lines;
    lines.reserve(names.size());
    for (const auto& n : names) {
        lines.push_back(listLine(n));
    }
    files::writeFileAtomic(files::resolve(workDir_, file), text::cp1251Text(lines));
}

void StartupLoader::loadSeries() {
    line("Этап №" + num(2) + ". Считывание серий поездов.");
    openTable("Series", true);
    db::Table& t = connection_.table();
    const std::int64_t n = t.recordCount();
    line("Всего серий:" + num(n));
    std::vector<std::string> names;
    for (std::int64_t i = 1; i <= n; ++i) {
        t.moveTo(i - 1);
        std::string name = t.text("Name");
        if (!catalogue_.setSeriesName(static_cast<int>(i), name)) {
            line("Серия №" + num(i) + " не загружена: список серий вмещает " + num(Catalogue::kSeriesCapacity) +
                 " записи");
            continue;
        }
        line("Серия №" + num(i) + " :" + name);
        names.push_back(std::move(name));
    }
    writeList("series.txt", names);
    line("ОК");
}

void StartupLoader::loadBogies() {
    line("Этап №" + num(3) + ". Считывание тележек.");
    openTable("Tel", false);
    db::Table& t = connection_.table();
    const std::int64_t n = t.recordCount();
    line("Всего тележек:" + num(n));
    std::vector<std::string> names;
    for (std::int64_t i = 1; i <= n; ++i) {
        t.moveTo(i - 1);
        std::string name = t.text("Names");
        if (!catalogue_.setBogieName(static_cast<int>(i), name)) {
            line("Тележка №" + num(i) + " не загружена: список тележек вмещает " + num(Catalogue::kBogieCapacity) +
                 " записи");
            continue;
        }
        line("Тележка №" + num(i) + " :" + name);
        names.push_back(std::move(name));
    }
    if (catalogue_.bogieCount() > Catalogue::kBindingBogieCapacity) {
        line("Тележкам с №" + num(Catalogue::kBindingBogieCapacity + 1) +
             " пружины не привязываются: привязка возможна для тележек 1.." + num(Catalogue::kBindingBogieCapacity));
    }
    writeList("chassis.txt", names);
    line("ОК");
}

void StartupLoader::loadSpringTypes() {
    line("Этап №" + num(4) + ". Считывание пружин.");
    openTable("ParamSpring", false);
    db::Table& t = connection_.table();
    const std::int64_t n = t.recordCount();
    line("Всего пружин:" + num(n));
    for (std::int64_t i = 1; i <= n; ++i) {
        if (i > Catalogue::kSpringCapacity) {
            line("Пружина №" + num(i) + " не загружена: таблица пружин вмещает " + num(Catalogue::kSpringCapacity) +
                 " записей");
            continue;
        }
        t.moveTo(i - 1);
        SpringTypeRow row;
        row.name = t.text("Name");
        row.Prutok = t.number("Prutok");
        row.Delta = t.number("Delta");
        row.PHS = t.number("PHS");
        row.PLS = t.number("PLS");
        row.PHU = t.number("PHU");
        row.PLU = t.number("PLU");
        row.Prost = t.number("Prost");
        row.Mode = t.integer("Mode");
        row.Mask1 = t.integer("Mask1");
        row.Mask2 = t.integer("Mask2");
        row.outerDiameter = t.number("Do") != 0.0;
        row.block[1] = readBlock(t, row.outerDiameter ? "Do" : "Di");
        for (int slot = 2; slot <= kSlotCount; ++slot) {
            row.block[static_cast<std::size_t>(slot)] = readBlock(t, kBlockPrefix[slot]);
        }
        // An empty multiplier reads as 0 and wipes out the measured value of its slot; that is
        // kept, but said in the log, since it is almost always a gap in the catalogue.
        std::string emptyMul;
        for (int slot = 1; slot <= kSlotCount; ++slot) {
            const std::string column =
                std::string(slot == 1 ? (row.outerDiameter ? "Do" : "Di") : kBlockPrefix[slot]) + "Mul";
            if (t.isNull(column)) {
                emptyMul += (emptyMul.empty() ? "" : ", ") + column;
            }
        }
        catalogue_.storeSpringType(static_cast<int>(i), row);
        const SpringType& s = catalogue_.springType(static_cast<int>(i));

        line(kRule35);
        line("Пружина № " + num(i));
        line("Название:" + s.name);
        line("Пруток:" + logReal(s.Prutok));
        line("Дельта:" + logReal(s.Delta));
        line("PHS:" + logReal(s.PHS));
        line("PLS:" + logReal(s.PLS));
        line("PHU:" + logReal(s.PHU));
        line("PLU:" + logReal(s.PLU));
        line("Проставка:" + logReal(s.Prost));
        line("Mode:" + num(row.Mode));
        line("Mask1:" + num(row.Mask1));
        line("Mask2:" + num(row.Mask2));
        for (int slot = 1; slot <= kSlotCount; ++slot) {
            const ParamBlock& b = s.block[static_cast<std::size_t>(slot)];
            const bool outer = slot == 1 && row.outerDiameter;
            if (slot == 1) {
                line((outer ? "Нар. диаметр:" : "Внутр. диаметр:") + logReal(b.nominal));
            } else {
                line(kBlockTitle[slot] + logReal(b.nominal));
            }
            line("kMul=" + logReal(b.Mul));
            line("kAdd=" + logReal(b.Add));
            line("kMidd=" + logReal(b.Midd));
            line("kRt=" + num(row.block[static_cast<std::size_t>(slot)].Rt));
            line((outer ? "Dmax=" : "max=") + logReal(b.Max));
            line((outer ? "Dmin=" : "min=") + logReal(b.Min));
        }
        if (!emptyMul.empty()) {
            line("Внимание: пружина №" + num(i) + ": не заданы множители " + emptyMul + " (читаются как 0)");
        }
    }
    line("ОК");
}

void StartupLoader::loadBindings() {
    openTable("RateSpring", false);
    db::Table& t = connection_.table();
    line("Привязка пружин к тележкам");
    catalogue_.clearBindings();
    const std::int64_t n = t.recordCount();
    for (std::int64_t i = 0; i < n; ++i) {
        t.moveTo(i);
        const std::int64_t s = t.integer("IDSpring");
        const std::int64_t b = t.integer("IDTel");
        const auto fits = [](std::int64_t v) { return v >= -1000000000 && v <= 1000000000; };
        const auto result = !fits(b)   ? Catalogue::BindResult::BadBogie
                            : !fits(s) ? Catalogue::BindResult::BadSpring
                                       : catalogue_.addBinding(static_cast<int>(s), static_cast<int>(b));
        if (result != Catalogue::BindResult::Added) {
            std::string why;
            switch (result) {
            case Catalogue::BindResult::BadBogie:
                why = "нет тележки с таким номером среди 1.." +
                      num(std::min(catalogue_.bogieCount(), Catalogue::kBindingBogieCapacity));
                break;
            case Catalogue::BindResult::BadSpring:
                why = "номер пружины вне 1.." + num(Catalogue::kSpringCapacity);
                break;
            default:
                why = "у тележки уже " + num(Catalogue::kBindingsPerBogie) + " пружин";
                break;
            }
            line("Привязка пружины №" + num(s) + " к тележке №" + num(b) + " отклонена: " + why);
            continue;
        }
        line("Пружина №" + num(s) + "(" + catalogue_.springType(static_cast<int>(s)).name + ") добавляется" +
             "к тележке Тележка №" + num(b) + "(" + catalogue_.bogieName(static_cast<int>(b)) + ")");
    }
    line("ОК");
}

void StartupLoader::loadSetTypes() {
    line("Этап №" + num(5) + ". Считывание комплектов.");
    openTable("ParamComp", false);
    db::Table& t = connection_.table();
    const std::int64_t n = t.recordCount();
    line("Всего комплектов:" + num(n));
    static const char* const kMin[] = {"", "1min", "2min", "3min", "4min", "5min"};
    static const char* const kMax[] = {"", "1max", "2max", "3max", "4max", "5max"};
    for (std::int64_t i = 1; i <= n; ++i) {
        if (i > Catalogue::kSetCapacity) {
            line("Комплект №" + num(i) + " не загружен: таблица комплектов вмещает " + num(Catalogue::kSetCapacity) +
                 " записи");
            continue;
        }
        t.moveTo(i - 1);
        SetTypeRow row;
        row.Name = t.text("Name");
        row.VpdMidt = t.number("VpdMidt");
        row.VpdAdd = t.number("VpdAdd");
        row.VpdMul = t.number("VpdMul");
        row.VpdPlus = t.number("Vpd+");
        row.VpdMinus = t.number("Vpd-");
        row.PHS = t.number("PHS");
        row.PHU = t.number("PHU");
        row.PLS = t.number("PLS");
        row.PLU = t.number("PLU");
        for (std::size_t g = 1; g <= 5; ++g) {
            row.gmin[g] = t.number(kMin[g]);
            row.gmax[g] = t.number(kMax[g]);
        }
        row.Type = t.integer("Type");
        row.NGR = t.integer("NGR");
        catalogue_.storeSetType(static_cast<int>(i), row);
        const _xKompl& k = catalogue_.setType(static_cast<int>(i));

        line(kRule35);
        line("Комплект № " + num(i));
        line("Название:" + k.Name);
        line("Высота под нагрузкой:" + logReal(k.HpodNagr));
        line("Коэф. \"+\" высоты под нагрузкой:" + logReal(k.HpodNagrAdd));
        line("Коэф. \"*\" высоты под нагрузкой:" + logReal(k.HpodNagrMul));
        line("Допуск макс. давления под нагрузкой:" + logReal(k.HpodNagrMax));
        line("Допуск мин. давления под нагрузкой:" + logReal(k.HpodNagrMin));
        line("PHS:" + logReal(k.PHS));
        line("PHU:" + logReal(k.PHU));
        line("PLS:" + logReal(k.PLS));
        line("PLU:" + logReal(k.PLU));
        line("1min:" + logReal(k.g1min));
        line("1max:" + logReal(k.g1max));
        line("2min:" + logReal(k.g2min));
        line("2max:" + logReal(k.g2max));
        line("3min:" + logReal(k.g3min));
        line("3max:" + logReal(k.g3max));
        line("Тип величины замера :" + num(k.Tip));
        line("Число групп в комплекте:" + num(k.Ngr));
        line("Дополнительные группы:");
        line("4min:" + logReal(k.g4min));
        line("4max:" + logReal(k.g4max));
        line("5min:" + logReal(k.g5min));
        line("5max:" + logReal(k.g5max));
        if (t.isNull("VpdMul")) {
            line("Внимание: комплект №" + num(i) + ": не задан множитель VpdMul (читается как 0)");
        }
        if (k.Tip > 2) {
            line("Комплект №" + num(i) + ": тип величины замера " + num(k.Tip) +
                 " не из 0..2, комплект обрабатывается как тип 0");
        }
    }
}

void StartupLoader::writeSetList() {
    std::vector<std::string> names;
    for (int i = 1; i <= catalogue_.setTypeCount(); ++i) {
        names.push_back(catalogue_.setType(i).Name);
    }
    writeList("Complects.txt", names);
}

void StartupLoader::logBindingSummary() {
    line(kRule48);
    for (int b = 1; b <= catalogue_.bogieCount(); ++b) {
        line("Тележка №" + num(b) + "(" + catalogue_.bogieName(b) + ")");
        for (const std::int32_t s : catalogue_.boundSpringTypes(b)) {
            line("Пружина №" + num(s) + "(" + catalogue_.springType(s).name + ")");
        }
    }
}

} // namespace veltron
