#include "rig/terminal.h"

#include "platform/files.h"
#include "platform/text.h"
#include "rig/notifier.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace veltron::rig {

namespace {

constexpr int kSecondAddress = 240;
constexpr int kSecondBaud = 57600;
constexpr int kTenzoPort = 4; // the instrument's fixed port
constexpr int kTenzoBaud = 57600;

// Sensor labels of the status bits 0..8 and the fault codes of their polls.
constexpr std::array<const char*, 9> kSensorLabel = {"Label9",  "Label10", "Label12", "Label13", "Label14",
                                                     "Label16", "Label17", "Label18", "Label19"};
constexpr std::array<int, 9> kSensorFault = {1, 4, 5, 8, 9, 14, 15, 16, 17};

// A negative result, or 10000 bytes without a closing flag (result 2, no answer kept): both
// are failed exchanges that the command reports.
bool linkFailed(int result) {
    return result < 0 || result == drivers::kLinkOverflow;
}

void putBe32(std::vector<std::uint8_t>& p, std::int32_t v) {
    const auto u = static_cast<std::uint32_t>(v);
    p.push_back(static_cast<std::uint8_t>(u >> 24));
    p.push_back(static_cast<std::uint8_t>(u >> 16));
    p.push_back(static_cast<std::uint8_t>(u >> 8));
    p.push_back(static_cast<std::uint8_t>(u));
}

std::string chars(std::uint8_t a, std::uint8_t b) {
    const char raw[2] = {static_cast<char>(a), static_cast<char>(b)};
    return text::cp1251ToUtf8(std::string_view(raw, 2));
}

} // namespace

// Counts a running command, so Timer1 stays quiet inside it (messages are pumped while a
// command waits, and a tick there would overwrite the flags the command decides on).
class Terminal::Busy {
public:
    explicit Busy(Terminal& t) : t_(t) { ++t_.busy_; }
    ~Busy() { --t_.busy_; }
    Busy(const Busy&) = delete;
    Busy& operator=(const Busy&) = delete;

private:
    Terminal& t_;
};

TerminalState::TerminalState() {
    const auto set = [this](const char* name, const char* caption) { labels[name] = Label{caption, {0, 0, 0}, {}}; };
    for (const char* name : kSensorLabel) {
        labels[name] = Label{"ВБИ", kSensorClear, {}};
    }
    for (const char* name : {"Label1", "Label2", "Label3", "Label4", "Label5", "Label7", "Label8", "Label44"}) {
        set(name, "?");
    }
    set("Label20", "Ацп:?");
    set("Label21", "Лир1:?");
    set("Label22", "Лир2:?");
    set("Label23", "Статус:");
    set("Label25", "");
    set("Label26", "");
    set("Label38", "Вес=");
    set("Label41", "ВБИ:");
    set("Label43", "ЛИР:");
    set("Label48", "");
    Memo1.push_back("Велтрон-М версия 1.0");
}

ProgressBar progressBar(int bar, int i, int n) {
    ProgressBar p;
    p.bar = bar;
    p.x0 = (bar - 1) * 110;
    if (n > 0) {
        const double length = static_cast<double>(i) / (static_cast<double>(n) / 100.0) * 50.0 / 100.0;
        const auto t = text::checkedTrunc(length);
        p.length = t ? std::clamp(*t, 0, 50) : 0;
    }
    if (i > (9 * n) / 10) {
        p.colour = Rgb{255, 0, 0};
    } else if (i > (2 * n) / 3) {
        p.colour = Rgb{255, 255, 0};
    }
    return p;
}

std::optional<std::int32_t> kgFromAdc(const Settings& s, double adc) {
    const double div = static_cast<double>(s.a2kx2) - s.a2kx1;
    if (div == 0.0) {
        return std::nullopt;
    }
    return text::checkedTrunc(s.a2ky1 + (adc - s.a2kx1) * (static_cast<double>(s.a2ky2) - s.a2ky1) / div);
}

std::optional<std::int32_t> adcFromKg(const Settings& s, double kg) {
    const double div = static_cast<double>(s.a2ky2) - s.a2ky1;
    if (div == 0.0) {
        return std::nullopt;
    }
    return text::checkedTrunc(s.a2kx1 + (kg - s.a2ky1) * (static_cast<double>(s.a2kx2) - s.a2kx1) / div);
}

std::optional<float> pressHeightMm(const Settings& s, std::int32_t count) {
    if (s.cLir1 == s.cLir2) {
        return std::nullopt;
    }
    // Single precision, as the calibration was made.
    const float mm =
        s.Hpr - static_cast<float>(count) * ((s.cmm1 - s.cmm2) / static_cast<float>(s.cLir2 - s.cLir1)) + s.dHpr;
    if (!std::isfinite(mm)) {
        return std::nullopt;
    }
    return mm;
}

std::vector<std::uint8_t> motionPayload(int mode, int direction, std::int32_t timeMs) {
    std::vector<std::uint8_t> p{static_cast<std::uint8_t>(mode), static_cast<std::uint8_t>(direction)};
    putBe32(p, timeMs);
    return p;
}

std::vector<std::uint8_t> motionPayload(int mode, int direction, std::int32_t timeMs, std::int32_t second) {
    auto p = motionPayload(mode, direction, timeMs);
    putBe32(p, second);
    return p;
}

std::vector<std::uint8_t> motionPayload(int mode, int direction, std::int32_t timeMs, std::int32_t second,
                                        std::uint16_t third, int thirdBytes) {
    auto p = motionPayload(mode, direction, timeMs, second);
    if (thirdBytes == 2) {
        p.push_back(static_cast<std::uint8_t>(third >> 8));
    }
    p.push_back(static_cast<std::uint8_t>(third & 0xFF));
    return p;
}

