#include "sequences/sequences.h"

#include "platform/files.h"
#include "platform/text.h"
#include "results/result_tables.h"
#include "sequences/grading.h"

#include <cmath>
#include <exception>

namespace veltron {
namespace {

constexpr Rgb kNearWhite{245, 245, 245};
constexpr Rgb kPurple{128, 0, 128};
constexpr Rgb kNavy{0, 0, 128};

// The pictures' indicator rows: box i's outer frame starts at x = 110i + x0.
constexpr int kMeasureBoxX0 = 148; // measurement screen and rig initialisation
constexpr int kMeasureBoxY0 = 420;
constexpr int kCheckBoxX0 = -33; // system check
constexpr int kCheckBoxY0 = 525;

// A name as one line of a list file: line breaks and other control characters would split
// it and shift the numbering of every later line.
std::string oneLine(std::string s) {
    for (char& c : s) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            c = ' ';
        }
    }
    return s;
}

// Marks the rig layer busy for the length of a sequence, so background sensor polls keep out
// of its commands.
class RunningGuard {
public:
    // depth counts the sequences running inside each other (a measurement runs the rig
    // initialisation); only the outermost one switches the flag.
    RunningGuard(RigCommands* rig, bool emulating, int& depth) : rig_(emulating ? nullptr : rig), depth_(depth) {
        if (depth_++ == 0 && rig_ != nullptr) {
            rig_->setSequenceRunning(true);
        }
    }
    ~RunningGuard() {
        if (--depth_ == 0 && rig_ != nullptr) {
            rig_->setSequenceRunning(false);
        }
    }
    RunningGuard(const RunningGuard&) = delete;
    RunningGuard& operator=(const RunningGuard&) = delete;

private:
    RigCommands* rig_;
    int& depth_;
};

} // namespace

bool rigGeometryComplete(const SpringType& type, const GeometryReading& g, const Settings& settings) {
    const auto fromRig = [&type](int slot) { return (type.Mask1 & (1U << (slot - 1))) == 0; };
    if (fromRig(kSlotDiameter) && !settings.Demu && !g.diameter) {
        return false;
    }
    if (fromRig(kSlotPitchDifference) && !settings.RSemu && !g.pitchSpread) {
        return false;
    }
    return !(fromRig(kSlotNonPerpendicularity) && !g.nonPerpendicularity);
}

int systemCheckFaultCode(const LinkFlags& flags) {
    const int answering = int(flags.mainController) + int(flags.camera[1]) + int(flags.camera[2]) +
                          int(flags.camera[3]) + int(flags.camera[4]) + int(flags.loadCell) + int(flags.drive) +
                          int(flags.secondController);
    if (answering == 0) {
        return 9;
    }
    // The load cell is read through the main controller's ADC, so a silent main controller
    // always fails the load cell's check too. Its flag then says nothing about the cell;
    // counting it would turn every fault of the main controller into "more than one device".
    LinkFlags f = flags;
    if (!f.mainController) {
        f.loadCell = true;
    }
    const bool cams = f.camera[1] && f.camera[2] && f.camera[3] && f.camera[4];
    const bool noCams = !f.camera[1] && !f.camera[2] && !f.camera[3] && !f.camera[4];
    const int count = int(f.mainController) + int(f.camera[1]) + int(f.camera[2]) + int(f.camera[3]) +
                      int(f.camera[4]) + int(f.loadCell) + int(f.drive) + int(f.secondController);
    if (count == 8) {
        return 0;
    }
    if (f.secondController && f.drive && f.loadCell && !f.mainController && noCams) {
        return 10;
    }
    if (f.drive && f.loadCell && cams && !f.mainController && !f.secondController) {
        return 26;
    }
    if (count != 7) {
        return 13;
    }
    if (!f.mainController) {
        return 2;
    }
    for (int c = 1; c <= 4; ++c) {
        if (!f.camera[c]) {
            return 2 + c;
        }
    }
    if (!f.loadCell) {
        return 7;
    }
    if (!f.drive) {
        return 8;
    }
    return 25;
}

std::vector<int> matchingSpringTypes(const Catalogue& catalogue, const std::vector<std::int32_t>& bound, double d,
                                     double h, const Settings& settings) {
    std::vector<int> found;
    for (const std::int32_t n : bound) {
        const SpringType& t = catalogue.springType(n);
        double dMin = t.block[kSlotDiameter].Min;
        double dMax = t.block[kSlotDiameter].Max;
        if (t.innerDiameter != 0) {
            dMin += 2.0 * t.Prutok;
            dMax += 2.0 * t.Prutok;
        }
        const double hMin = t.block[kSlotHeight].Min;
        const double hMax = t.block[kSlotHeight].Max;
        if (dMin - settings.naminus <= d && d <= dMax + settings.naplus && hMin - settings.naminus <= h &&
            h <= hMax + settings.naplus) {
            found.push_back(n);
        }
    }
    return found;
}

