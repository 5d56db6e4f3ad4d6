#include "screens/keypad.h"

#include "platform/files.h"
#include "screens/screen.h"

#include <cstdio>
#include <stdexcept>

namespace veltron {
namespace {

constexpr std::array<KeyInfo, kKeyCount> kKeys = {{
    {'1', '1', 999, 567, 999, 1075, 567, 643},
    {'2', '2', 1091, 567, 1092, 1168, 567, 643},
    {'3', '3', 1183, 567, 1185, 1261, 567, 643},
    {'4', '4', 999, 453, 999, 1075, 453, 529},
    {'5', '5', 1091, 453, 1092, 1168, 453, 529},
    {'6', '6', 1183, 453, 1185, 1261, 453, 529},
    {'7', '7', 999, 339, 999, 1075, 339, 415},
    {'8', '8', 1091, 339, 1092, 1168, 339, 415},
    {'9', '9', 1183, 339, 1185, 1261, 339, 415},
    {'0', '0', 999, 681, 999, 1167, 681, 757},
    {'*', 'z', 1183, 225, 1185, 1261, 225, 301},
    {'/', '#', 1091, 225, 1092, 1168, 225, 301},
    {'-', 'a', 1275, 225, 1276, 1352, 225, 301},
    {'+', 'b', 1275, 339, 1276, 1352, 339, 528},
    {kEnter, 'c', 1275, 567, 1276, 1352, 567, 756},
    {'.', 'd', 1183, 681, 1185, 1261, 681, 757},
}};

std::string hex2(char c) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02X", static_cast<unsigned char>(c));
    return buf;
}

std::string printable(char c) {
    return std::string(1, c);
}

} // namespace

const std::array<KeyInfo, kKeyCount>& keyTable() {
    return kKeys;
}

int keyForCharacter(char c) {
    switch (c) {
    case kEnter:
        return 15;
    case '*':
        return 11;
    case '+':
        return 14;
    case ',':
    case '.':
        return 16;
    case '-':
        return 13;
    case '/':
        return 12;
    case '0':
        return 10;
    default:
        return c >= '1' && c <= '9' ? c - '0' : 0;
    }
}

char characterAt(int x, int y) {
    if (y <= 12 && x >= 1348) {
        return kEsc;
    }
    for (const auto& k : kKeys) {
        if (x >= k.hitX1 && x <= k.hitX2 && y >= k.hitY1 && y <= k.hitY2) {
            return k.character;
        }
    }
    return 0;
}

std::string clockTime(const text::DateTime& t) {
    std::string s = text::longTime(t);
    if (s.size() > 1 && s[1] == ':') {
        s.insert(0, "0");
    }
    return s;
}

std::string clockDate(const text::DateTime& t) {
    std::string s = text::shortDate(t);
    if (s.size() > 1 && s[1] == '.') {
        s.insert(0, "0");
    }
    return s;
}

Keypad::Keypad(Screen& screen, Clock clock) : screen_(screen), clock_(std::move(clock)) {
    screen_.attachKeypad(*this);
}

bool Keypad::keyboardCharacter(char c) {
    if (queue_.size() >= kQueueLimit) {
        screen_.host().beep();
        return false;
    }
    queue_.push_back(c);
    return true;
}

void Keypad::mousePress(int x, int y) {
    const char c = characterAt(x, y);
    if (c == 0) {
        return;
    }
    queue_.push_back(c);
    screen_.console().line("Нажата  мышью клавиша:" + printable(c) + " с кодом:" + hex2(c) + "h");
}

void Keypad::allDead() {
    mask_.fill(false);
}

void Keypad::allLive() {
    mask_.fill(true);
}

void Keypad::setLive(int key, bool live) {
    if (key >= 1 && key <= kKeyCount) {
        mask_[static_cast<std::size_t>(key)] = live;
    }
}

void Keypad::saveMask(const std::string& name) const {
    std::vector<std::string> lines;
    for (int k = 1; k <= kKeyCount; ++k) {
        lines.emplace_back(mask_[static_cast<std::size_t>(k)] ? "1" : "0");
    }
    files::writeFileAtomic(screen_.paths().work("TEMP\\" + name + ".msk"), text::cp1251Text(lines));
}

void Keypad::loadMask(const std::string& name) {
    const auto file = screen_.paths().work("TEMP\\" + name + ".msk");
    const auto bytes = files::readFile(file);
    if (!bytes) {
        throw std::runtime_error("Не удалось прочитать маску клавиш " + file.string());
    }
    const auto lines = text::cp1251Lines(*bytes);
    if (lines.size() < kKeyCount) {
        throw std::runtime_error("Неполная маска клавиш " + file.string());
    }
    for (int k = 1; k <= kKeyCount; ++k) {
        mask_[static_cast<std::size_t>(k)] = text::trim(lines[static_cast<std::size_t>(k - 1)]) == "1";
    }
}

void Keypad::drawKey(int key, int state) {
    if (key < 1 || key > kKeyCount) {
        return;
    }
    const KeyInfo& k = kKeys[static_cast<std::size_t>(key - 1)];
    const std::string letter(1, k.pictureLetter);
    std::string name;
    switch (state) {
    case 0:
        name = "_" + letter + "np.bmp";
        break;
    case 2:
        name = letter + "p.bmp";
        break;
    default:
        name = letter + "np.bmp";
        break;
    }
    screen_.picture(name, k.x, k.y);
}

