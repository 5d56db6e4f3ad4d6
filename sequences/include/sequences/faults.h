// The last-resort screens of the rig: the fault screen of a coded rig fault and the command
// fault report of a failed controller or camera exchange. Both end the program after the
// operator confirms with key 11 (and then key 12 on the shutdown screen); the report may
// instead only write a line into the service window, or nothing at all.
//
// These screens never raise: a missing or unreadable Errors file gives no explanation lines
// (the code is always shown), and a screen copy, mask or log line that cannot be written is
// skipped. On a rig (emulation off) the hydraulics are switched off, best effort, before the
// screen waits for the operator, so the pump does not run while nobody is there.
#pragma once

#include "screens/keypad.h"
#include "screens/screen.h"

#include <functional>
#include <string>
#include <vector>

namespace veltron {

// Explanation lines of fault code N: the lines of Errors\N.err; none when the file is
// missing or unreadable.
std::vector<std::string> faultTextLines(const Paths& paths, int code);
// Line N (from 1) of Errors\RTA1000.txt; empty when the file is missing or shorter.
std::string commandFaultText(const Paths& paths, int command);

struct FaultHooks {
    // Ends the program after the confirmation (shutdown screen, then the end); must not return.
    std::function<void(int status)> exit;
    // Best-effort hydraulics off of the rig; called only with emulation off.
    std::function<void()> hydraulicsOff;
    // The service window: whether it is shown, and a line for its log.
    std::function<bool()> terminalShown;
    std::function<void(const std::string&)> terminalLog;
};

// Exit status of the program after a fault screen or a command fault report.
inline constexpr int kFaultExitStatus = 3;

class FaultScreens {
public:
    FaultScreens(Screen& screen, Keypad& keypad, const Settings& settings, FaultHooks hooks);

    // Fault screen with code N; ends the program.
    [[noreturn]] void faultScreen(int code);
    // Command fault report of command number N: a service-window line while the window is
    // shown, nothing with rtErrorEnable off, otherwise the fault screen that ends the program.
    void commandFault(int command);
    // The screen of a command fault report whose text is already quoted; ends the program.
    [[noreturn]] void commandFaultScreen(int command, const std::string& quoted);

private:
    // Steps shared by both screens up to the explanation lines.
    void beginScreen(const std::string& codeText);
    [[noreturn]] void confirmAndEnd();
    void stopHydraulics();
    void log(const std::string& line);

    Screen& screen_;
    Keypad& keypad_;
    const Settings& settings_;
    FaultHooks hooks_;
    bool stopping_ = false;
};

} // namespace veltron
