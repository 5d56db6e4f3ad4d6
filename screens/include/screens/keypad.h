// The keypad: sixteen keys that the operator presses on the PC's numeric block or touches
// in the picture at the right edge of the screen. Characters are queued (at most 20 from
// the keyboard; a further key only beeps) and a poll turns the first one into a key number
// 1..16, or 0 when it maps to no key or to a dead one. The key mask says which keys the
// screen shown offers.
#pragma once

#include "app/logs.h"
#include "platform/text.h"

#include <array>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace veltron {

class Screen;

struct KeyInfo {
    char character;     // the first character of the key
    char pictureLetter; // letter of its picture files
    int x, y;           // top left corner of its picture
    int hitX1, hitX2;   // hit box, inclusive
    int hitY1, hitY2;
};

inline constexpr char kEsc = 27;
inline constexpr char kEnter = 13;
inline constexpr int kKeyCount = 16;
inline constexpr std::size_t kQueueLimit = 20;

// Key k at index k - 1.
const std::array<KeyInfo, kKeyCount>& keyTable();
// The key number of a character (Enter 15, "*" 11, "+" 14, "," and "." 16, "-" 13, "/" 12,
// "0" 10, "1".."9" 1..9), 0 for any other character.
int keyForCharacter(char c);
// The character a mouse press at (x, y) queues: the close mark (y <= 12, x >= 1348) gives
// Esc, a key's hit box its first character; 0 outside every box.
char characterAt(int x, int y);
// The clock texts of the top right corner: a "0" before a one-digit hour or day.
std::string clockTime(const text::DateTime& t);
std::string clockDate(const text::DateTime& t);

using KeyMask = std::array<bool, kKeyCount + 1>; // entries 1..16

class Keypad {
public:
    Keypad(Screen& screen, Clock clock);

    // Input from the window. A keyboard character is refused (false) when 20 wait already.
    bool keyboardCharacter(char c);
    void mousePress(int x, int y);
    void mouseMove(int x, int y) {
        mouseX_ = x;
        mouseY_ = y;
    }
    const std::string& queue() const { return queue_; }
    void clearQueue() { queue_.clear(); }

    void allDead();
    void allLive();
    void setLive(int key, bool live);
    bool live(int key) const { return key >= 1 && key <= kKeyCount && mask_[static_cast<std::size_t>(key)]; }
    const KeyMask& mask() const { return mask_; }
    void setMask(const KeyMask& m) { mask_ = m; }

    // Mask files: 16 lines of 1 (live) or 0 (dead) in TEMP\<name>.msk. Loading throws when
    // the file is missing or short.
    void saveMask(const std::string& name) const;
    void loadMask(const std::string& name);

    void drawKeypad();
    void drawKey(int key, int state); // 0 dead, 1 live, 2 pressed
    void caption(const std::string& line1, const std::string& line2, int key);

    // One poll: a 50 ms pause, pending events, then the first queued character as a key
    // number (0 for none); Esc ends the program. The clock and the close mark are redrawn.
    int poll();
    // Polls until one of the live keys is pressed and returns it.
    int waitForLiveKey();
    bool keyAvailable();

    // Called before the program ends on Esc, after the log line (the rig switches its
    // hydraulics off there).
    void setForcedExitHook(std::function<void()> hook) { forcedExit_ = std::move(hook); }
    // Asks the running procedure to end the program: the next poll switches the rig off (the
    // forced-exit hook), restores the display and ends with the status. For buttons of other
    // windows, which cannot unwind the main flow from inside their click.
    void requestExit(int status) { exitRequest_ = status; }
    int lastKey() const { return lastKey_; }
    void resetLastKey() { lastKey_ = 0; }

private:
    // The clock, the close mark and, with ShowMousePos, the last pointer position.
    void drawCorner();

    Screen& screen_;
    Clock clock_;
    std::string queue_;
    KeyMask mask_{};
    int mouseX_ = 0, mouseY_ = 0;
    int lastKey_ = 0;
    std::string lastCorner_;
    std::uint64_t lastCornerGeneration_ = 0;
    std::function<void()> forcedExit_;
    std::optional<int> exitRequest_;
};

} // namespace veltron
