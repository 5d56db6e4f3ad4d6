// Byte-level peers on pseudo-terminals for links without HDLC framing (the load cell, the
// drive): a peer collects bytes until a request is complete and answers with what the
// script returns. A bridge joins two pseudo-terminals, so two programs that each open a
// serial device by name (our master and libmodbus) talk to each other.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace veltron::testing {

using Bytes = std::vector<std::uint8_t>;

class RawPty {
public:
    RawPty() {
        int slave = -1;
        char name[256] = {};
        if (::openpty(&master_, &slave, name, nullptr, nullptr) != 0) {
            throw std::runtime_error("openpty failed");
        }
        termios t{};
        ::tcgetattr(slave, &t);
        ::cfmakeraw(&t);
        ::tcsetattr(slave, TCSANOW, &t);
        // Keep one slave descriptor, so the master never sees a hang-up between the openings
        // of the code under test (each drive request opens and closes the port).
        slave_ = slave;
        path_ = name;
    }
    ~RawPty() {
        ::close(slave_);
        ::close(master_);
    }
    RawPty(const RawPty&) = delete;
    RawPty& operator=(const RawPty&) = delete;

    int master() const { return master_; }
    const std::string& path() const { return path_; }
    void link(const std::filesystem::path& dir, int port) const {
        const auto p = dir / ("COM" + std::to_string(port));
        std::filesystem::remove(p);
        std::filesystem::create_symlink(path_, p);
    }

private:
    int master_ = -1;
    int slave_ = -1;
    std::string path_;
};

// Collects bytes until complete(bytes) holds, records the request and writes reply(bytes).
class RawPeer {
public:
    using Complete = std::function<bool(const Bytes&)>;
    using Answer = std::function<Bytes(const Bytes&)>;

    RawPeer(Complete complete, Answer answer) : complete_(std::move(complete)), answer_(std::move(answer)) {
        thread_ = std::thread([this] { run(); });
    }
    ~RawPeer() {
        stop_ = true;
        thread_.join();
    }
    const RawPty& pty() const { return pty_; }
    std::vector<Bytes> requests() const {
        std::lock_guard lock(mutex_);
        return requests_;
    }
    // Waits until n requests have come (the code under test has written them; the peer's
    // thread may not have read them yet). The limit only keeps a broken test from hanging.
    bool waitForRequests(std::size_t n) const {
        std::unique_lock lock(mutex_);
        return arrived_.wait_for(lock, std::chrono::seconds(10), [&] { return requests_.size() >= n; });
    }

private:
    void run() {
        Bytes got;
        while (!stop_) {
            pollfd p{pty_.master(), POLLIN, 0};
            if (::poll(&p, 1, 10) <= 0 || (p.revents & POLLIN) == 0) {
                continue;
            }
            std::uint8_t buf[512];
            const ssize_t n = ::read(pty_.master(), buf, sizeof buf);
            for (ssize_t i = 0; i < n; ++i) {
                got.push_back(buf[i]);
                if (complete_(got)) {
                    const Bytes reply = answer_(got);
                    {
                        std::lock_guard lock(mutex_);
                        requests_.push_back(got);
                    }
                    arrived_.notify_all();
                    got.clear();
                    if (!reply.empty()) {
                        (void)!::write(pty_.master(), reply.data(), reply.size());
                    }
                }
            }
        }
    }

    RawPty pty_;
    Complete complete_;
    Answer answer_;
    mutable std::mutex mutex_;
    mutable std::condition_variable arrived_;
    std::vector<Bytes> requests_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// Copies bytes both ways between the masters of two pseudo-terminals.
class Bridge {
public:
    Bridge() {
        thread_ = std::thread([this] { run(); });
    }
    ~Bridge() {
        stop_ = true;
        thread_.join();
    }
    const RawPty& a() const { return a_; }
    const RawPty& b() const { return b_; }

private:
    void run() {
        while (!stop_) {
            pollfd p[2] = {{a_.master(), POLLIN, 0}, {b_.master(), POLLIN, 0}};
            if (::poll(p, 2, 10) <= 0) {
                continue;
            }
            for (int k = 0; k < 2; ++k) {
                if ((p[k].revents & POLLIN) != 0) {
                    std::uint8_t buf[512];
                    const ssize_t n = ::read(p[k].fd, buf, sizeof buf);
                    if (n > 0) {
                        (void)!::write(p[1 - k].fd, buf, static_cast<std::size_t>(n));
                    }
                }
            }
        }
    }

    RawPty a_, b_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

} // namespace veltron::testing