Sequences::Sequences(SequenceContext context, SequenceHooks hooks) : ctx_(context), hooks_(std::move(hooks)) {}

RigCommands& Sequences::rig() {
    if (ctx_.rig == nullptr) {
        // No command layer is plugged in: the rig cannot be driven, so say so instead of
        // pretending it moved.
        throw std::runtime_error("Команды стенда не подключены (режим эмуляции выключен)");
    }
    return *ctx_.rig;
}

void Sequences::sleep(int ms) {
    const long long scaled = static_cast<long long>(ms) * pauseScale_ / 100;
    if (scaled > 0) {
        ctx_.screen.host().sleepMs(static_cast<int>(scaled));
    }
}

void Sequences::pumpAndSleep(int ms) {
    ctx_.screen.refresh();
    ctx_.screen.host().processEvents();
    sleep(ms);
}

void Sequences::emulationPause(int ms) {
    if (emulating()) {
        pumpAndSleep(ms);
    }
}

void Sequences::shortWait() {
    markIndicator(4);
    pumpAndSleep(300);
}

void Sequences::progress(bool on) {
    if (!emulating() && ctx_.rig != nullptr) {
        ctx_.rig->setProgressDisplay(on);
    }
}

void Sequences::commandStep(void (RigCommands::*command)(), int faultCode) {
    RigCommands& r = rig();
    (r.*command)();
    if (r.motionTimedOut()) {
        ctx_.faults.faultScreen(faultCode);
    }
}

void Sequences::plainConsole(const std::string& text) {
    ctx_.screen.console().line(text);
}

void Sequences::console(const std::string& text) {
    ctx_.screen.console().stamped(text);
}

void Sequences::logLine(const std::string& text) {
    ctx_.screen.log().write(text);
}

void Sequences::newShiftCheck() {
    ctx_.state.newShiftCheck(ctx_.clock(), ctx_.screen.log());
}

void Sequences::showStatus() {
    if (hooks_.showStatus) {
        hooks_.showStatus();
    }
}

// --- indicator boxes and the measurement screen ---

void Sequences::drawBoxes(int count, int x0, int y0, const std::vector<std::pair<int, std::string>>& labels,
                          int labelY) {
    Canvas& c = ctx_.screen.canvas();
    for (int i = 1; i <= count; ++i) {
        const int x1 = 110 * i + x0;
        c.fillRect(x1, y0, x1 + 60, y0 + 60, colors::blue);
        c.fillRect(x1 + 2, y0 + 2, x1 + 58, y0 + 58, colors::white);
        c.fillRect(x1 + 4, y0 + 4, x1 + 56, y0 + 56, colors::silver);
    }
    c.setFont("Times New Roman", 12, colors::blue, true);
    for (const auto& [x, text] : labels) {
        c.text(x, labelY, text);
    }
}

void Sequences::markBox(int x0, int y0, int i, Rgb color, int ms) {
    const int x1 = 110 * i + x0;
    ctx_.screen.canvas().fillRect(x1 + 4, y0 + 4, x1 + 56, y0 + 56, color);
    pumpAndSleep(ms);
}

void Sequences::drawMeasurementScreen(const std::string& title, int titleX, const std::string& picture) {
    Screen& s = ctx_.screen;
    s.stripes();
    s.banner(title, titleX, 18);
    s.framedPanel(158, 225, 861, 594);
    s.fillRect(159, 226, 860, 593, kNearWhite);
    s.picture(picture, 340, 260);
    drawBoxes(5, kMeasureBoxX0, kMeasureBoxY0,
              {{250, "Центратор"}, {368, "Каретка"}, {465, "Измеритель"}, {588, "Камеры"}, {706, "Пресс"}}, 396);
    ctx_.keypad.allDead();
    ctx_.keypad.drawKeypad();
    s.refresh();
}

void Sequences::markIndicator(int i) {
    markBox(kMeasureBoxX0, kMeasureBoxY0, i, kPurple, 100);
}

void Sequences::status(const std::string& text) {
    Canvas& c = ctx_.screen.canvas();
    c.fillRect(159, 530, 860, 593, kNearWhite);
    c.setFont("Times New Roman", 24, colors::blue, true);
    c.text(170, 540, text);
    ctx_.screen.refresh();
}

