#include "rig/notifier.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace veltron::rig {

bool sendDatagram(const std::string& text, int port) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return false;
    }
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<std::uint16_t>(port));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool ok = ::connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0;
    if (ok) {
        const ssize_t sent = ::send(fd, text.data(), text.size(), 0);
        ok = sent == static_cast<ssize_t>(text.size());
    }
    ::close(fd);
    return ok;
}

} // namespace veltron::rig