void Keypad::drawKeypad() {
    screen_.host().forceNumLock();
    Canvas& c = screen_.canvas();
    c.fillRect(988, 181, 1361, 767, colors::white);
    c.fillRect(989, 182, 1360, 766, colors::black);
    c.fillRect(990, 183, 1359, 765, colors::white);
    c.fillRect(991, 184, 1358, 764, colors::silver);
    screen_.picture("_nnp.bmp", 998, 225);
    c.setFont("CourierNew", 24, colors::keypadHeader, false);
    c.text(998, 185, screen_.settings().Emul ? "[E]" : "[ВТ]");
    for (int k = 1; k <= kKeyCount; ++k) {
        drawKey(k, live(k) ? 1 : 0);
    }
}

void Keypad::caption(const std::string& line1, const std::string& line2, int key) {
    if (key < 1 || key > kKeyCount) {
        return;
    }
    Canvas& c = screen_.canvas();
    const KeyInfo& k = kKeys[static_cast<std::size_t>(key - 1)];
    const int X = k.x - 339;
    const int Y = k.y - 1;
    c.setFont("Times new roman", 12, colors::white, true);
    const int x1 = X - c.textWidth(line1) / 2 + 5 + 372;
    const int x2 = X - c.textWidth(line2) / 2 + 5 + 372;
    c.text(x1, Y - 34, line1);
    c.text(x2, Y - 18, line2);
    c.setFont("Times new roman", 12, colors::black, true);
    c.text(x1, Y - 35, line1);
    c.text(x2, Y - 19, line2);
    c.setFont("Times new roman", 12, colors::black, false);
}

bool Keypad::keyAvailable() {
    screen_.host().forceNumLock();
    screen_.host().processEvents();
    return !queue_.empty();
}

int Keypad::poll() {
    UiHost& host = screen_.host();
    host.sleepMs(50);
    host.processEvents();
    if (exitRequest_) {
        const int status = *exitRequest_;
        exitRequest_.reset();
        if (forcedExit_) {
            forcedExit_();
        }
        host.restoreDisplay();
        throw ProgramExit(status);
    }
    int key = 0;
    if (!queue_.empty()) {
        const char c = queue_.front();
        queue_.erase(0, 1);
        if (c == kEsc) {
            screen_.log().write("Принудительноее завершение работы (ESC).");
            if (forcedExit_) {
                forcedExit_();
            }
            host.restoreDisplay();
            throw ProgramExit(0);
        }
        key = keyForCharacter(c);
        if (key >= 1 && key <= kKeyCount && live(key)) {
            screen_.console().line("Нажата клавиша :\"" + printable(c) + "\" код :" + hex2(c));
            drawKey(key, 2);
            host.refresh();
            screen_.delay(100);
            drawKey(key, 1);
            host.refresh();
        } else {
            key = 0;
        }
    }
    drawCorner();
    host.refresh();
    lastKey_ = key;
    return key;
}

int Keypad::waitForLiveKey() {
    for (;;) {
        const int k = poll();
        if (k != 0) {
            return k;
        }
    }
}

void Keypad::drawCorner() {
    const text::DateTime now = clock_();
    const std::string t = clockTime(now);
    const std::string d = clockDate(now);
    const std::string mouse = std::to_string(mouseX_) + " " + std::to_string(mouseY_);
    Canvas& c = screen_.canvas();
    // The same texts on an untouched canvas would paint the very same pixels; skipping
    // them keeps the idle menu loop cheap.
    const std::string stamp = t + d + (screen_.settings().ShowMousePos ? mouse : "");
    if (stamp == lastCorner_ && c.generation() == lastCornerGeneration_) {
        return;
    }
    screen_.framedPanel(1152, 4, 1348, 100);
    // The mono face that stands in for the original one is wider; a smaller size keeps the
    // time inside its panel.
    int size = 32;
    c.setFont("CourierNew", size, colors::white, true);
    while (size > 20 && 1162 + c.textWidth(t) > 1344) {
        c.setFont("CourierNew", --size, colors::white, true);
    }
    c.text(1164, 16, t);
    c.setFont("CourierNew", size, colors::black, true);
    c.text(1162, 14, t);
    c.setFont("CourierNew", 10, colors::white, true);
    c.text(1216, 70, d);
    c.setFont("CourierNew", 10, colors::black, true);
    c.text(1215, 69, d);

    c.fillRect(1348, 2, 1359, 14, colors::white);
    c.fillRect(1349, 3, 1358, 13, colors::silver);
    c.setFont("CourierNew", 10, colors::grey, false);
    c.text(1349, -2, "x");

    if (screen_.settings().ShowMousePos) {
        screen_.framedPanel(1220, 114, 1349, 166);
        c.setFont("Courier", 16, colors::black, false);
        c.text(1230, 120, "Курсор:");
        c.text(1230, 140, mouse);
    }
    lastCorner_ = stamp;
    lastCornerGeneration_ = c.generation();
}

} // namespace veltron
