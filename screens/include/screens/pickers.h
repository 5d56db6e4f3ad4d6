// The two keypad dialogs behind every operator choice: the number input (train number) and
// the list picker, which shows the lines of a text list twelve to a page. Both are modal:
// they poll until one of their end keys and give back the screen and key mask they found.
#pragma once

#include "screens/keypad.h"
#include "screens/screen.h"

#include <functional>
#include <string>
#include <vector>

namespace veltron {

// Where the list picker stands: pages of twelve lines, numbered from 1.
struct PickerPage {
    int pages;     // at least 1
    int page;      // of the current line, at least 1
    int firstLine; // first line of that page
    int row;       // current line - first line, 0..11
};
PickerPage pickerPage(int current, int count);
// The current line after key 8 (up), 2 (down), 9 (page up) or 3 (page down).
int pickerMove(int key, int current, int count);
// The keys the picker offers at a line: 8 unless on line 1, 9 unless on page 1, 3 unless on
// the last page, 2 unless on the last line, and always 12 and 15.
KeyMask pickerKeys(int current, int count);
// The current line a picker starts on: the caller's line brought into 1..count (1 for an
// empty list), so a fresh installation's bogie 0 or a shrunk list never points outside.
int pickerStart(int current, int count);

class Pickers {
public:
    Pickers(Screen& screen, Keypad& keypad);

    std::string numberInput(int maxLength, const std::string& defaultValue);
    // Reads the list file (CP1251 lines, each cut to 255 characters) and returns the line
    // chosen with key 15, or `current` when left with key 12 (cancelled() is then true).
    // Throws when the file cannot be read.
    int listPicker(const std::string& file, const std::string& title, int titleX, int current);
    bool cancelled() const { return cancelled_; }

    // With a details strip set (a spring type being chosen), the strip is drawn for the
    // current line on every page drawn.
    void setDetailsStrip(std::function<void(int line)> strip) { details_ = std::move(strip); }

    static std::vector<std::string> readList(const std::filesystem::path& file);

private:
    void drawNumberField(const std::string& entered);
    void drawPage(const std::vector<std::string>& lines, int current);
    void highlight(int row, bool on);

    Screen& screen_;
    Keypad& keypad_;
    bool cancelled_ = false;
    std::function<void(int)> details_;
};

} // namespace veltron