// --- system check, rig initialisation, warm-up ---

void Sequences::systemCheck() {
    const RunningGuard running(ctx_.rig, emulating(), runningDepth_);
    Screen& s = ctx_.screen;
    s.push();
    s.fillScreen(colors::silver);
    s.banner("Идет проверка системы", 160, 18);
    console("Начата проверка системы");
    s.framedPanel(60, 125, 920, 594);
    s.picture("lupa.bmp", 120, 140);
    drawBoxes(8, kCheckBoxX0, kCheckBoxY0,
              {{62, "Контроллер 1"},
               {206, "ЦК"},
               {293, "Камера 1"},
               {403, "Камера 2"},
               {513, "Камера 3"},
               {623, "Камера 4"},
               {720, "Тензодатчик"},
               {859, "ЧРП"}},
              500);
    ctx_.keypad.allDead();
    ctx_.keypad.drawKeypad();
    const auto mark = [&](int box, bool answers) {
        markBox(kCheckBoxX0, kCheckBoxY0, box, answers ? colors::green : colors::red, answers ? 100 : 500);
    };
    if (emulating()) {
        for (int i = 1; i <= 8; ++i) {
            mark(i, true);
        }
    } else {
        RigCommands& r = rig();
        mark(1, r.checkSecondController());
        const LinkFlags f = r.linkCheck();
        mark(2, f.mainController);
        for (int c = 1; c <= 4; ++c) {
            mark(2 + c, f.camera[c]);
        }
        mark(7, f.loadCell);
        mark(8, f.drive);
        const int code = systemCheckFaultCode(f);
        if (code != 0) {
            ctx_.faults.faultScreen(code);
        }
    }
    console("Закончена проверка системы");
    sleep(100);
    s.pop();
}

void Sequences::rigInit() {
    const RunningGuard running(ctx_.rig, emulating(), runningDepth_);
    Screen& s = ctx_.screen;
    s.push();
    s.stripes();
    progress(true);
    s.banner("Идет инициализация системы", 100, 18);
    s.framedPanel(158, 225, 861, 494);
    s.picture("init.bmp", 340, 260);
    drawBoxes(5, kMeasureBoxX0, kMeasureBoxY0,
              {{267, "Пресс"}, {353, "Измеритель"}, {476, "Каретка"}, {576, "Центратор"}, {698, "Камеры"}}, 396);
    ctx_.keypad.allDead();
    ctx_.keypad.drawKeypad();
    const auto mark = [&](int box) { markBox(kMeasureBoxX0, kMeasureBoxY0, box, kNavy, 100); };
    if (emulating()) {
        for (int i = 1; i <= 5; ++i) {
            mark(i);
        }
    } else {
        RigCommands& r = rig();
        r.clearAutoHydraulics();
        if (ctx_.settings.Ardu && hooks_.stepEvent) {
            hooks_.stepEvent("0");
            sleep(2000);
        }
        r.hydraulicsOn();
        commandStep(&RigCommands::pressUpToEnd, 15);
        mark(1);
        commandStep(&RigCommands::geometryUpToEnd, 16);
        mark(2);
        commandStep(&RigCommands::carriageLeftToEnd, 17);
        mark(3);
        commandStep(&RigCommands::centringCloseAndWait, 18);
        mark(4);
        r.hydraulicsOff();
        mark(5);
    }
    logLine("Проведена инициализация");
    console("Проведена инициализация");
    sleep(100);
    s.pop();
    s.framedPanel(990, 114, 1349, 166);
    s.canvas().setFont("Impact", 22, colors::hotLight, false);
    s.shadowedText(1015, 120, "Система готова к работе", 1, 1, colors::silver);
    s.refresh();
    progress(false);
}

void Sequences::warmUp() {
    const RunningGuard running(ctx_.rig, emulating(), runningDepth_);
    Screen& s = ctx_.screen;
    s.push();
    s.stripes();
    s.banner("Идет прогрев системы", 120, 18);
    ctx_.keypad.allDead();
    ctx_.keypad.setLive(10, true);
    ctx_.keypad.drawKeypad();
    ctx_.keypad.caption("Завершить", "прогрев", 10);
    s.framedPanel(120, 240, 900, 320);
    s.canvas().setFont("Courier New", 32, colors::green, true);
    s.canvas().text(150, 255, "Прогрев системы начат в " + text::longTime(ctx_.clock()));
    s.refresh();
    if (!emulating()) {
        rig().hydraulicsOn();
    }
    while (ctx_.keypad.poll() != 10) {
    }
    if (!emulating()) {
        rig().hydraulicsOff();
    }
    s.pop();
}