Terminal::Terminal(const Settings& settings, RigHost& host, std::filesystem::path workDir,
                   std::function<int()> nowSpring)
    : settings_(settings), host_(host), workDir_(std::move(workDir)) {
    cameras_ = std::make_unique<drivers::CameraLink>(
        link_, settings_, workDir_, [this](int code) { reportCommandFault(code); }, [this](int ms) { sleep(ms); },
        std::move(nowSpring));
    datagram = [](const std::string& t) { return sendDatagram(t); };
}

Terminal::~Terminal() = default;

void Terminal::addLog(const std::string& line) {
    state.Memo1.push_back(line);
    notify();
}

// --- command fault report -----------------------------------------------------------------

void Terminal::reportCommandFault(int code) {
    std::string line;
    try {
        if (const auto content = files::readFile(files::resolve(workDir_, "Errors\\RTA1000.txt"))) {
            const auto lines = text::cp1251Lines(*content);
            if (code >= 1 && static_cast<std::size_t>(code) <= lines.size()) {
                line = lines[static_cast<std::size_t>(code - 1)];
            }
        }
    } catch (...) {
        line.clear(); // the report must never raise inside a running command
    }
    const std::string quoted = "\"" + line + "\"";
    if (state.shown) {
        addLog("rtError:" + std::to_string(code) + " в команде:" + quoted);
        return;
    }
    if (!settings_.rtErrorEnable) {
        return;
    }
    if (commandFaultScreen) {
        commandFaultScreen(code, quoted);
    }
}

// --- links ----------------------------------------------------------------------------------

bool Terminal::openMainController() {
    ckPort_ = settings_.CK_PORT;
    ckAddress_ = settings_.CK_ADRESS;
    ckSpeed_ = settings_.CK_SPEED;
    const bool ok = link_.initComPort(ckPort_, ckSpeed_);
    link_.setup(settings_.STM1, settings_.STREP, settings_.STM2, 1);
    addLog("ЦК подключен к " + std::to_string(ckPort_));
    return ok;
}

bool Terminal::openCameras() {
    return cameras_->open();
}

bool Terminal::openLoadCell() {
    return true; // the load-cell port is opened only around its single exchange
}

bool Terminal::openDrive() {
    return drive().open();
}

bool Terminal::openSecondController() {
    const bool ok = link_.initComPort(settings_.CK2_PORT, kSecondBaud);
    link_.setup(-1, -1, -1, 2);
    return ok;
}

int Terminal::mainExchange(int code, std::span<const std::uint8_t> payload) {
    return link_.exchange(ckPort_, ckAddress_, code, payload);
}

int Terminal::secondExchange(int code, std::span<const std::uint8_t> payload) {
    return link_.exchange(settings_.CK2_PORT, kSecondAddress, code, payload);
}

void Terminal::mainCommand(int code, std::span<const std::uint8_t> payload, int fault) {
    if (linkFailed(mainExchange(code, payload))) {
        reportCommandFault(fault);
    }
}

drivers::DriveLink& Terminal::drive() {
    // The settings are fixed after start-up; a fresh object keeps the answer state per request.
    drive_ = drivers::DriveLink(settings_.CHRP_PORT, settings_.CHRP_SPEED, settings_.CHRP_TYPE,
                                [this](int ms) { sleep(ms); });
    return drive_;
}

// --- step events ----------------------------------------------------------------------------

void Terminal::stepEvent(const std::string& text) {
    if (!settings_.Ardu) {
        return;
    }
    state.Edit9 = text;
    sendUdp();
    sleep(settings_.ardup[1]);
    host_.processEvents();
}

void Terminal::sendUdp() {
    const bool ok = datagram && datagram(state.Edit9);
    for (int k = 0; k < 3; ++k) {
        host_.beep();
    }
    addLog(ok ? "send:" + state.Edit9 + " - ok" : std::string("send: ERROR !"));
}

// --- progress and status --------------------------------------------------------------------

void Terminal::showProgress(int bar, int i, int n) {
    if (values.progressDisplay != 1 || !drawProgressBar) {
        return;
    }
    drawProgressBar(progressBar(bar, i, n));
    host_.processEvents();
}

void Terminal::status(const std::string& text, int i) {
    state.labels["Label23"].caption = text + std::to_string(i);
    notify();
}

// --- readings -------------------------------------------------------------------------------

std::optional<bool> Terminal::pollBit(int bit) {
    const int result = mainExchange(17, {});
    if (linkFailed(result)) {
        reportCommandFault(kSensorFault.at(static_cast<std::size_t>(bit)));
    }
    Label& label = state.labels[kSensorLabel.at(static_cast<std::size_t>(bit))];
    const drivers::LastAnswer& a = link_.last();
    if (!a.usable(2)) {
        label.caption = "?";
        label.font = kSensorClear;
        values.endSensor = false;
        values.endSensorValid = false;
        notify();
        return std::nullopt;
    }
    const std::uint16_t word = a.u16(1);
    const bool set = ((word >> bit) & 1) != 0;
    label.caption = "ВБИ";
    label.font = set ? kSensorSet : kSensorClear;
    values.endSensor = set;
    values.endSensorValid = true;
    notify();
    return set;
}

void Terminal::sensorPoll(int bit) {
    if (bit < 0 || bit > 8) {
        return;
    }
    Busy busy(*this);
    pollBit(bit);
}

