// A temporary installation for the result pages, sheets and archives: pictures of the
// build, a catalogue of one bogie, one spring type and set types of 3, 4 and 5 groups, the
// result tables in a fresh database, the operator screen on a scripted host, and a printer
// that only records what it was given (or fails when told to).
#pragma once

#include "results/reports.h"
#include "sequences/grading.h"

#include <QImage>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace veltron::testing {

struct ScriptedHost : UiHost {
    Keypad* keypad = nullptr;
    std::string script;              // characters typed, the next one only once the keypad took the last
    std::function<void()> beforeKey; // a look at the screen right before each typed character
    std::function<bool()> typeWhen;  // typing waits while this says no
    std::uint64_t now = 0;
    void processEvents() override {
        const bool pollPump = pollPause;
        pollPause = false;
        if (pollPump && keypad != nullptr && !script.empty() && keypad->queue().empty() && (!typeWhen || typeWhen())) {
            if (beforeKey) {
                beforeKey();
            }
            keypad->keyboardCharacter(script.front());
            script.erase(0, 1);
        }
    }
    void sleepMs(int ms) override {
        now += static_cast<std::uint64_t>(ms);
        pollPause = ms == 50;
    }
    bool pollPause = false;
    std::uint64_t tickMs() override { return now; }
    void refresh() override {}
    void forceNumLock() override {}
    void beep() override {}
    void restoreDisplay() override {}
};

struct RecordingPrinter : SheetPrinter {
    std::vector<std::string> jobs;
    std::vector<Sheet> sheets;
    std::string failWith; // non-empty: every print fails with this text
    void print(const Sheet& sheet, const std::string& jobName) override {
        if (!failWith.empty()) {
            throw PrintError(failWith);
        }
        jobs.push_back(jobName);
        sheets.push_back(sheet);
    }
};

struct ReportFixture {
    std::filesystem::path root;
    Settings settings;
    text::DateTime clock{2026, 12, 9, 14, 5, 7, 0};
    ConsoleLog console{false, [this] { return clock; }};
    std::unique_ptr<WorkLog> log;
    Canvas canvas{1366, 768};
    ScriptedHost host;
    std::unique_ptr<Screen> screen;
    std::unique_ptr<Keypad> keypad;
    Catalogue catalogue;
    std::unique_ptr<db::Connection> connection;
    CurrentRecords records;
    std::unique_ptr<Reports> reports;
    RecordingPrinter* printer = nullptr; // owned by reports->output()
    std::vector<std::filesystem::path> opened;

    ReportFixture();
    ~ReportFixture();

    std::filesystem::path work() const { return root / "work"; }
    std::string logText() const;

    // Spring type 1: norms 100..110 for every slot but the height (250..320), rod 12.5.
    // Set types 1, 2, 3 with Ngr 3, 4, 5 and bands 99..100, 100.05..102, 102..103, 104..105, 106..107.
    void fillCatalogue();
    _xZamer spring(const std::string& name, float value) const;
    _xKZamer set(const std::string& name, int setType, float value) const;
    void appendSprings(int count);
    void appendSets(int count, float value, int setType = 1);
};

// Whether the text, drawn with the font at (x, y) on a white canvas, left exactly these ink
// pixels on the page: the number of ink pixels that differ (0 when it is there), or -1
// when the text has no ink at all.
int textMismatch(const Canvas& page, int x, int y, const std::string& text, const FontSpec& font);

} // namespace veltron::testing