// --- press cycle ---

void Sequences::raisePress() {
    if (emulating()) {
        return;
    }
    progress(false);
    if (ctx_.settings.Ardu && hooks_.stepEvent) {
        hooks_.stepEvent("9");
        sleep(500);
    }
    commandStep(&RigCommands::pressUpToEnd, 27);
    rig().pressUpJog();
    sleep(ctx_.settings.ZamDopPr);
    rig().pressStop();
}

void Sequences::pressCycle(const PressParameters& p) {
    counts_ = PressCounts{};
    status("Подъем пресса пресса");
    if (!p.springName.empty()) {
        Canvas& c = ctx_.screen.canvas();
        c.setFont("Times New Roman", 24, colors::blue, true);
        c.text(170, 490, "Пружина:" + p.springName);
    }
    raisePress();
    markIndicator(5);
    pumpAndSleep(100);
    emulationPause(300);

    status(p.contact1);
    emulationPause(300);
    if (!emulating()) {
        progress(true);
        commandStep(&RigCommands::pressDownToContact, 28);
        rig().pressDownJog();
        sleep(ctx_.settings.ZamDopPr);
        rig().pressStop();
        shortWait();
    }

    status(p.contact2);
    emulationPause(300);
    if (!emulating()) {
        progress(true);
        commandStep(&RigCommands::pressLiftOff, 29);
        counts_.liftOffBefore = rig().readPressHeight();
        if (!counts_.liftOffBefore) {
            throw MeasurementAborted("Замер прерван, недостоверное показание высоты пресса");
        }
        shortWait();
    }
    markIndicator(4);
    pumpAndSleep(1000);

    for (int k = 1; k <= 4; ++k) {
        const float shown = k < 4 ? p.PHS : p.PLS;
        const float commanded = k < 4 ? p.PHU : p.PLU;
        status(p.loadPrefix + std::to_string(k) + ":" + text::formatThousands(shown, 1) + "кг.");
        if (!emulating()) {
            // The target is the commanded force times the caller's multiplier, truncated
            // toward zero; a value that has no integer (not finite, out of range) or is
            // negative is no force the press can be sent to.
            const std::optional<std::int32_t> target =
                text::checkedTrunc(static_cast<double>(commanded) * static_cast<double>(p.multiplier));
            if (!target || *target < 0 || !rig().pressDownToForce(*target)) {
                throw MeasurementAborted("Замер прерван, усилие нагрузки не может быть задано");
            }
            const std::optional<std::int32_t> force = rig().readForceResult();
            if (k == 4) {
                counts_.forceAtFourthLoad = force;
                if (!force) {
                    throw MeasurementAborted("Замер прерван, недостоверное показание высоты пресса");
                }
            }
            shortWait();
            progress(true);
            commandStep(&RigCommands::pressLiftOff, 29);
            const std::optional<std::int32_t> height = rig().readPressHeight();
            if (k == 4) {
                counts_.liftOffAfter = height;
                if (!height) {
                    throw MeasurementAborted("Замер прерван, недостоверное показание высоты пресса");
                }
            }
            shortWait();
        }
        emulationPause(300);
    }

    status("Подъем пресса");
    raisePress();
    emulationPause(300);
    if (p.setMeasurement) {
        progress(false);
    }
    status("");
    markIndicator(5);
    emulationPause(p.lastPause);
    if (!emulating()) {
        rig().hydraulicsOff();
    }
}

// --- common run pieces ---

bool Sequences::refusedOnRig() {
    if (emulating() || ctx_.settings.cLir1 != ctx_.settings.cLir2) {
        return false;
    }
    // Without two distinct calibration points the press height conversion divides by zero
    // and every stored height would be undefined; nothing moves.
    const std::string line = "Замер невозможен: не заданы точки калибровки высоты пресса (сLir1 = сLir2)";
    logLine(line);
    Screen& s = ctx_.screen;
    s.push();
    s.stripes();
    s.banner("Внимание!", 320, 18);
    s.framedPanel(60, 300, 920, 420);
    s.canvas().setFont("Impact", 20, colors::black, false);
    s.canvas().text(80, 320, "Замер невозможен: не заданы точки калибровки");
    s.canvas().text(80, 360, "высоты пресса (сLir1 = сLir2, раздел [Mathem]).");
    ctx_.keypad.allDead();
    ctx_.keypad.setLive(12, true);
    ctx_.keypad.drawKeypad();
    ctx_.keypad.caption("Возврат", "", 12);
    s.refresh();
    while (ctx_.keypad.poll() != 12) {
    }
    s.pop();
    return true;
}