void Terminal::adcRead() {
    Busy busy(*this);
    values.adc = 0;
    mainExchange(19, {}); // this reading never reports
    const drivers::LastAnswer& a = link_.last();
    Label& label = state.labels["Label20"];
    if (!a.usable(2)) {
        values.adcValid = false;
        label.caption = "Adc=? Вес=?";
        notify();
        return;
    }
    values.adc = a.u16(1);
    values.adcValid = true;
    const auto kg = kgFromAdc(settings_, values.adc);
    label.caption = "Adc=" + std::to_string(values.adc) + (kg ? " Вес=" + std::to_string(*kg) + "кг" : " Вес=?");
    notify();
}

void Terminal::encoderRead(int n) {
    Busy busy(*this);
    const std::uint8_t p[] = {static_cast<std::uint8_t>(n)};
    if (linkFailed(mainExchange(7, p))) {
        reportCommandFault(18);
    }
    const drivers::LastAnswer& a = link_.last();
    const char* prefix = n == 1 ? "Лир1г=" : "Лир2с=";
    Label& label = state.labels[n == 1 ? "Label21" : "Label22"];
    if (a.usable(5)) {
        values.encoderCount = a.s32(2);
        values.encoderValid = true;
        label.caption = prefix + std::to_string(values.encoderCount);
    } else {
        values.encoderValid = false;
        label.caption = std::string(prefix) + "?";
    }
    notify();
    if (n == 1) {
        sleep(50);
    }
}

void Terminal::encoder1Read() {
    encoderRead(1);
}
void Terminal::encoder2Read() {
    encoderRead(2);
}

void Terminal::encoderReset(int n) {
    Busy busy(*this);
    const std::uint8_t p[] = {static_cast<std::uint8_t>(n)};
    mainCommand(8, p, 19);
}

void Terminal::encoder1Reset() {
    encoderReset(1);
}
void Terminal::encoder2Reset() {
    encoderReset(2);
}

void Terminal::pressHeightRead() {
    Busy busy(*this);
    const std::uint8_t p[] = {0};
    mainExchange(45, p); // this reading never reports
    const drivers::LastAnswer& a = link_.last();
    if (a.usable(5)) {
        values.pressHeightCount = a.s32(2);
        values.pressHeightValid = true;
        state.labels["Label48"].caption = "Hотр=" + std::to_string(values.pressHeightCount);
    } else {
        values.pressHeightValid = false;
        state.labels["Label48"].caption = "Hотр=?";
    }
    notify();
}

void Terminal::forceResultRead() {
    Busy busy(*this);
    if (linkFailed(mainExchange(3, {}))) {
        reportCommandFault(22);
    }
    const drivers::LastAnswer& a = link_.last();
    if (a.usable(6)) {
        values.forceCount = a.s32(1);
        values.forceAdc = a.u16(5);
        values.forceValid = true;
        std::string mmText = "?";
        if (const auto mm = pressHeightMm(settings_, values.forceCount)) {
            char buf[32];
            std::snprintf(buf, sizeof buf, "%5.2f", static_cast<double>(*mm));
            mmText = buf;
        }
        state.labels["Label25"].caption = "Лир1ps=" + std::to_string(values.forceCount) + " " + mmText + "мм";
        state.labels["Label26"].caption = "ADCps=" + std::to_string(values.forceAdc);
    } else {
        values.forceValid = false;
        state.labels["Label25"].caption = "Лир1ps=?";
        state.labels["Label26"].caption = "ADCps=?";
    }
    notify();
    sleep(50);
}

void Terminal::secondSensorRead() {
    Busy busy(*this);
    const std::uint8_t p[] = {0, 0, 0};
    if (linkFailed(secondExchange(7, p))) {
        reportCommandFault(24);
    }
    const drivers::LastAnswer& a = link_.last();
    state.labels["Label41"].caption = a.usable(1) ? "ВБИ:" + std::to_string(a.at(1)) : std::string("ВБИ:?");
    notify();
}

void Terminal::secondEncoderRead() {
    Busy busy(*this);
    const std::uint8_t p[] = {0, 0, 0};
    const int result = secondExchange(8, p);
    const drivers::LastAnswer& a = link_.last();
    // The second controller sends its encoder little-endian, unlike the main controller.
    state.labels["Label43"].caption =
        a.usable(2) ? "ЛИР: " + std::to_string(a.at(1) + 256 * a.at(2)) : std::string("ЛИР: ?");
    notify();
    if (linkFailed(result)) {
        reportCommandFault(12);
    }
}

void Terminal::dividerSet() {
    Busy busy(*this);
    values.commandRefused = false;
    const auto d = text::parseInt(text::trim(state.Edit8));
    if (!d || *d < 0 || *d > 0xFFFF) {
        values.commandRefused = true;
        addLog("Делитель: неверное значение \"" + state.Edit8 + "\"");
        return;
    }
    const std::uint8_t p[] = {static_cast<std::uint8_t>(*d & 0xFF), static_cast<std::uint8_t>(*d >> 8), 0};
    const int result = secondExchange(22, p);
    const drivers::LastAnswer& a = link_.last();
    addLog(a.usable(2) ? chars(a.at(1), a.at(2)) : std::string("?"));
    if (linkFailed(result)) {
        reportCommandFault(25);
    }
}

void Terminal::pollAllSensors() {
    Busy busy(*this);
    for (int bit = 0; bit <= 8; ++bit) {
        pollBit(bit);
        sleep(5);
    }
    adcRead();
    sleep(5);
    encoder1Read();
    sleep(5);
    encoder2Read();
    sleep(5);
    secondSensorRead();
    sleep(5);
    secondEncoderRead();
    sleep(5);
}

void Terminal::timerTick() {
    if (!state.CheckBox1 || busy() || values.sequenceRunning) {
        return;
    }
    pollAllSensors();
}

