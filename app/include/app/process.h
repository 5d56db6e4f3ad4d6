// The process list and the power switch of the PC.
#pragma once

#include <filesystem>
#include <sys/types.h>

namespace veltron {

// Whether a process other than `self` runs the executable `exe` (same full path, compared
// exactly). Processes whose executable cannot be read count as other programs. A copy of the
// executable in another folder is another program.
bool anotherInstanceRunning(const std::filesystem::path& exe, pid_t self,
                            const std::filesystem::path& procRoot = "/proc");

// Asks the system to power off (systemctl poweroff, allowed by the installation's polkit
// rule). Every failure is silent: the program simply ends.
void powerOff();

} // namespace veltron
