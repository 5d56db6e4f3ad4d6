#include "screens/screen.h"

#include "platform/files.h"
#include "screens/keypad.h"

namespace veltron {

std::filesystem::path Paths::bmp(const std::string& name) const {
    return files::resolve(programFolder, "BMP\\" + name);
}

std::filesystem::path Paths::work(const std::string& windowsName) const {
    return files::resolve(workDir, windowsName);
}

Screen::Screen(Canvas& canvas, const Settings& settings, const Paths& paths, UiHost& host, WorkLog& log,
               ConsoleLog& console)
    : canvas_(canvas), settings_(settings), paths_(paths), host_(host), log_(log), console_(console) {}

void Screen::fillBackground() {
    const int w = canvas_.width() + 1;
    const int h = canvas_.height() + 1;
    canvas_.fillRect(-1, -1, w + 1, h + 1, settings_.Emul ? colors::silver : colors::blue);
}

void Screen::fillScreen(Rgb color) {
    canvas_.fillRect(0, 0, canvas_.width() + 1, canvas_.height() + 1, color);
}

void Screen::framedPanel(int x1, int y1, int x2, int y2) {
    const bool theme1 = settings_.VThema == 1;
    canvas_.fillRect(x1 + 10, y1 + 10, x2 + 10, y2 + 10, theme1 ? colors::skyBlue : colors::grey);
    canvas_.fillRect(x1 - 2, y1 - 2, x2 + 2, y2 + 2, theme1 ? colors::white : colors::yellow);
    canvas_.fillRect(x1 - 1, y1 - 1, x2 + 1, y2 + 1, theme1 ? colors::blue : colors::green);
    canvas_.fillRect(x1, y1, x2, y2, colors::white);
}

void Screen::banner(const std::string& text, int x, int y) {
    const bool theme1 = settings_.VThema == 1;
    framedPanel(60, 8, 920, 100);
    canvas_.setFont("Impact", 36, theme1 ? colors::skyBlue : colors::pink, true);
    canvas_.text(x + 52, y + 2, text);
    canvas_.setFont("Impact", 36, theme1 ? colors::blue : colors::black, true);
    canvas_.text(x + 50, y, text);
}

void Screen::stripes() {
    Rgb c = colors::red;
    if (settings_.VThema == 1) {
        c = colors::black;
    } else if (settings_.VThema == 0) {
        c = colors::white;
    }
    for (int y = 1; y <= 767; y += 2) {
        canvas_.line(0, y, 1427, y, c);
    }
}

void Screen::statusPanel(const std::string& train, const std::string& bogie, const std::string& series,
                         const std::string& springs, const std::string& sets) {
    framedPanel(60, 680, 920, 750);
    canvas_.setFont("Impact", 16, colors::black, false);
    canvas_.text(80, 685, "Поезд №");
    canvas_.text(240, 685, "Тип тележки:");
    canvas_.text(420, 685, "Серия:");
    canvas_.text(580, 685, "Пружин за смену:");
    canvas_.text(780, 685, "Комплектов: ");
    canvas_.setFont("Impact", 12, colors::black, false);
    canvas_.text(80, 719, train);
    canvas_.text(240, 719, bogie);
    canvas_.text(420, 719, series);
    canvas_.text(580, 719, springs);
    canvas_.text(780, 719, sets);
}

void Screen::shadowedText(int x, int y, const std::string& text, int dx, int dy, Rgb shadow) {
    const FontSpec own = canvas_.font();
    FontSpec s = own;
    s.color = shadow;
    canvas_.setFont(s);
    canvas_.text(x + dx, y + dy, text);
    canvas_.setFont(own);
    canvas_.text(x, y, text);
}

void Screen::picture(const std::string& name, int x, int y) {
    const auto file = paths_.bmp(name);
    if (!canvas_.drawPicture(file, x, y)) {
        log_.write("Не найден рисунок " + file.string());
        console_.line("Не найден рисунок " + file.string());
    }
}

void Screen::push() {
    const std::string n = std::to_string(depth_);
    if (keypad_ != nullptr) {
        keypad_->saveMask(n);
    }
    canvas_.save(paths_.work("Temp\\S" + n + ".bmp"));
    ++depth_;
}

void Screen::pop() {
    if (depth_ == 0) {
        if (!popUnderflowLogged_) {
            log_.write("Восстановление экрана без сохраненного экрана пропущено.");
            popUnderflowLogged_ = true;
        }
        return;
    }
    --depth_;
    const std::string n = std::to_string(depth_);
    if (keypad_ != nullptr) {
        keypad_->loadMask(n);
    }
    canvas_.load(paths_.work("Temp\\S" + n + ".bmp"));
}

void Screen::delay(int ms) {
    const std::uint64_t start = host_.tickMs();
    while (host_.tickMs() - start < static_cast<std::uint64_t>(ms)) {
        host_.processEvents();
        // The original spun here; a short sleep keeps the delay's granularity at 1 ms
        // without burning a core.
        host_.sleepMs(1);
    }
}

} // namespace veltron