// --- link checks ----------------------------------------------------------------------------

void Terminal::setLinkLabel(const char* label, bool ok) {
    Label& l = state.labels[label];
    l.caption = ok ? "ok" : "error";
    l.background = ok ? kLinkOk : kLinkError;
    notify();
}

void Terminal::driveLinkCheck() {
    Busy busy(*this);
    values.linkDrive = drive().check();
    setLinkLabel("Label1", values.linkDrive);
}

void Terminal::mainControllerLinkCheck() {
    Busy busy(*this);
    link_.setSpeed(ckPort_, settings_.CK_SPEED);
    mainExchange(85, {});
    // The controller's "Ok" is taken from the buffer whatever the result says; the bytes are
    // then cleared so that the same buffer cannot pass a second check.
    const bool ok = link_.rawByte(0) == 0x4F && link_.rawByte(1) == 0x6B;
    if (ok) {
        link_.clearAnswerBytes(0, 2);
    }
    values.linkMainController = ok;
    setLinkLabel("Label2", ok);
}

void Terminal::cameraLinkCheck(int camera) {
    if (camera < 1 || camera > 4) {
        return;
    }
    Busy busy(*this);
    cameras_->open();
    cameras_->select(camera);
    const bool ok = cameras_->shutterSet(2000);
    values.linkCamera[static_cast<std::size_t>(camera)] = ok;
    static constexpr std::array<const char*, 5> labels = {"", "Label3", "Label4", "Label5", "Label7"};
    setLinkLabel(labels[static_cast<std::size_t>(camera)], ok);
}

void Terminal::loadLinkCheck() {
    Busy busy(*this);
    mainControllerLinkCheck();
    bool ok = false;
    if (values.linkMainController) {
        adcRead();
        ok = values.adcValid && values.adc >= settings_.ADClev;
    }
    values.linkLoad = ok;
    setLinkLabel("Label8", ok);
}

void Terminal::secondControllerLinkCheck() {
    Busy busy(*this);
    const std::uint8_t p[] = {0, 0, 0};
    // Result 2 is a babbling line, not an answer.
    const bool ok = secondExchange(28, p) == drivers::kLinkAnswer;
    values.linkSecondController = ok;
    setLinkLabel("Label44", ok);
    if (ok && settings_.SDIV_Enable) {
        dividerSet();
    }
}

void Terminal::linkCheck() {
    Busy busy(*this);
    values.linkDrive = values.linkMainController = values.linkLoad = values.linkSecondController = false;
    values.linkCamera.fill(false);
    driveLinkCheck();
    mainControllerLinkCheck();
    for (int c = 1; c <= 4; ++c) {
        cameraLinkCheck(c);
    }
    loadLinkCheck();
    secondControllerLinkCheck();
    values.allLinksOk = values.linkDrive && values.linkMainController && values.linkCamera[1] && values.linkCamera[2] &&
                        values.linkCamera[3] && values.linkCamera[4] && values.linkLoad && values.linkSecondController;
    notify();
}

// --- waiting commands -----------------------------------------------------------------------

bool Terminal::awaitedPresent(const WaitSpec& w) {
    switch (w.awaited) {
    case Awaited::bitSet:
        return pollBit(w.bit).value_or(false);
    case Awaited::touchAllSet:
    case Awaited::touchAllClear: {
        const bool wantSet = w.awaited == Awaited::touchAllSet;
        bool present = true;
        for (int bit = 6; bit <= 8; ++bit) {
            const auto b = pollBit(bit);
            // An invalid poll is "not present" for either polarity.
            present = present && b.has_value() && *b == wantSet;
            if (wantSet) {
                sleep(5);
            }
        }
        return present;
    }
    case Awaited::forceReached: {
        mainExchange(1, {}); // not reported
        const drivers::LastAnswer& a = link_.last();
        return a.usable(9) && (a.at(9) & 0x40) != 0;
    }
    }
    return false;
}

int Terminal::pollLoop(const WaitSpec& w) {
    int i = 0;
    bool present = false;
    do {
        if (w.awaited == Awaited::forceReached) {
            sleep(5);
        }
        if (settings_.Ardu && w.eventKey > 0 && settings_.ardup[static_cast<std::size_t>(w.eventKey)] == i) {
            stepEvent(w.eventText);
        }
        if (w.bar > 0) {
            showProgress(w.bar, i, w.barLimit);
        }
        present = awaitedPresent(w);
        sleep(5);
        ++i;
        status(w.status, i);
        host_.processEvents();
    } while (!present && i < w.limit);
    return i;
}

void Terminal::waitingCommand(const WaitSpec& w) {
    Busy busy(*this);
    state.controlGroupsEnabled = false;
    notify();
    if (w.pressStopFirst) {
        pressStop();
    }
    if (state.CheckBox2) {
        hydraulicsOn();
    }
    sleep(100);
    mainCommand(w.code, w.payload, w.fault);
    sleep(w.sleepAfterSend);
    const int i = pollLoop(w);
    values.motionTimeout = i >= w.limit;
    if (state.CheckBox3) {
        hydraulicsOff();
    }
    sleep(100);
    if (w.pollAllAtEnd) {
        pollAllSensors();
    }
    state.controlGroupsEnabled = true;
    notify();
}

void Terminal::geometryUpToEnd() {
    const auto& s = settings_;
    waitingCommand({35, motionPayload(1, 0, s.GEOMETR_VVERH, 0), 10, 500, Awaited::bitSet, 3, s.tpeGEOMETR_VVERH, 2,
                    s.tpeGEOMETR_VVERH, 3, "2", "Статус Г //\\\\:Повторы:", false, true});
}

