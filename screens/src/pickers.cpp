#include "screens/pickers.h"

#include "platform/files.h"
#include "platform/text.h"

#include <stdexcept>

namespace veltron {
namespace {
constexpr int kRows = 12;

std::string cutTo255(const std::string& utf8) {
    // Count code points, not bytes: the list files are one byte per character.
    std::size_t chars = 0;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        if ((static_cast<unsigned char>(utf8[i]) & 0xC0) != 0x80) {
            if (chars == 255) {
                return utf8.substr(0, i);
            }
            ++chars;
        }
    }
    return utf8;
}
} // namespace

PickerPage pickerPage(int current, int count) {
    PickerPage p{};
    p.pages = count <= 0 ? 1 : (count + kRows - 1) / kRows;
    p.page = current <= 0 ? 1 : (current + kRows - 1) / kRows;
    p.firstLine = ((current - 1) / kRows) * kRows + 1;
    p.row = current - p.firstLine;
    return p;
}

int pickerMove(int key, int current, int count) {
    switch (key) {
    case 8:
        return current - 1;
    case 2:
        return current + 1;
    case 9:
        return current - kRows;
    case 3:
        return current + kRows > count ? count : current + kRows;
    default:
        return current;
    }
}

KeyMask pickerKeys(int current, int count) {
    const PickerPage p = pickerPage(current, count);
    KeyMask m{};
    m[12] = true;
    m[15] = true;
    m[8] = current != 1;
    m[9] = p.page != 1;
    m[3] = p.page != p.pages;
    m[2] = current != count;
    return m;
}

int pickerStart(int current, int count) {
    if (count <= 0 || current < 1) {
        return 1;
    }
    return current > count ? count : current;
}

Pickers::Pickers(Screen& screen, Keypad& keypad) : screen_(screen), keypad_(keypad) {}

std::vector<std::string> Pickers::readList(const std::filesystem::path& file) {
    const auto bytes = files::readFile(file);
    if (!bytes) {
        throw std::runtime_error("Не удалось открыть список " + file.string());
    }
    std::vector<std::string> lines = text::cp1251Lines(*bytes);
    for (auto& l : lines) {
        l = cutTo255(l);
    }
    return lines;
}

void Pickers::drawNumberField(const std::string& entered) {
    screen_.framedPanel(60, 480, 920, 590);
    Canvas& c = screen_.canvas();
    c.setFont("Impact", 38, colors::blue, false);
    c.text(82, 500, "Номер:");
    c.text(242, 500, entered);
}

std::string Pickers::numberInput(int maxLength, const std::string& defaultValue) {
    Canvas& c = screen_.canvas();
    keypad_.saveMask("inp1");
    c.save(screen_.paths().work("Temp\\inp1.bmp"));

    keypad_.allLive();
    keypad_.setLive(14, false);
    keypad_.setLive(15, false);
    keypad_.setLive(16, false);
    keypad_.drawKeypad();
    screen_.stripes();
    screen_.banner("Ввод номера", 40, 18);
    keypad_.drawKeypad();
    keypad_.caption("Отмена", "", 11);
    keypad_.caption("Ввод", "номера", 12);
    keypad_.caption("Удаление", "номера", 13);

    std::string entered;
    drawNumberField(entered);
    int key = 0;
    while (key != 11 && key != 12) {
        key = keypad_.poll();
        if ((key >= 1 && key <= 10) && static_cast<int>(entered.size()) < maxLength) {
            entered.push_back(key == 10 ? '0' : static_cast<char>('0' + key));
            drawNumberField(entered);
        } else if (key == 13) {
            entered.clear();
            drawNumberField(entered);
        }
    }
    keypad_.loadMask("inp1");
    c.load(screen_.paths().work("Temp\\inp1.bmp"));
    keypad_.resetLastKey();
    return key == 11 ? defaultValue : entered;
}