void Sequences::abandon(const std::string& line, int depth) {
    logLine(line);
    rigInit();
    while (ctx_.screen.depth() > depth) {
        ctx_.screen.pop();
    }
    showStatus();
    progress(false);
}

// --- set measurement ---

int Sequences::setPicker() {
    const std::size_t count = Pickers::readList(ctx_.screen.paths().work("Complects.txt")).size();
    const int chosen = ctx_.pickers.listPicker("Complects.txt", "Выбор измеряемого комплекта", 90, 1);
    // An empty list "chooses" its current line 1, which is no set type at all.
    if (ctx_.pickers.cancelled() || chosen < 1 || static_cast<std::size_t>(chosen) > count ||
        chosen > ctx_.catalogue.setTypeCount()) {
        return 0;
    }
    return chosen;
}

void Sequences::setMeasurement() {
    const RunningGuard running(ctx_.rig, emulating(), runningDepth_);
    if (refusedOnRig()) {
        return;
    }
    const int depth = ctx_.screen.depth();
    newShiftCheck();
    ctx_.screen.push();
    rigInit();
    drawMeasurementScreen("Идет замер комплекта", 210, "zamerco.bmp");
    int setType = 0;
    try {
        console("Начат замер комплекта!");
        plainConsole("Включение гидростанции");
        if (!emulating()) {
            rig().clearAutoHydraulics();
            rig().hydraulicsOn();
        }
        plainConsole("Центрирование пружины");
        status("Центрирование комплекта");
        if (!emulating()) {
            commandStep(&RigCommands::centringOpenAndWait, 20);
        }
        markIndicator(1);
        progress(true);
        plainConsole("Перемещение в зону контроля");
        status("Перемещение пружины");
        if (!emulating()) {
            commandStep(&RigCommands::carriageRightToEnd, 21);
            sleep(300);
        }
        markIndicator(2);
        if (ctx_.settings.Ardu && hooks_.stepEvent) {
            hooks_.stepEvent("5");
            sleep(2000);
        }
        plainConsole("Замер геом. параметров");
        status("Замер геом. параметров");
        if (!emulating()) {
            commandStep(&RigCommands::geometryDownToEnd, 22);
        }
        markIndicator(3);
        status("Определение типа комплекта");
        setType = setPicker();
        if (setType == 0) {
            throw MeasurementAborted("Замер прерван, комплект НЕ ВЫБРАН");
        }
        markIndicator(4);
        const _xKompl& t = ctx_.catalogue.setType(setType);
        PressParameters p;
        p.contact1 = "Поджим комплекта. Этап 1";
        p.contact2 = "Поджим комплекта. Этап 2";
        p.loadPrefix = "Нагрузка комплекта ";
        p.PHS = t.PHS;
        p.PHU = t.PHU;
        p.PLS = t.PLS;
        p.PLU = t.PLU;
        p.multiplier = ctx_.settings.xmuldk;
        p.lastPause = 300;
        p.setMeasurement = true;
        pressCycle(p);
    } catch (const MeasurementAborted& e) {
        abandon(e.what(), depth);
        return;
    }
    ctx_.screen.pop();
    ctx_.screen.push();
    ctx_.screen.stripes();
    rigInit();
    storeSet(setType);
    setResultScreen();
    ctx_.screen.pop();
    showStatus();
}

void Sequences::storeSet(int setType) {
    console("Сохранение замера комплекта");
    // A run that started before midnight is stored in the new day's shift, so its name
    // cannot repeat one given later that day.
    newShiftCheck();
    OperatorState& st = ctx_.state.state();
    ++st.NOWKOMPL;
    const text::DateTime now = ctx_.clock();
    const _xKompl& type = ctx_.catalogue.setType(setType);
    _xKZamer& r = ctx_.records.set;
    r = _xKZamer{};
    r.Name = makeSetName(st.NOWKOMPL, now);
    r.DataTime = toDays(now);
    r.Vid_zamera = 0;
    r.Ch = st.CHASSIE;
    r.Se = ctx_.catalogue.seriesName(st.SERIA);
    r.Po = st.TRAIN;
    r.Nkompl = setType;
    SetReadings readings;
    PressHeight conv;
    if (emulating()) {
        emulateSetValues(r, type, ctx_.settings, ctx_.rng);
        conv = [](std::int32_t) { return 0.0; };
    } else {
        readings.liftOffAfter = counts_.liftOffAfter.value_or(0);
        readings.forceAtFourthLoad = counts_.forceAtFourthLoad.value_or(0);
        conv = [this](std::int32_t count) { return rig().pressHeight(count); };
    }
    deriveSetValues(r, type, readings, ctx_.settings, conv);
    // The counter is on disk before the row: a crash between the two leaves a gap in the
    // names, never a second row with the same name.
    ctx_.state.write();
    ResultTables tables(ctx_.connection);
    try {
        tables.appendSetRow(r);
    } catch (...) {
        --st.NOWKOMPL;
        ctx_.state.write();
        throw;
    }
    console("Сохранение комплекта:ok");
    logLine("Проведен замер комплекта");
}