void Terminal::geometryDownToEnd() {
    const auto& s = settings_;
    waitingCommand({35, motionPayload(1, 1, s.GEOMETR_VNIZ, 0), 11, 50, Awaited::bitSet, 4, s.tpeGEOMETR_VNIZ, 0, 0, 0,
                    "", "Статус Г \\\\//:Повторы:", false, true});
}

void Terminal::carriageLeftToEnd() {
    const auto& s = settings_;
    waitingCommand({34, motionPayload(1, 0, s.KARETKA_VLEVO), 6, 50, Awaited::bitSet, 1, s.tpeKARETKA_VLEVO, 3,
                    s.tpeKARETKA_VLEVO, 4, "3", "Статус <<:Повторы:", false, true});
}

void Terminal::carriageRightToEnd() {
    const auto& s = settings_;
    waitingCommand({34, motionPayload(1, 1, s.KARETKA_VPRAVO), 7, 300, Awaited::bitSet, 2, s.tpeKARETKA_VPRAVO, 2,
                    s.tpeKARETKA_VPRAVO, 6, "7", "Статус >>:Повторы:", false, false});
}

void Terminal::pressUpToEnd() {
    const auto& s = settings_;
    waitingCommand({36, motionPayload(1, 0, s.PRESS_VVERH, 0), 20, 50, Awaited::bitSet, 5, s.tpePRESS_VVERH, 1,
                    s.tpePRESS_VVERH, 2, "1", "Статус П //\\\\:Повторы:", false, true});
}

void Terminal::pressDownToContact() {
    const auto& s = settings_;
    waitingCommand({36, motionPayload(1, 1, s.PRESS_VNIZ, 12000, 230, 2), 31, 50, Awaited::touchAllSet, 0,
                    s.tpePRESS_VNIZ, 5, s.tpePRESS_VNIZ, 8, "10", "Статус П \\\\//:Повторы:", true, true});
}

void Terminal::pressDownToForce() {
    const auto& s = settings_;
    values.commandRefused = false;
    // The target is checked before anything moves: a value that does not convert, or one
    // outside 16 bits, would load the piece to another force.
    std::optional<std::int32_t> target;
    if (const auto typed = text::parseInt(text::trim(state.Edit3))) {
        target = state.RadioButton2 ? adcFromKg(s, *typed) : typed;
    }
    if (!target || *target < 0 || *target > 0xFFFF) {
        Busy busy(*this);
        values.commandRefused = true;
        addLog("Задание силы: неверное значение \"" + state.Edit3 + "\"");
        reportCommandFault(22);
        return;
    }
    waitingCommand({36, motionPayload(3, 1, s.PRESS_VNIZ, 16000, static_cast<std::uint16_t>(*target), 2), 22, 50,
                    Awaited::forceReached, 0, s.tpePRESS_VNIZ, 5, s.tpePRESS_VNIZ, 9, "12",
                    "Статус Па \\\\//:Повторы:", false, true});
}

void Terminal::pressLiftOff() {
    const auto& s = settings_;
    // The controller runs the lift-off with the geometry's time; the bar is scaled by the
    // press-down limit while the loop ends at the press-up limit.
    waitingCommand({36, motionPayload(3, 0, s.GEOMETR_VVERH, 0), 23, 50, Awaited::touchAllClear, 0, s.tpePRESS_VVERH, 5,
                    s.tpePRESS_VNIZ, 9, "11", "Статус П //\\\\:Повторы:", false, true});
}

void Terminal::centringCloseAndWait() {
    Busy busy(*this);
    const auto& s = settings_;
    if (state.CheckBox2) {
        hydraulicsOn();
    }
    sleep(100);
    const int result = mainExchange(37, motionPayload(1, 1, s.CENTR_SDVIN));
    stepEvent("4");
    if (linkFailed(result)) {
        reportCommandFault(3);
    }
    int i = 0;
    bool closed = false;
    do {
        closed = pollBit(0).value_or(false);
        sleep(5);
        ++i;
        status("Статус Г //\\\\:Повторы:", i);
        host_.processEvents();
    } while (!closed && i < s.tpeCENTR);
    // Without this the sequences would read the previous command's flag and never see a
    // centring device that does not close.
    values.motionTimeout = !closed;
    pollAllSensors();
    sleep(10);
    centringStop();
    if (state.CheckBox3) {
        hydraulicsOff();
    }
    sleep(100);
}

void Terminal::centringOpenAndWait() {
    Busy busy(*this);
    const auto& s = settings_;
    state.controlGroupsEnabled = false;
    notify();
    if (state.CheckBox2) {
        hydraulicsOn();
    }
    sleep(100);
    mainCommand(37, motionPayload(1, 0, s.CENTR_RAZDVIN), 2);
    sleep(s.CENTR_RAZDVIN); // the device has no open sensor: a fixed wait, without pumping
    stepEvent("6");
    values.motionTimeout = false;
    if (state.CheckBox3) {
        hydraulicsOff();
    }
    sleep(100);
    pollAllSensors();
    sleep(10);
    centringStop();
    state.controlGroupsEnabled = true;
    notify();
}

void Terminal::centringGrip() {
    Busy busy(*this);
    centringClose();
    const std::uint64_t start = host_.tickMs();
    while (host_.tickMs() - start < static_cast<std::uint64_t>(std::max(0, settings_.CENTR_OTGIM))) {
        host_.processEvents();
    }
    centringStop();
}

// --- actuators without waiting --------------------------------------------------------------

void Terminal::carriageLeftJog() {
    Busy busy(*this);
    mainCommand(34, motionPayload(2, 0, settings_.KARETKA_VLEVO), 6);
}

