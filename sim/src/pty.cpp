#include "sim/pty.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <stdlib.h>
#include <system_error>
#include <unistd.h>

namespace veltron::sim {

void PtyLine::open(const std::filesystem::path& link) {
    close();
    const int m = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m < 0) {
        throw std::runtime_error(std::string("posix_openpt: ") + std::strerror(errno));
    }
    if (::grantpt(m) != 0 || ::unlockpt(m) != 0) {
        const int e = errno;
        ::close(m);
        throw std::runtime_error(std::string("pseudo-terminal: ") + std::strerror(e));
    }
    char name[128];
    if (::ptsname_r(m, name, sizeof name) != 0) {
        const int e = errno;
        ::close(m);
        throw std::runtime_error(std::string("ptsname: ") + std::strerror(e));
    }
    const int s = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (s < 0) {
        const int e = errno;
        ::close(m);
        throw std::runtime_error(std::string(name) + ": " + std::strerror(e));
    }
    std::error_code ec;
    const auto st = std::filesystem::symlink_status(link, ec);
    if (!ec && std::filesystem::exists(st) && !std::filesystem::is_symlink(st)) {
        ::close(s);
        ::close(m);
        throw std::runtime_error(link.string() + " exists and is not a link; not replaced");
    }
    // A fresh link under a temporary name, then renamed over the old one: a program that
    // opens the port meanwhile finds the old link or the new one, never none.
    const std::filesystem::path tmp = link.string() + ".new";
    std::filesystem::remove(tmp, ec);
    std::filesystem::create_symlink(name, tmp, ec);
    if (!ec) {
        std::filesystem::rename(tmp, link, ec);
    }
    if (ec) {
        ::close(s);
        ::close(m);
        throw std::runtime_error(link.string() + ": " + ec.message());
    }
    master_ = m;
    slave_ = s;
    slavePath_ = name;
    link_ = link;
}

void PtyLine::close() {
    if (!link_.empty()) {
        std::error_code ec;
        if (std::filesystem::is_symlink(std::filesystem::symlink_status(link_, ec)) &&
            std::filesystem::read_symlink(link_, ec) == slavePath_) {
            std::filesystem::remove(link_, ec);
        }
        link_.clear();
    }
    if (slave_ >= 0) {
        ::close(slave_);
        slave_ = -1;
    }
    if (master_ >= 0) {
        ::close(master_);
        master_ = -1;
    }
    slavePath_.clear();
}

} // namespace veltron::sim