void Sequences::setResultScreen() {
    Screen& s = ctx_.screen;
    s.banner("Результат замера комплекта", 140, 18);
    s.framedPanel(60, 125, 960, 756);
    s.picture("komplect.bmp", 90, 175);
    const _xKZamer& r = ctx_.records.set;
    ctx_.records.printCopy = r;
    if (hooks_.drawSetResultPage) {
        hooks_.drawSetResultPage(r);
    } else {
        // Until the result pages are plugged in: the name and the group, so the operator
        // still sees where the set belongs.
        Canvas& c = s.canvas();
        c.fillRect(420, 176, 935, 720, colors::green);
        c.fillRect(421, 177, 934, 719, colors::white);
        c.setFont("Times New Roman", 14, colors::blue, true);
        c.text(440, 184, "Результат замера комплекта : ");
        c.setFont("Times New Roman", 14, kNavy, false);
        c.text(440, 216, "№ " + r.Name);
        const int group = setGroup(r, ctx_.catalogue);
        c.setFont("Impact", 18, group == 0 ? colors::red : colors::green, false);
        c.text(440, 644, "Группа комплекта:" + groupText(group));
    }
    ctx_.keypad.allDead();
    ctx_.keypad.setLive(12, true);
    ctx_.keypad.setLive(10, true);
    ctx_.keypad.drawKeypad();
    ctx_.keypad.caption("Возврат", "", 12);
    ctx_.keypad.caption("Печать", "комплекта", 10);
    s.refresh();
    for (;;) {
        const int key = ctx_.keypad.poll();
        if (key == 12) {
            break;
        }
        if (key == 10) {
            if (hooks_.printSetSheet) {
                hooks_.printSetSheet(ctx_.records.printCopy);
                logLine("Распечатан комплект:" + ctx_.records.printCopy.Name);
            } else {
                plainConsole("Печать листа результата не подключена.");
            }
        }
    }
}

// --- spring measurement ---

void Sequences::drawSpringDetails(const std::vector<std::int32_t>& bound, int line, double d, double h) {
    if (line < 1 || static_cast<std::size_t>(line) > bound.size()) {
        return;
    }
    const SpringType& t = ctx_.catalogue.springType(bound[static_cast<std::size_t>(line) - 1]);
    Screen& s = ctx_.screen;
    Canvas& c = s.canvas();
    const bool inner = t.innerDiameter != 0;
    s.framedPanel(60, 118, 920, 165);
    c.setFont("Courier", 6, colors::black, false);
    c.text(70, 120, "Наименование:");
    c.text(290, 120, "Высота:");
    c.text(410, 120, inner ? "Диаметр(н):" : "Диаметр:");
    c.text(570, 120, "Пруток:");
    c.text(650, 120, "Прим. высота:");
    c.text(795, 120, "Прим. диаметр:");
    c.setFont("Impact", 16, colors::black, false);
    c.text(70, 134, t.name);
    c.text(290, 134,
           text::formatGeneral(t.block[kSlotHeight].Min) + "-" + text::formatGeneral(t.block[kSlotHeight].Max));
    const double widen = inner ? 2.0 * static_cast<double>(t.Prutok) : 0.0;
    c.text(410, 134,
           text::formatGeneral(t.block[kSlotDiameter].Min + widen) + "-" +
               text::formatGeneral(t.block[kSlotDiameter].Max + widen));
    c.text(570, 134, text::formatGeneral(t.Prutok));
    c.setFont("Impact", 16, colors::green, false);
    c.text(650, 134, text::formatThousands(h, 1));
    c.text(795, 134, text::formatThousands(d, 1));
}

