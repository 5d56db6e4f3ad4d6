#include "peer.h"

#include "hdlc/frame.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <stdexcept>

namespace veltron::testing {

StationPeer::StationPeer() {
    int slave = -1;
    char name[256] = {};
    if (::openpty(&master_, &slave, name, nullptr, nullptr) != 0) {
        throw std::runtime_error("openpty failed");
    }
    // Raw on the master's side too, so the line discipline passes every byte unchanged.
    termios t{};
    ::tcgetattr(slave, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(slave, TCSANOW, &t);
    ::close(slave);
    slave_ = name;
    thread_ = std::thread([this] { run(); });
}

StationPeer::~StationPeer() {
    stop_ = true;
    thread_.join();
    ::close(master_);
}

void StationPeer::link(const std::filesystem::path& dir, int port) const {
    const auto path = dir / ("COM" + std::to_string(port));
    std::filesystem::remove(path);
    std::filesystem::create_symlink(slave_, path);
}

void StationPeer::respond(Responder r) {
    std::lock_guard lock(mutex_);
    responder_ = std::move(r);
}

std::vector<Request> StationPeer::requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

void StationPeer::clear() {
    std::lock_guard lock(mutex_);
    requests_.clear();
}

int StationPeer::count(std::uint8_t control) const {
    std::lock_guard lock(mutex_);
    int n = 0;
    for (const Request& r : requests_) {
        n += r.control == control ? 1 : 0;
    }
    return n;
}

bool StationPeer::waitForRequests(std::size_t n) const {
    std::unique_lock lock(mutex_);
    return arrived_.wait_for(lock, std::chrono::seconds(10), [&] { return requests_.size() >= n; });
}

void StationPeer::run() {
    std::array<std::uint8_t, hdlc::kMaxStored> storage{};
    hdlc::FrameReceiver rx(storage);
    Bytes wire;
    while (!stop_) {
        pollfd p{master_, POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0 || (p.revents & POLLIN) == 0) {
            if ((p.revents & (POLLHUP | POLLERR)) != 0) {
                ::usleep(2000); // no slave open yet
            }
            continue;
        }
        std::array<std::uint8_t, 4096> buf{};
        const ssize_t n = ::read(master_, buf.data(), buf.size());
        for (ssize_t i = 0; i < n; ++i) {
            wire.push_back(buf[static_cast<std::size_t>(i)]);
            if (rx.push(buf[static_cast<std::size_t>(i)]) != hdlc::FrameReceiver::Step::complete) {
                continue;
            }
            const hdlc::FrameFields f = hdlc::splitFrame(rx.bytes());
            Request req{f.address, f.control, Bytes(f.data.begin(), f.data.end()), wire};
            rx.reset();
            wire.clear();
            std::optional<Reply> reply;
            {
                std::lock_guard lock(mutex_);
                requests_.push_back(req);
                if (responder_ && f.valid) {
                    reply = responder_(req);
                }
            }
            arrived_.notify_all();
            if (reply) {
                const Bytes answer =
                    !reply->raw.empty() ? reply->raw : hdlc::encodeAnswer(req.address, reply->control, reply->data);
                (void)!::write(master_, answer.data(), answer.size());
            }
        }
    }
}

} // namespace veltron::testing
