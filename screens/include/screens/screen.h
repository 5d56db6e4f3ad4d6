// The operator screen: the canvas of the main window with the screen primitives (framed
// panels, title banner, stripes, status panel, pictures of the BMP folder) and the screen
// stack.
//
// Screen stack: every sub-screen pushes on entry (the canvas picture goes to Temp\S<depth>.bmp,
// the key mask to TEMP\<depth>.msk, depth + 1) and pops on exit (depth - 1, both loaded
// back), so it returns exactly the picture and key mask it found. A pop at depth 0 has no
// matching push; it does nothing and says so once in the work log.
#pragma once

#include "app/logs.h"
#include "app/settings.h"
#include "platform/canvas.h"
#include "screens/host.h"

#include <filesystem>
#include <string>

namespace veltron {

class Keypad;

struct Paths {
    std::filesystem::path programFolder; // setup.ini, state.ini, BMP
    std::filesystem::path workDir;       // everything else
    std::filesystem::path bmp(const std::string& name) const;
    std::filesystem::path work(const std::string& windowsName) const;
};

class Screen {
public:
    Screen(Canvas& canvas, const Settings& settings, const Paths& paths, UiHost& host, WorkLog& log,
           ConsoleLog& console);

    void attachKeypad(Keypad& keypad) { keypad_ = &keypad; }

    Canvas& canvas() { return canvas_; }
    UiHost& host() { return host_; }
    const Settings& settings() const { return settings_; }
    const Paths& paths() const { return paths_; }
    WorkLog& log() { return log_; }
    ConsoleLog& console() { return console_; }

    // Fills the whole window area in the background colour of the mode (blue on the rig,
    // silver in emulation).
    void fillBackground();
    void fillScreen(Rgb color);
    void fillRect(int x1, int y1, int x2, int y2, Rgb color) { canvas_.fillRect(x1, y1, x2, y2, color); }
    void framedPanel(int x1, int y1, int x2, int y2);
    void banner(const std::string& text, int x, int y);
    void stripes();
    void statusPanel(const std::string& train, const std::string& bogie, const std::string& series,
                     const std::string& springs, const std::string& sets);
    void shadowedText(int x, int y, const std::string& text, int dx, int dy, Rgb shadow);
    // A picture of the BMP folder; a missing one is skipped with one work-log line, since
    // the pictures only decorate.
    void picture(const std::string& name, int x, int y);

    void push();
    void pop();
    int depth() const { return depth_; }

    // Waits while events are processed, until the clock has advanced by ms.
    void delay(int ms);
    void refresh() { host_.refresh(); }

private:
    Canvas& canvas_;
    const Settings& settings_;
    Paths paths_;
    UiHost& host_;
    WorkLog& log_;
    ConsoleLog& console_;
    Keypad* keypad_ = nullptr;
    int depth_ = 0;
    bool popUnderflowLogged_ = false;
};

} // namespace veltron