int Sequences::springTypeDetermination(double d, double h) {
    const int bogie = ctx_.state.state().CHASSIE;
    // A bogie outside the bound range (0 on a fresh installation) has an empty list.
    const std::vector<std::int32_t>& bound = ctx_.catalogue.boundSpringTypes(bogie);
    std::vector<std::string> names;
    names.reserve(bound.size());
    for (const std::int32_t n : bound) {
        names.push_back(oneLine(ctx_.catalogue.springType(n).name));
    }
    files::writeFileAtomic(ctx_.screen.paths().work("actsh.txt"), text::cp1251Text(names));
    if (ctx_.settings.AutoSelSpring) {
        const std::vector<int> found = matchingSpringTypes(ctx_.catalogue, bound, d, h, ctx_.settings);
        if (found.size() == 1) {
            return found.front();
        }
    }
    ctx_.pickers.setDetailsStrip([this, &bound, d, h](int line) { drawSpringDetails(bound, line, d, h); });
    int chosen = 0;
    try {
        chosen = ctx_.pickers.listPicker("actsh.txt", "Тележка:" + ctx_.catalogue.bogieName(bogie), 40, 1);
    } catch (...) {
        ctx_.pickers.setDetailsStrip({});
        throw;
    }
    ctx_.pickers.setDetailsStrip({});
    // An empty list "chooses" line 1, which names no spring type.
    if (ctx_.pickers.cancelled() || chosen < 1 || static_cast<std::size_t>(chosen) > bound.size()) {
        return 0;
    }
    return bound[static_cast<std::size_t>(chosen) - 1];
}

void Sequences::springMeasurement() {
    const RunningGuard running(ctx_.rig, emulating(), runningDepth_);
    if (refusedOnRig()) {
        return;
    }
    const int depth = ctx_.screen.depth();
    newShiftCheck();
    ctx_.screen.push();
    rigInit();
    progress(true);
    drawMeasurementScreen("Идет замер", 330, "zamer.bmp");
    int springType = 0;
    GeometryReading geometry;
    try {
        console("Начат замер !");
        plainConsole("Включение гидростанции");
        if (!emulating()) {
            rig().clearAutoHydraulics();
            rig().hydraulicsOn();
        }
        plainConsole("Центрирование пружины");
        status("Центрирование пружины");
        if (!emulating()) {
            commandStep(&RigCommands::centringOpenAndWait, 20);
        }
        markIndicator(1);
        plainConsole("Перемещение в зону контроля");
        status("Перемещение пружины");
        if (!emulating()) {
            commandStep(&RigCommands::carriageRightToEnd, 21);
        }
        markIndicator(2);
        if (ctx_.settings.Ardu && hooks_.stepEvent) {
            hooks_.stepEvent("5");
            sleep(2000);
        }
        if (!emulating()) {
            rig().centringGrip();
        }
        // The operator makes sure the spring stands still before the cameras scan it.
        Screen& s = ctx_.screen;
        s.push();
        s.stripes();
        s.banner("Внимание!", 320, 18);
        s.framedPanel(178, 235, 841, 484);
        s.picture("notremor.bmp", 340, 320);
        ctx_.keypad.allDead();
        ctx_.keypad.setLive(1, true);
        ctx_.keypad.drawKeypad();
        ctx_.keypad.caption("Продолжить", "замер", 1);
        s.refresh();
        while (ctx_.keypad.poll() != 1) {
        }
        s.pop();

        plainConsole("Замер геом. параметров");
        status("Замер геом. параметров");
        if (!emulating()) {
            commandStep(&RigCommands::geometryMeasurement, 22);
        }
        markIndicator(3);
        status("Определение типа пружины");
        double height = 0.0;
        double diameter = 0.0;
        if (!hooks_.evaluateGeometry) {
            throw MeasurementAborted("Замер прерван, расчет геометрии не подключен");
        }
        try {
            geometry = hooks_.evaluateGeometry();
        } catch (const ProgramExit&) {
            throw;
        } catch (const std::exception& e) {
            throw MeasurementAborted(std::string("Замер прерван, ошибка расчета геометрии: ") + e.what());
        }
        if (!geometry.height || !geometry.diameter) {
            throw MeasurementAborted("Замер прерван, высота или диаметр не определены");
        }
        height = *geometry.height;
        diameter = *geometry.diameter;
        if (ctx_.settings.ManualsetH && hooks_.debugInput) {
            std::tie(height, diameter) = hooks_.debugInput(height, diameter);
            geometry.height = height;
            geometry.diameter = diameter;
        }
        springType = springTypeDetermination(diameter, height);
        markIndicator(4);
        sleep(1000);
        if (springType == 0) {
            throw MeasurementAborted("Замер прерван, пружина НЕ ВЫБРАНА");
        }
        const SpringType& t = ctx_.catalogue.springType(springType);
        if (!emulating() && !rigGeometryComplete(t, geometry, ctx_.settings)) {
            // An undefined value would be stored as an empty cell that reads back as 0, a
            // perfect pitch or squareness; the spring is not loaded for nothing.
            throw MeasurementAborted("Замер прерван, геометрия пружины не определена");
        }
        PressParameters p;
        p.contact1 = "Поджим пружины. Этап 1";
        p.contact2 = "Поджим пружины. Этап 2";
        p.loadPrefix = "Нагрузка ";
        p.PHS = t.PHS;
        p.PHU = t.PHU;
        p.PLS = t.PLS;
        p.PLU = t.PLU;
        p.multiplier = ctx_.settings.xmuld;
        p.lastPause = 500;
        p.setMeasurement = false;
        p.springName = t.name;
        pressCycle(p);
    } catch (const MeasurementAborted& e) {
        abandon(e.what(), depth);
        return;
    }
    ctx_.screen.pop();
    ctx_.screen.push();
    ctx_.screen.stripes();
    rigInit();
    storeSpring(springType, geometry);
    springResultScreen();
    ctx_.screen.pop();
    showStatus();
    progress(false);
}

