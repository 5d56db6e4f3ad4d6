#include "results/reports.h"

#include "results/report_layout.h"
#include "sequences/grading.h"

#include <QImage>

#include <system_error>

namespace veltron {

namespace {

constexpr Rgb kNavy{0, 0, 128};
constexpr const char* kPageFont = "Times New Roman";
constexpr const char* kProductName = "ВЕЛТРОН";

std::string dateTimeText(double days) {
    const text::DateTime t = fromDays(days);
    return text::shortDate(t) + " Время: " + text::longTime(t);
}

// Group rows a set type shows: 1 to 3 always, 4 and 5 when Ngr says so.
int shownGroups(const _xKompl& type) {
    return 3 + (type.Ngr > 3 ? 1 : 0) + (type.Ngr > 4 ? 1 : 0);
}

float groupMin(const _xKompl& t, int g) {
    const float v[] = {0.0F, t.g1min, t.g2min, t.g3min, t.g4min, t.g5min};
    return v[g];
}

float groupMax(const _xKompl& t, int g) {
    const float v[] = {0.0F, t.g1max, t.g2max, t.g3max, t.g4max, t.g5max};
    return v[g];
}

// The text, cut at the end with "…" where it would run past the width (the panels and the
// page have no room beyond their edge; catalogue names can be 64 characters long).
template <class Measure>
std::string fitWidth(const std::string& text, int width, const Measure& measure) {
    if (measure(text) <= width) {
        return text;
    }
    std::string cut = text;
    while (!cut.empty()) {
        // Drop one UTF-8 character.
        while (!cut.empty() && (static_cast<unsigned char>(cut.back()) & 0xC0U) == 0x80U) {
            cut.pop_back();
        }
        if (!cut.empty()) {
            cut.pop_back();
        }
        if (measure(cut + "…") <= width) {
            break;
        }
    }
    return cut + "…";
}

// Right edge of the texts inside the result page's frame, and of the sheet's texts.
constexpr int kPageTextRight = 928;
constexpr int kSheetTextRight = 3900;

// Clears the archive mode however the archive is left.
struct ArchiveModeGuard {
    bool& flag;
    explicit ArchiveModeGuard(bool& f) : flag(f) { flag = true; }
    ~ArchiveModeGuard() { flag = false; }
    ArchiveModeGuard(const ArchiveModeGuard&) = delete;
    ArchiveModeGuard& operator=(const ArchiveModeGuard&) = delete;
};

} // namespace

Reports::Reports(Screen& screen, Keypad& keypad, const Catalogue& catalogue, db::Connection& connection,
                 CurrentRecords& records, Clock clock)
    : screen_(screen), keypad_(keypad), catalogue_(catalogue), tables_(connection), records_(records),
      clock_(std::move(clock)) {}

// --- result pages ---

PrintTexts springPrintTexts(const _xZamer& r, const Catalogue& catalogue) {
    const SpringType& type = catalogue.springType(r.Nsping);
    PrintTexts t;
    t.name = r.Name;
    t.dateTime = dateTimeText(r.DataTime);
    t.bogie = catalogue.bogieName(r.Ch);
    t.springType = type.name;
    t.series = r.Se;
    t.train = r.Po;
    const bool inner = type.innerDiameter != 0;
    for (int i = 1; i <= kSlotCount; ++i) {
        const auto s = static_cast<std::size_t>(i);
        t.parameter[s] = slotName(i, inner);
        t.value[s] = numberText(r.List[s]);
        if (i == kSlotDeflection) {
            // The deflection row also shows the height under the test load.
            t.value[s] +=
                "(" +
                numberText(static_cast<double>(r.List[kSlotHeight]) - static_cast<double>(r.List[kSlotDeflection])) +
                ")";
        }
        t.verdict[s] = slotVerdict(parameterCheck(r, i, catalogue));
    }
    t.pass = springCheck(r, catalogue);
    return t;
}

void Reports::archiveCount() {
    if (!archiveMode_) {
        return;
    }
    Canvas& c = screen_.canvas();
    c.setFont(kPageFont, 14, kNavy, false);
    c.text(100, 555, "Всего замеров:" + std::to_string(archiveRows_) + "  ");
}

void Reports::drawSpringResultPage(const _xZamer& r) {
    Canvas& c = screen_.canvas();
    const SpringType& type = catalogue_.springType(r.Nsping);
    c.fillRect(420, 176, 935, 720, colors::green);
    c.fillRect(421, 177, 934, 719, colors::white);
    c.setFont(kPageFont, 14, colors::blue, true);
    c.text(440, 184, "Результат замера пружины : ");

    texts_ = springPrintTexts(r, catalogue_);

    c.setFont(kPageFont, 14, kNavy, false);
    c.text(440, 216,
           fitWidth("№ " + texts_.name, kPageTextRight - 440, [&c](const std::string& t) { return c.textWidth(t); }));
    const std::pair<const char*, const std::string*> header[] = {{"Дата замера:", &texts_.dateTime},
                                                                 {"Тележка:", &texts_.bogie},
                                                                 {"Пружина:", &texts_.springType},
                                                                 {"Серия:", &texts_.series},
                                                                 {"№ поезда:", &texts_.train}};
    int y = 238;
    const auto width = [&c](const std::string& t) { return c.textWidth(t); };
    for (const auto& [label, value] : header) {
        c.text(440, y, label);
        c.text(550, y, fitWidth(*value, kPageTextRight - 550, width));
        y += 22;
    }
    c.text(440, 358, "Данные замера:");

    for (int i = 1; i <= 8; ++i) {
        c.line(430, 358 + 22 * i, 925, 358 + 22 * i, colors::grey);
    }
    for (const int x : {430, 660, 775, 925}) {
        c.line(x, 380, x, 535, colors::grey);
    }
    for (int i = 1; i <= 7; ++i) {
        c.line(430, 544 + 22 * i, 925, 544 + 22 * i, colors::grey);
    }
    for (const int x : {430, 660, 775, 845, 925}) {
        c.line(x, 566, x, 698, colors::grey);
    }

    for (int i = 1; i <= kSlotCount; ++i) {
        const auto s = static_cast<std::size_t>(i);
        const bool pass = parameterCheck(r, i, catalogue_);
        const std::string& value = texts_.value[s];
        const int row = 358 + 22 * i;
        c.setFont(kPageFont, 14, kNavy, false);
        c.text(440, row, texts_.parameter[s]);
        c.setFont(kPageFont, 14, pass ? kNavy : colors::red, false);
        c.text(670, row, value);
        c.setFont(kPageFont, 14, pass ? colors::green : colors::red, false);
        c.text(790, row, texts_.verdict[s]);

        const ParamBlock& block = type.block[s];
        const int normRow = 544 + 22 * i;
        c.setFont(kPageFont, 14, kNavy, false);
        c.text(440, normRow, texts_.parameter[s]);
        c.text(670, normRow, numberText(block.Min));
        c.text(790, normRow, numberText(block.Max));
        c.setFont(kPageFont, 14, pass ? kNavy : colors::red, false);
        c.text(860, normRow, numberText(parameterDeviation(r, i, catalogue_)));
    }
    c.setFont(kPageFont, 14, kNavy, false);
    c.text(440, 512, "Толщина прутка");
    c.text(670, 512, numberText(type.Prutok));

    screen_.picture(texts_.pass ? "allok.bmp" : "noallok.bmp", 120, 630);
    archiveCount();
    screen_.refresh();
}

void Reports::drawSetResultPage(const _xKZamer& r) {
    Canvas& c = screen_.canvas();
    const _xKompl& type = catalogue_.setType(r.Nkompl);
    const int group = setGroup(r, type);
    const Rgb valueColor = group == 0 ? colors::red : kNavy;

    c.fillRect(420, 176, 935, 720, colors::green);
    c.fillRect(421, 177, 934, 719, colors::white);
    c.setFont(kPageFont, 14, colors::blue, true);
    c.text(440, 184, "Результат замера комплекта : ");

    c.setFont(kPageFont, 14, kNavy, false);
    c.text(440, 216,
           fitWidth("№ " + r.Name, kPageTextRight - 440, [&c](const std::string& t) { return c.textWidth(t); }));
    const std::pair<const char*, std::string> header[] = {{"Дата замера:", dateTimeText(r.DataTime)},
                                                          {"Тележка:", catalogue_.bogieName(r.Ch)},
                                                          {"Комплект:", type.Name},
                                                          {"Серия:", r.Se},
                                                          {"№ поезда:", r.Po}};
    int y = 238;
    const auto width = [&c](const std::string& t) { return c.textWidth(t); };
    for (const auto& [label, value] : header) {
        c.text(440, y, label);
        c.text(550, y, fitWidth(value, kPageTextRight - 550, width));
        y += 22;
    }
    c.text(440, 358, "Данные замера:");
    c.text(440, 468, "Разбивка по группам (" + groupTableLabel(type) + "):");

    const std::pair<const char*, double> values[] = {{"Высота под давлением", heightUnderLoadShown(r, type)},
                                                     {"Стрела прогиба", deflectionShown(r, type)}};
    y = 380;
    for (const auto& [label, value] : values) {
        c.setFont(kPageFont, 14, kNavy, false);
        c.text(440, y, label);
        c.setFont(kPageFont, 14, valueColor, false);
        c.text(670, y, numberText(value));
        if (group == 0) {
            c.text(790, y, slotVerdict(false));
        }
        y += 22;
    }
    c.setFont(kPageFont, 14, kNavy, false);
    c.text(440, 424, "Давление испытания");
    c.text(670, 424, numberText(type.PLS));

    c.text(440, 490, "Группа");
    c.text(670, 490, "Минимум");
    c.text(790, 490, "Максимум");
    const int groups = shownGroups(type);
    for (int g = 1; g <= groups; ++g) {
        const int row = 490 + 22 * g;
        c.text(440, row, "№ " + std::to_string(g));
        c.text(670, row, numberText(groupMin(type, g)));
        c.text(790, row, numberText(groupMax(type, g)));
    }

    if (group == 0) {
        c.setFont("Impact", 18, colors::red, false);
        c.text(440, 644, "Группа комплекта:" + groupText(0));
        c.text(440, 676, "Комплект забракован");
    } else {
        c.setFont("Impact", 18, colors::green, false);
        c.text(440, 644, "Группа комплекта:" + groupText(group));
    }

    for (const int ly : {380, 402, 424, 446}) {
        c.line(430, ly, 925, ly, colors::grey);
    }
    for (const int x : {430, 660, 775, 925}) {
        c.line(x, 380, x, 447, colors::grey);
    }
    // One line above the header, one below it and one below each shown row; a catalogue
    // Ngr outside 3..5 cannot draw the table past its rows.
    for (int i = 1; i <= groups + 2; ++i) {
        c.line(430, 469 + 22 * i, 925, 469 + 22 * i, colors::grey);
    }
    for (const int x : {430, 660, 775, 925}) {
        c.line(x, 491, x, 514 + 22 * groups, colors::grey);
    }

    records_.printCopy = r;
    archiveCount();
    screen_.refresh();
}

// --- sheets ---

Sheet Reports::beginPage() const {
    const Settings& s = screen_.settings();
    Sheet sheet;
    sheet.setFont("Impact", 72);
    sheet.centredLines(160, std::string("Автоматизированная система  испытания\n") +
                                "рессорных пружин электропоездов \"" + kProductName + "\"");
    sheet.setFont(kPageFont, 96);
    sheet.centredLines(560, s.Depo1Name + "  " + s.DepoName);
    sheet.centredLines(680, "Заводской номер системы: " + s.DeviceId);
    return sheet;
}

void Reports::endPageFooter(Sheet& sheet) const {
    sheet.setFont(kPageFont, 72);
    sheet.leftLines(280, 5000,
                    "Дата печати: " + text::shortDate(clock_()) +
                        "\n \n \nОтветственный:     ____________________________");
}

Sheet Reports::springSheet() const {
    Sheet sheet = beginPage();
    sheet.setFont(kPageFont, 72);
    const PrintTexts& t = texts_;
    const std::pair<int, std::string> header[] = {{964, "№ " + t.name},           {1128, "Дата замера: " + t.dateTime},
                                                  {1292, "Тележка: " + t.bogie},  {1456, "Пружина: " + t.springType},
                                                  {1620, "№ поезда: " + t.train}, {1784, "№ серии: " + t.series}};
    const auto width = [&sheet](const std::string& t) { return sheet.textWidth(t); };
    for (const auto& [y, line] : header) {
        sheet.text(1960, y, fitWidth(line, kSheetTextRight - 1960, width));
    }
    QImage spring;
    const std::filesystem::path picture = screen_.paths().bmp("bigspring.bmp");
    if (!spring.load(QString::fromStdString(picture.string()))) {
        // The picture only decorates the sheet; it is left out like every missing picture.
        screen_.log().write("Нет рисунка " + picture.string());
    }
    sheet.picture(560, 920, spring);
    sheet.centredLines(2112, "Таблица параметров замера:");

    sheet.setBold(true);
    sheet.text(570, 2400, "№");
    sheet.text(850, 2400, "Параметр");
    sheet.text(2140, 2400, "Значение");
    sheet.text(2860, 2400, "Заключение");
    sheet.setBold(false);
    for (int r = 1; r <= kSlotCount; ++r) {
        const auto s = static_cast<std::size_t>(r);
        const int y = 164 * r + 2400;
        sheet.text(570, y, std::to_string(r));
        sheet.text(850, y, t.parameter[s]);
        sheet.text(2140, y, t.value[s]);
        sheet.text(2860, y, t.verdict[s]);
    }
    for (int r = 0; r <= 7; ++r) {
        sheet.line(460, 164 * r + 2369, 3600, 164 * r + 2369);
    }
    for (const int x : {460, 750, 2050, 2750, 3600}) {
        sheet.line(x, 2369, x, 3517);
    }
    sheet.setFont(kPageFont, 88);
    sheet.centredLines(3712, "Результат замера: " + springVerdict(t.pass));
    endPageFooter(sheet);
    return sheet;
}

Sheet Reports::setSheet() const {
    const _xKZamer& r = records_.printCopy;
    const _xKompl& type = catalogue_.setType(r.Nkompl);
    const int group = setGroup(r, type);
    const text::DateTime when = fromDays(r.DataTime);

    Sheet sheet = beginPage();
    sheet.setFont(kPageFont, 96, true);
    sheet.text(460, 1000, fitWidth("Комплект № " + r.Name, kSheetTextRight - 460, [&sheet](const std::string& t) {
                   return sheet.textWidth(t);
               }));
    sheet.setBold(false);
    const std::pair<int, std::string> header[] = {{1200, "Дата замера комплекта: " + text::shortDate(when)},
                                                  {1400, "Время комплекта: " + text::longTime(when)},
                                                  {1600, "Тележка: " + catalogue_.bogieName(r.Ch)},
                                                  {1800, "Комплект:" + type.Name},
                                                  {2000, "№ поезда: " + r.Po},
                                                  {2200, "№ серии: " + r.Se},
                                                  {2400, "Группа комплекта:" + groupText(group)}};
    const auto width = [&sheet](const std::string& t) { return sheet.textWidth(t); };
    for (const auto& [y, line] : header) {
        sheet.text(460, y, fitWidth(line, kSheetTextRight - 460, width));
    }
    sheet.setBold(true);
    sheet.leftLines(460, 2600, "Параметры комплекта:");
    sheet.setBold(false);
    sheet.leftLines(460, 2800, "Высота под давлением:" + numberText(heightUnderLoadShown(r, type)));
    sheet.leftLines(460, 3000, "Стрела прогиба:" + numberText(deflectionShown(r, type)));
    sheet.leftLines(460, 3200, "Давление испытания:" + numberText(type.PLS));
    sheet.leftLines(460, 3400, "Разбивка по группам (" + groupTableLabel(type) + "):");
    sheet.text(460, 3600, "№ группы");
    sheet.text(1810, 3600, "Минимум");
    sheet.text(3050, 3600, "Максимум");
    const int groups = shownGroups(type);
    for (int g = 1; g <= groups; ++g) {
        const int y = 3600 + 200 * g;
        sheet.text(460, y, "Группа " + std::to_string(g));
        sheet.text(1960, y, numberText(groupMin(type, g)));
        sheet.text(3200, y, numberText(groupMax(type, g)));
    }
    if (group == 0) {
        // Below the last possible group row and above the footer.
        sheet.setBold(true);
        sheet.text(460, 4800, "Комплект забракован");
        sheet.setBold(false);
    }
    endPageFooter(sheet);
    return sheet;
}

bool Reports::printSpringSheet() {
    return deliver(springSheet(), texts_.name);
}

bool Reports::printSetSheet() {
    return deliver(setSheet(), records_.printCopy.Name);
}

bool Reports::printSpringSheet(const _xZamer& record) {
    texts_ = springPrintTexts(record, catalogue_);
    return printSpringSheet();
}

bool Reports::printSetSheet(const _xKZamer& record) {
    records_.printCopy = record;
    return printSetSheet();
}

bool Reports::deliver(const Sheet& sheet, const std::string& name) {
    if (!output_.pdfFolder.empty()) {
        const std::filesystem::path file = pdfCopyFile(output_.pdfFolder, name);
        try {
            writeSheetPdf(sheet, file, name);
        } catch (const std::exception& e) {
            screen_.log().write(std::string("Копия листа в PDF не записана: ") + e.what());
            screen_.console().problem(std::string("Копия листа в PDF не записана: ") + e.what());
        }
    }
    bool ok = true;
    std::string error;
    try {
        if (screen_.settings().Print_in_file) {
            const std::filesystem::path file = screen_.paths().work("Temp\\printpage.bmp");
            std::error_code ec;
            std::filesystem::create_directories(file.parent_path(), ec);
            saveSheetBitmap(sheet, file);
            if (!output_.openFile || !output_.openFile(file)) {
                throw PrintError("не удалось открыть " + file.string());
            }
        } else {
            if (!output_.printer) {
                throw PrintError("принтер не подключён к программе");
            }
            output_.printer->print(sheet, name);
        }
    } catch (const std::exception& e) {
        ok = false;
        error = e.what();
        screen_.log().write("Ошибка печати " + name + ": " + error);
        screen_.console().problem("Ошибка печати " + name + ": " + error);
    }
    confirmation(ok, error);
    return ok;
}

void Reports::confirmation(bool ok, const std::string& error) {
    screen_.push();
    screen_.stripes();
    screen_.banner("Печать документа", 200, 18);
    if (!ok) {
        Canvas& c = screen_.canvas();
        screen_.framedPanel(60, 300, 920, 440);
        c.setFont("Impact", 24, colors::red, false);
        c.text(90, 320, "Ошибка печати");
        c.setFont(kPageFont, 14, colors::black, false);
        c.text(90, 370, cutToCharacters(error, 90));
        c.text(90, 400, "Проверьте принтер и повторите печать.");
    }
    keypad_.allDead();
    keypad_.setLive(11, true);
    keypad_.drawKeypad();
    if (ok) {
        keypad_.caption("Печать", "завершена", 11);
    } else {
        keypad_.caption("Ошибка", "печати", 11);
    }
    screen_.refresh();
    while (keypad_.waitForLiveKey() != 11) {
    }
    screen_.pop();
}

// --- archives ---

void Reports::springArchive() {
    archive(false);
}

void Reports::setArchive() {
    archive(true);
}

void Reports::markLine(int line, bool on) {
    const int y = 175 + 23 * line;
    if (on) {
        screen_.canvas().replaceColor(106, y, 360, y + 22, colors::white, colors::aqua);
    } else {
        screen_.canvas().replaceColor(106, y, 360, y + 22, colors::aqua, colors::white);
    }
}

void Reports::drawArchivePage(bool sets, std::int64_t row) {
    Canvas& c = screen_.canvas();
    c.fillRect(84, 176, 400, 544, colors::green);
    c.fillRect(85, 177, 399, 543, colors::white);
    c.fillRect(84, 551, 400, 583, colors::green);
    c.fillRect(85, 552, 399, 582, colors::white);

    if (archiveRows_ > 0) {
        const std::int64_t first = archivePage(row) * kArchivePageRows;
        _xZamer spring;
        _xKZamer set;
        for (int line = 1; line <= kArchivePageRows; ++line) {
            const std::int64_t r = first + line - 1;
            if (r >= archiveRows_) {
                break;
            }
            std::string name;
            if (sets) {
                tables_.readSetRow(r, set);
                name = set.Name;
            } else {
                tables_.readSpringRow(r, spring);
                name = spring.Name;
            }
            c.setFont("Courier", 18, colors::black, false);
            c.text(120, 177 + 23 * line, name);
        }
        if (sets) {
            tables_.readSetRow(row, records_.set);
            drawSetResultPage(records_.set);
        } else {
            tables_.readSpringRow(row, records_.spring);
            drawSpringResultPage(records_.spring);
        }
    } else {
        // An empty table: no result page, only the count.
        archiveCount();
    }

    c.fillRect(372, 182, 396, 538, colors::grey);
    c.fillRect(373, 183, 395, 537, colors::white);
    const ArchiveThumb thumb = archiveThumb(archiveRows_, row);
    if (thumb.shown) {
        c.fillRect(375, thumb.y1, 393, thumb.y2, colors::green);
    }
}

void Reports::archive(bool sets) {
    const Settings& settings = screen_.settings();
    screen_.log().write(sets ? "Переход в меню базы данных комплектов." : "Переход в меню базы данных.");
    screen_.push();
    tables_.openTable(sets ? "measComplects" : "measReading");
    screen_.fillScreen(colors::silver);
    if (sets) {
        screen_.banner("Работа с архивом комплектов", 100, 18);
    } else {
        screen_.banner("Работа с архивом", 210, 18);
    }
    screen_.framedPanel(60, 125, 960, 756);

    archiveRows_ = tables_.rowCount();
    std::int64_t row = archiveRows_ - 1;
    const bool editor = sets && settings.KdbEditor;

    keypad_.allDead();
    keypad_.setLive(12, true);
    if (archiveRows_ > 0) {
        for (const int k : {1, 2, 7, 8, 10}) {
            keypad_.setLive(k, true);
        }
        if (editor) {
            keypad_.setLive(3, true);
            keypad_.setLive(9, true);
        }
    }
    keypad_.drawKeypad();
    keypad_.caption("Возврат", "", 12);
    if (archiveRows_ > 0) {
        keypad_.caption("", "Вниз", 1);
        keypad_.caption("Страница", "вниз", 2);
        keypad_.caption("Вверх", "", 7);
        keypad_.caption("Страница", "вверх", 8);
        keypad_.caption("Печать", sets ? "комплекта" : "замера", 10);
        if (editor) {
            keypad_.caption("-", "0.1", 3);
            keypad_.caption("+", "0.1", 9);
        }
    }

    {
        ArchiveModeGuard mode(archiveMode_);
        drawArchivePage(sets, row);
        if (archiveRows_ > 0) {
            markLine(archiveCursorLine(row), true);
        }
        screen_.refresh();

        for (;;) {
            const int key = keypad_.waitForLiveKey();
            if (key == 12) {
                break;
            }
            std::int64_t next = row;
            if (key == 10) {
                const bool printed = sets ? printSetSheet() : printSpringSheet();
                if (printed) {
                    const std::string& name = sets ? records_.printCopy.Name : texts_.name;
                    screen_.log().write((sets ? "Распечатан замер комплекта:" : "Распечатан замер:") + name);
                }
                continue;
            }
            if (editor && (key == 3 || key == 9)) {
                tables_.readSetRow(row, records_.set);
                const double step = key == 9 ? 0.1 : -0.1;
                records_.set.List = static_cast<float>(static_cast<double>(records_.set.List) + step);
                tables_.updateStoredSetValue(records_.set.List);
                screen_.log().write("Исправлен замер комплекта:" + records_.set.Name +
                                    " Vpd=" + numberText(records_.set.List));
                markLine(archiveCursorLine(row), false);
                drawArchivePage(sets, row);
                markLine(archiveCursorLine(row), true);
                screen_.refresh();
                continue;
            }
            next = archiveStep(key, archiveRows_, row);
            if (next != row) {
                markLine(archiveCursorLine(row), false);
                row = next;
                drawArchivePage(sets, row);
                markLine(archiveCursorLine(row), true);
                screen_.refresh();
            }
        }
    }

    screen_.pop();
    if (onArchiveExit_) {
        onArchiveExit_();
    }
    keypad_.resetLastKey();
}

} // namespace veltron