void Terminal::carriageRightJog() {
    Busy busy(*this);
    mainCommand(34, motionPayload(2, 1, settings_.KARETKA_VPRAVO), 7);
}

void Terminal::carriageStop() {
    Busy busy(*this);
    const std::uint8_t p[] = {0};
    mainCommand(34, p, 28);
}

void Terminal::centringOpen() {
    Busy busy(*this);
    mainCommand(37, motionPayload(1, 0, settings_.CENTR_RAZDVIN), 2);
}

void Terminal::centringClose() {
    Busy busy(*this);
    mainCommand(37, motionPayload(1, 1, settings_.CENTR_SDVIN), 3);
}

void Terminal::centringStop() {
    Busy busy(*this);
    const std::uint8_t p[] = {0};
    mainCommand(37, p, 27);
}

void Terminal::geometryUpJog() {
    Busy busy(*this);
    mainCommand(35, motionPayload(2, 0, settings_.KLAPAN_TIME, 0), 10);
}

void Terminal::geometryDownJog() {
    Busy busy(*this);
    mainCommand(35, motionPayload(2, 1, settings_.KLAPAN_TIME, 0), 11);
}

void Terminal::geometryStop() {
    Busy busy(*this);
    const std::uint8_t p[] = {0};
    mainCommand(35, p, 29);
}

void Terminal::pressUpJog() {
    Busy busy(*this);
    mainCommand(36, motionPayload(2, 0, settings_.KLAPAN_TIME, 0), 20);
}

void Terminal::pressDownJog() {
    Busy busy(*this);
    mainCommand(36, motionPayload(2, 1, settings_.KLAPAN_TIME, 0), 21);
}

void Terminal::pressStop() {
    Busy busy(*this);
    const std::uint8_t p[] = {0};
    mainCommand(36, p, 30);
    sleep(100);
}

void Terminal::drainOn() {
    Busy busy(*this);
    const std::uint8_t p[] = {1};
    mainCommand(33, p, 26);
}

void Terminal::drainOff() {
    Busy busy(*this);
    const std::uint8_t p[] = {0};
    mainCommand(33, p, 26);
}

void Terminal::pumpStart() {
    Busy busy(*this);
    drive().pumpStart();
}

void Terminal::pumpStop() {
    Busy busy(*this);
    drive().pumpStop();
}

void Terminal::pumpFrequencySet() {
    Busy busy(*this);
    values.commandRefused = false;
    const auto x = text::parseDouble(text::trim(state.Edit1));
    if (!x || !drivers::frequencyWrites(settings_.CHRP_TYPE, *x)) {
        values.commandRefused = true;
        addLog("Частота ЧРП: неверное значение \"" + state.Edit1 + "\"");
        return;
    }
    drive().setFrequency(*x);
}

void Terminal::hydraulicsOn() {
    Busy busy(*this);
    pumpStart();
    sleep(300);
    drainOn();
}

void Terminal::hydraulicsOff() {
    Busy busy(*this);
    drainOff();
    sleep(30);
    pumpStop();
}

// --- measuring operations -------------------------------------------------------------------

void Terminal::cameraSetup() {
    Busy busy(*this);
    for (int c = 1; c <= 4; ++c) {
        cameras_->select(c);
        cameras_->shutterSet(settings_.SHUTTER[static_cast<std::size_t>(c)] & 0xFFFF);
        sleep(10);
        cameras_->thresholdSet(settings_.POROG[static_cast<std::size_t>(c)]);
        sleep(10);
        cameras_->modeSet();
        sleep(10);
    }
    sleep(10);
}

void Terminal::geometryMeasurement() {
    Busy busy(*this);
    const auto& s = settings_;
    const int progress = values.progressDisplay;
    values.progressDisplay = 0;
    geometryUpToEnd();
    sleep(5);
    encoder1Reset();
    sleep(5);
    values.progressDisplay = progress;

    for (int c = 1; c <= 4; ++c) {
        cameras_->select(c);
        cameras_->shutterSet(s.SHUTTER[static_cast<std::size_t>(c)] & 0xFFFF);
        sleep(10);
        cameras_->thresholdSet(s.POROG[static_cast<std::size_t>(c)]);
        sleep(10);
        cameras_->modeSet();
        sleep(10);
    }
    state.controlGroupsEnabled = false;
    if (state.CheckBox2) {
        hydraulicsOn();
    }
    sleep(100);
    sleep(10);
    const std::uint8_t zero[] = {0, 0, 0};
    const int scan = secondExchange(12, zero);
    addLog("ck2 замер =" + std::to_string(scan));
    sleep(10);
    mainExchange(35, motionPayload(1, 1, s.GEOMETR_VNIZ, 0, 10, 1)); // not reported
    sleep(250);
    stepEvent("8");
    const WaitSpec down{35,
                        {},
                        11,
                        0,
                        Awaited::bitSet,
                        4,
                        s.tpeGEOMETR_VNIZ,
                        3,
                        s.tpeGEOMETR_VNIZ,
                        0,
                        "",
                        "Статус Г \\\\//:Повторы:",
                        false,
                        true};
    const int i = pollLoop(down);
    values.motionTimeout = i >= s.tpeGEOMETR_VNIZ;
    if (state.CheckBox3) {
        hydraulicsOff();
    }
    sleep(100);
    pollAllSensors();
    addLog("замер геом. завершен. считывание");
    state.controlGroupsEnabled = true;
    for (int c = 1; c <= 4; ++c) {
        sleep(10);
        cameras_->select(c);
        cameras_->laserOff();
    }
    state.Memo1.clear();
    cameraReadOut();
    // Without scan pulses the cameras hold old or empty profiles: the measurement counts as
    // failed, which the spring sequence reports through its geometry fault.
    if (scan != drivers::kLinkAnswer) {
        values.motionTimeout = true;
    }
    notify();
}