void Sequences::storeSpring(int springType, const GeometryReading& geometry) {
    ResultTables tables(ctx_.connection);
    tables.openTable("measReading");
    console("Сохранение замера");
    newShiftCheck();
    OperatorState& st = ctx_.state.state();
    ++st.NOWSPRING;
    _xZamer& r = ctx_.records.spring;
    fillSpringRecord(r, springType, ctx_.catalogue, st, ctx_.clock(), ctx_.rng);
    if (emulating()) {
        injectRejects(r, ctx_.catalogue, ctx_.settings, ctx_.rng);
    }
    SpringReadings readings;
    readings.outerDiameter = geometry.diameter.value_or(0.0);
    // An undefined pitch spread or non-perpendicularity is stored as not a number, which
    // fails its slot rather than passing as a perfect 0.
    readings.pitchSpread = geometry.pitchSpread.value_or(std::nan(""));
    readings.nonPerpendicularity = geometry.nonPerpendicularity.value_or(std::nan(""));
    PressHeight conv = [](std::int32_t) { return 0.0; };
    if (!emulating()) {
        readings.liftOffBefore = counts_.liftOffBefore.value_or(0);
        readings.liftOffAfter = counts_.liftOffAfter.value_or(0);
        readings.forceAtFourthLoad = counts_.forceAtFourthLoad.value_or(0);
        conv = [this](std::int32_t count) { return rig().pressHeight(count); };
    }
    deriveSpringValues(r, ctx_.catalogue.springType(springType), readings, ctx_.settings, conv);
    ctx_.state.write();
    try {
        tables.appendSpringRow(r);
    } catch (...) {
        --st.NOWSPRING;
        ctx_.state.write();
        throw;
    }
    console("Сохранение замера:ok");
    logLine("Проведен замер");
}

void Sequences::springResultScreen() {
    Screen& s = ctx_.screen;
    s.banner("Результат замера", 150, 18);
    s.framedPanel(60, 125, 960, 756);
    s.picture("PRUGINA.bmp", 90, 170);
    const _xZamer& r = ctx_.records.spring;
    if (hooks_.drawSpringResultPage) {
        hooks_.drawSpringResultPage(r);
    } else {
        Canvas& c = s.canvas();
        c.fillRect(420, 176, 935, 720, colors::green);
        c.fillRect(421, 177, 934, 719, colors::white);
        c.setFont("Times New Roman", 14, colors::blue, true);
        c.text(440, 184, "Результат замера пружины : ");
        c.setFont("Times New Roman", 14, kNavy, false);
        c.text(440, 216, "№ " + r.Name);
        c.text(440, 282, "Пружина:");
        c.text(550, 282, ctx_.catalogue.springType(r.Nsping).name);
        c.text(440, 358, springVerdict(springCheck(r, ctx_.catalogue)));
    }
    ctx_.keypad.allDead();
    ctx_.keypad.setLive(12, true);
    ctx_.keypad.setLive(10, true);
    ctx_.keypad.drawKeypad();
    ctx_.keypad.caption("Возврат", "", 12);
    ctx_.keypad.caption("Печать", "замера", 10);
    s.refresh();
    for (;;) {
        const int key = ctx_.keypad.poll();
        if (key == 12) {
            break;
        }
        if (key == 10) {
            if (hooks_.printSpringSheet) {
                hooks_.printSpringSheet(r);
                logLine("Распечатан замер:" + r.Name);
            } else {
                plainConsole("Печать листа результата не подключена.");
            }
        }
    }
}

} // namespace veltron
