// Controller and camera stations on the master side of a pseudo-terminal: the link library
// opens the slave side as COM<n>. Each received request is decoded with the frame codec,
// recorded, and answered with what the responder returns (nothing: the station stays silent).
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace veltron::testing {

using Bytes = std::vector<std::uint8_t>;

struct Request {
    std::uint8_t address = 0;
    std::uint8_t control = 0;
    Bytes data;
    Bytes wire; // the frame as it came over the line
};

struct Reply {
    Reply(std::uint8_t c, Bytes d, Bytes r = {}) : control(c), data(std::move(d)), raw(std::move(r)) {}
    std::uint8_t control = 0;
    Bytes data;
    Bytes raw; // when not empty: these bytes go out instead of an answer frame
};

class StationPeer {
public:
    using Responder = std::function<std::optional<Reply>(const Request&)>;

    StationPeer();
    ~StationPeer();
    StationPeer(const StationPeer&) = delete;
    StationPeer& operator=(const StationPeer&) = delete;

    // Links dir/COM<port> to this pty's slave.
    void link(const std::filesystem::path& dir, int port) const;
    void respond(Responder r);
    std::vector<Request> requests() const;
    void clear();
    // Requests with this control byte so far.
    int count(std::uint8_t control) const;
    // Waits until n requests have come: a silent station records a request on its own
    // thread, possibly after the exchange has given up. The limit only stops a hang.
    bool waitForRequests(std::size_t n) const;

private:
    void run();

    int master_ = -1;
    std::string slave_;
    mutable std::mutex mutex_;
    mutable std::condition_variable arrived_;
    Responder responder_;
    std::vector<Request> requests_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

} // namespace veltron::testing