void Terminal::cameraReadOut() {
    Busy busy(*this);
    state.controlGroupsEnabled = true;
    for (int c = 1; c <= 4; ++c) {
        sleep(10);
        cameras_->select(c);
        cameras_->laserOff();
    }
    state.Memo1.clear();
    notify();
    if (values.progressDisplay == 1 && sequenceStatus) {
        sequenceStatus("Считывание данных с камер:");
    }
    for (int c = 1; c <= 4; ++c) {
        cameras_->select(c);
        cameras_->download();
        const int n = cameras_->downloadedCount(c);
        addLog("№" + std::to_string(c) + "<<" + std::to_string(n));
        if (values.progressDisplay == 1 && mainScreenText) {
            mainScreenText(620, 530 + 10 * c, "Камера №" + std::to_string(c) + " : " + std::to_string(n) + "замеров ");
        }
    }
}

void Terminal::longGeometry() {
    Busy busy(*this);
    const std::uint8_t zero[] = {0, 0, 0};
    addLog("ck2 замер =" + std::to_string(secondExchange(12, zero)));
}

void Terminal::laserOn() {
    Busy busy(*this);
    values.commandRefused = false;
    const auto n = text::parseInt(text::trim(state.Edit2));
    if (!n) {
        values.commandRefused = true;
        addLog("№ Камеры: неверное значение \"" + state.Edit2 + "\"");
        return;
    }
    cameras_->select(*n);
    cameras_->laserOn();
}

void Terminal::laserOff() {
    Busy busy(*this);
    values.commandRefused = false;
    const auto n = text::parseInt(text::trim(state.Edit2));
    if (!n) {
        values.commandRefused = true;
        addLog("№ Камеры: неверное значение \"" + state.Edit2 + "\"");
        return;
    }
    cameras_->select(*n);
    cameras_->laserOff();
}

// --- second controller service, load cell, log ----------------------------------------------

void Terminal::secondControllerTest() {
    Busy busy(*this);
    const std::uint8_t p[] = {0, 0, 0};
    addLog("r=" + std::to_string(secondExchange(28, p)));
}

void Terminal::secondControllerPulses() {
    Busy busy(*this);
    values.commandRefused = false;
    const auto n = text::parseInt(text::trim(state.Edit7));
    if (!n || *n < 0 || *n > 0xFFFF) {
        values.commandRefused = true;
        addLog("Импульсы на камеры: неверное значение \"" + state.Edit7 + "\"");
        return;
    }
    const std::uint8_t p[] = {static_cast<std::uint8_t>(*n & 0xFF), static_cast<std::uint8_t>(*n >> 8), 0};
    addLog("r=" + std::to_string(secondExchange(29, p)));
    const drivers::LastAnswer& a = link_.last();
    addLog(a.usable(2) ? chars(a.at(1), a.at(2)) : std::string("?"));
}

void Terminal::secondControllerInfo() {
    Busy busy(*this);
    const std::uint8_t p[] = {0, 0, 0};
    addLog("r=" + std::to_string(secondExchange(5, p)));
    const drivers::LastAnswer& a = link_.last();
    addLog(a.usable(2) ? chars(a.at(1), a.at(2)) : std::string("?"));
}

void Terminal::secondControllerReset() {
    Busy busy(*this);
    const std::uint8_t p[] = {0, 0, 0};
    if (linkFailed(secondExchange(9, p))) {
        reportCommandFault(13);
    }
    secondEncoderRead();
}

void Terminal::weightRead() {
    Busy busy(*this);
    host_.processEvents();
    if (!tenzo_) {
        tenzo_ =
            std::make_unique<drivers::TenzoLink>(files::resolve(workDir_, "tenzo.log"), [this](int ms) { sleep(ms); });
    }
    tenzo_->open(kTenzoPort, kTenzoBaud);
    const int result = tenzo_->exchange(kTenzoPort, 0x11, 0xC3, {});
    tenzo_->close(kTenzoPort);
    const auto w = result == 1 ? drivers::decodeWeight(tenzo_->answer()) : std::nullopt;
    if (w) {
        values.lastWeight = w->value;
        state.labels["Label38"].caption = "Вес=" + w->text;
    } else {
        state.labels["Label38"].caption = "Вес=?";
    }
    notify();
}

void Terminal::clearLog() {
    state.Memo1.clear();
    notify();
}

void Terminal::saveReport() {
    files::writeFileAtomic(files::resolve(workDir_, "report.txt"), text::cp1251Text(state.Memo1));
}

void Terminal::show() {
    state.Memo1.clear();
    if (settings_.Emul) {
        state.Memo1.push_back("ВНИМАНИЕ ! Режим эмуляции включен !");
    }
    state.Memo1.push_back("ЦК(мб)  подключен к COM" + std::to_string(settings_.CK_PORT));
    state.Memo1.push_back("ДК(лм)  подключен к COM" + std::to_string(settings_.CK2_PORT));
    state.Memo1.push_back("Камеры подключены к COM" + std::to_string(settings_.CAM_PORT));
    state.Memo1.push_back("ЧРП    подключен  к COM" + std::to_string(settings_.CHRP_PORT));
    state.Memo1.push_back("Тензодатчик подключен  к COM0");
    state.Edit8 = std::to_string(settings_.SDIV);
    state.shown = true;
    notify();
}

// --- button table ---------------------------------------------------------------------------

