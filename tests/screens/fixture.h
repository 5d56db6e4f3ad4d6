// A screen on a canvas of the layout's size, in a temporary installation whose BMP folder
// holds the built pictures, driven by a scripted host: every event pump hands the next
// scripted character to the keypad, and time only moves when the screens sleep.
#pragma once

#include "../support/scripted_host.h"
#include "screens/keypad.h"
#include "screens/pickers.h"
#include "screens/screen.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <unistd.h>

namespace veltron::testing {

struct ScreenFixture {
    std::filesystem::path root;
    Settings settings;
    text::DateTime clock{2026, 2, 1, 9, 5, 7, 0};
    ConsoleLog console{true, [this] { return clock; }};
    std::unique_ptr<WorkLog> log;
    Canvas canvas{1366, 768};
    ScriptedHost host;
    std::unique_ptr<Screen> screen;
    std::unique_ptr<Keypad> keypad;
    std::unique_ptr<Pickers> pickers;

    explicit ScreenFixture(int theme = 0) {
        std::string t = (std::filesystem::temp_directory_path() / "veltron-screen-XXXXXX").string();
        root = ::mkdtemp(t.data());
        std::filesystem::create_directories(root / "bin");
        std::filesystem::create_directories(root / "work" / "Temp");
        std::filesystem::copy(BMP_DIR, root / "bin" / "BMP");
        settings.VThema = static_cast<std::uint8_t>(theme);
        settings.NoLOG = false;
        log = std::make_unique<WorkLog>(
            root / "work" / "Log.txt", true, [this] { return clock; }, console);
        screen = std::make_unique<Screen>(canvas, settings, Paths{root / "bin", root / "work"}, host, *log, console);
        keypad = std::make_unique<Keypad>(*screen, [this] { return clock; });
        host.keypad = keypad.get();
        pickers = std::make_unique<Pickers>(*screen, *keypad);
    }
    ~ScreenFixture() { std::filesystem::remove_all(root); }

    std::string logText() const;
};

} // namespace veltron::testing