void Pickers::highlight(int row, bool on) {
    const int y1 = row * 34 + 216;
    const int y2 = row * 34 + 246;
    if (on) {
        screen_.canvas().replaceColor(106, y1, 870, y2, colors::white, colors::aqua);
    } else {
        screen_.canvas().replaceColor(106, y1, 870, y2, colors::aqua, colors::white);
    }
}

void Pickers::drawPage(const std::vector<std::string>& lines, int current) {
    Canvas& c = screen_.canvas();
    const int count = static_cast<int>(lines.size());
    const PickerPage p = pickerPage(current, count);
    screen_.framedPanel(60, 184, 920, 650);
    c.setFont("Сourier", 20, colors::black, false);
    for (int i = p.firstLine; i <= p.firstLine + kRows - 1 && i <= count; ++i) {
        c.text(120, (i - p.firstLine) * 34 + 215, lines[static_cast<std::size_t>(i - 1)]);
    }
    if (details_) {
        details_(current);
    }
    screen_.framedPanel(60, 680, 920, 750);
    c.setFont("Impact", 16, colors::black, false);
    c.text(80, 685, "Всего вариантов:");
    c.text(290, 685, "Всего страниц:");
    c.text(500, 685, "Текущий вариант:");
    c.text(725, 685, "Текущая страница:");
    c.setFont("Impact", 12, colors::black, false);
    c.text(80, 719, std::to_string(count));
    c.text(290, 719, std::to_string(p.pages));
    const std::string currentText =
        current >= 1 && current <= count ? lines[static_cast<std::size_t>(current - 1)] : std::string();
    c.text(500, 719, "№" + std::to_string(current) + ":" + currentText);
    c.text(725, 719, std::to_string(p.page));
    highlight(p.row, true);

    const KeyMask m = pickerKeys(current, count);
    for (int k : {8, 9, 3, 2}) {
        keypad_.setLive(k, m[static_cast<std::size_t>(k)]);
    }
    keypad_.drawKeypad();
    keypad_.caption("Отмена", "", 12);
    keypad_.caption("Выбор", "", 15);
    if (keypad_.live(8)) {
        keypad_.caption("Строка", "вверх", 8);
    }
    if (keypad_.live(9)) {
        keypad_.caption("Страница", "вверх", 9);
    }
    if (keypad_.live(3)) {
        keypad_.caption("Страница", "вниз", 3);
    }
    if (keypad_.live(2)) {
        keypad_.caption("Строка", "вниз", 2);
    }
}

int Pickers::listPicker(const std::string& file, const std::string& title, int titleX, int current) {
    screen_.push();
    screen_.stripes();
    screen_.banner(title, titleX, 18);
    std::vector<std::string> lines;
    try {
        lines = readList(screen_.paths().work(file));
    } catch (...) {
        screen_.pop();
        throw;
    }
    const int count = static_cast<int>(lines.size());
    int line = pickerStart(current, count);

    keypad_.allDead();
    for (int k : {12, 15, 8, 2}) {
        keypad_.setLive(k, true);
    }
    drawPage(lines, line);
    int key = 0;
    while (key != 12 && key != 15) {
        key = keypad_.poll();
        const PickerPage p = pickerPage(line, count);
        if (key == 8) {
            if (p.row != 0) {
                highlight(p.row, false);
            }
            line = pickerMove(8, line, count);
            drawPage(lines, line);
        } else if (key == 2) {
            if (p.row == kRows - 1) {
                line = pickerMove(2, line, count);
                drawPage(lines, line);
            } else if (line < count) {
                highlight(p.row, false);
                line = pickerMove(2, line, count);
                drawPage(lines, line);
            }
        } else if (key == 9 || key == 3) {
            line = pickerMove(key, line, count);
            drawPage(lines, line);
        }
    }
    cancelled_ = key == 12;
    screen_.pop();
    // An empty list has no line to choose; the caller's line comes back as on cancel.
    return key == 15 && count > 0 ? line : current;
}

} // namespace veltron