std::span<const ButtonBinding> Terminal::buttons() {
    static const ButtonBinding table[] = {
        {"Button2", "?", &Terminal::linkCheck},
        {"Button3", "?", &Terminal::pollGeometryUpperEnd},
        {"Button4", "Старт", &Terminal::pumpStart},
        {"Button5", "Стоп", &Terminal::pumpStop},
        {"Button6", "Слив ВКЛ", &Terminal::drainOn},
        {"Button7", "Слив ВЫКЛ", &Terminal::drainOff},
        {"Button8", "ГС+СЛИВ ВКЛ", &Terminal::hydraulicsOn},
        {"Button9", "ГС+СЛИВ ВЫКЛ", &Terminal::hydraulicsOff},
        {"Button10", "//\\\\", &Terminal::geometryUpToEnd},
        {"Button11", "/\\", &Terminal::geometryUpJog},
        {"Button12", "\\/", &Terminal::geometryDownJog},
        {"Button13", "<O>", &Terminal::centringGrip},
        {"Button14", "Опрос датчиков", &Terminal::pollAllSensors},
        {"Button15", "\\\\//", &Terminal::geometryDownToEnd},
        {"Button17", "Х", &Terminal::geometryStop},
        {"Button18", "ЧРП", &Terminal::driveLinkCheck},
        {"Button19", "ЦК", &Terminal::mainControllerLinkCheck},
        {"Button20", "Камера 1", &Terminal::camera1LinkCheck},
        {"Button21", "Камера 2", &Terminal::camera2LinkCheck},
        {"Button22", "Камера 3", &Terminal::camera3LinkCheck},
        {"Button23", "Камера 4", &Terminal::camera4LinkCheck},
        {"Button24", "Тензо", &Terminal::loadLinkCheck},
        {"Button25", "<<", &Terminal::carriageLeftToEnd},
        {"Button26", "<", &Terminal::carriageLeftJog},
        {"Button27", "X", &Terminal::carriageStop},
        {"Button28", "X", &Terminal::carriageStop},
        {"Button29", ">", &Terminal::carriageRightJog},
        {"Button30", ">>", &Terminal::carriageRightToEnd},
        {"Button31", "<>", &Terminal::centringOpen},
        {"Button32", "X", &Terminal::centringStop},
        {"Button33", "><", &Terminal::centringClose},
        {"Button34", "X", &Terminal::centringStop},
        {"Button35", ">><<", &Terminal::centringCloseAndWait},
        {"Button36", "<<>>", &Terminal::centringOpenAndWait},
        {"Button37", "Х", &Terminal::geometryStop},
        {"Button38", "Лазер ВКЛ", &Terminal::laserOn},
        {"Button39", "Лазер ВЫКЛ", &Terminal::laserOff},
        {"Button40", "Считать с камер", &Terminal::cameraReadOut},
        {"Button41", "<", &Terminal::dividerSet},
        {"Button42", "тест к2", &Terminal::secondControllerTest},
        {"Button43", "//\\\\", &Terminal::pressUpToEnd},
        {"Button44", "/\\", &Terminal::pressUpJog},
        {"Button45", "Х", &Terminal::pressStop},
        {"Button46", "Х", &Terminal::pressStop},
        {"Button47", "\\/", &Terminal::pressDownJog},
        {"Button48", "\\\\//", &Terminal::pressDownToContact},
        {"Button49", "до ADC", &Terminal::pressDownToForce},
        {"Button50", "?", &Terminal::encoder1Read},
        {"Button51", "Х", &Terminal::encoder1Reset},
        {"Button52", "?", &Terminal::encoder2Read},
        {"Button53", "Х", &Terminal::encoder2Reset},
        {"Button55", "?", &Terminal::pollGeometryLowerEnd},
        {"Button56", "?", &Terminal::pollPressUpperEnd},
        {"Button57", "?", &Terminal::pollPressTouch1},
        {"Button58", "?", &Terminal::pollPressTouch2},
        {"Button59", "?", &Terminal::pollPressTouch3},
        {"Button60", "?", &Terminal::adcRead},
        {"Button61", "?", &Terminal::pollCarriageLeftEnd},
        {"Button62", "?", &Terminal::pollCarriageRightEnd},
        {"Button63", "?", &Terminal::pollCentringClosed},
        {"Button65", "Замер геометрии", &Terminal::geometryMeasurement},
        {"Button66", "Результат сил. исп", &Terminal::forceResultRead},
        {"Button67", "/\\3", &Terminal::pressLiftOff},
        {"Button72", "Тензо", &Terminal::weightRead},
        {"Button73", "1-255 зам.", &Terminal::secondControllerPulses},
        {"Button74", "Настройка камер", &Terminal::cameraSetup},
        {"Button75", "i", &Terminal::secondControllerInfo},
        {"Button76", "х", &Terminal::secondControllerReset},
        {"Button77", "?", &Terminal::secondSensorRead},
        {"Button78", "?", &Terminal::secondEncoderRead},
        {"Button79", "\"долгая\" геометрия", &Terminal::longGeometry},
        {"Button80", "x", &Terminal::clearLog},
        {"Button81", "ЦК2", &Terminal::secondControllerLinkCheck},
        {"Button82", "?/\\3", &Terminal::pressHeightRead},
        {"Button83", ">>>", &Terminal::sendUdp},
        {"Button85", "Задать", &Terminal::pumpFrequencySet},
    };
    return table;
}

bool Terminal::click(const std::string& buttonName) {
    for (const ButtonBinding& b : buttons()) {
        if (buttonName == b.name) {
            (this->*b.action)();
            return true;
        }
    }
    return false;
}

} // namespace veltron::rig
