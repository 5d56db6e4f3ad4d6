// What the operator screens need from the window system: dispatching pending input, paint
// and timer events; sleeping without dispatching; a millisecond clock that never wraps;
// showing the canvas; Num Lock, beep and display mode. The Qt main window implements it;
// tests use a scripted one.
#pragma once

#include <cstdint>
#include <stdexcept>

namespace veltron {

class UiHost {
public:
    virtual ~UiHost() = default;
    virtual void processEvents() = 0;
    virtual void sleepMs(int ms) = 0;
    virtual std::uint64_t tickMs() = 0;
    virtual void refresh() = 0;
    virtual void forceNumLock() = 0;
    virtual void beep() = 0;
    // Switches the display back to its start-up size when the program changed it.
    virtual void restoreDisplay() = 0;
};

// Thrown to end the program from deep inside a running procedure (Esc in a key poll, the
// exit of a fault screen); caught once at the top of the main flow, which ends the program
// with the status.
class ProgramExit : public std::exception {
public:
    explicit ProgramExit(int status) : status_(status) {}
    int status() const { return status_; }
    const char* what() const noexcept override { return "program exit"; }

private:
    int status_;
};

} // namespace veltron
