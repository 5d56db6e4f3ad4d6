// termios2 access for baud rates that have no B constant. <asm/termbits.h> defines its own
// struct termios, so this file must not see <termios.h> or <sys/ioctl.h>.
#include <asm/ioctls.h>
#include <asm/termbits.h>

#include "platform/serial.h"

extern "C" int ioctl(int fd, unsigned long request, ...) noexcept;

namespace veltron::serial {

bool setCustomBaud(int fd, int baud) {
    if (baud <= 0) {
        return false;
    }
    struct termios2 t {};
    if (ioctl(fd, TCGETS2, &t) != 0) {
        return false;
    }
    t.c_cflag &= ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT));
    t.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    t.c_ispeed = static_cast<speed_t>(baud);
    t.c_ospeed = static_cast<speed_t>(baud);
    return ioctl(fd, TCSETS2, &t) == 0;
}

int readCustomBaud(int fd) {
    struct termios2 t {};
    if (ioctl(fd, TCGETS2, &t) != 0) {
        return 0;
    }
    return static_cast<int>(t.c_ospeed);
}

} // namespace veltron::serial
