#include "app/process.h"

#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <system_error>
#include <unistd.h>

extern char** environ;

namespace veltron {

bool anotherInstanceRunning(const std::filesystem::path& exe, pid_t self, const std::filesystem::path& procRoot) {
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(procRoot, ec)) {
        const std::string name = entry.path().filename().string();
        if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        if (std::stol(name) == static_cast<long>(self)) {
            continue;
        }
        std::error_code linkError;
        const auto target = std::filesystem::read_symlink(entry.path() / "exe", linkError);
        if (!linkError && target == exe) {
            return true;
        }
    }
    return false;
}

void powerOff() {
    pid_t pid = 0;
    char cmd[] = "systemctl";
    char arg[] = "poweroff";
    char* argv[] = {cmd, arg, nullptr};
    if (posix_spawnp(&pid, cmd, nullptr, nullptr, argv, environ) == 0) {
        int status = 0;
        waitpid(pid, &status, 0);
    }
}

} // namespace veltron
