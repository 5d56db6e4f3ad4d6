// The trace of the link library (hdlc.log): lines collect in a memory buffer of at most
// 1,000,001 bytes and a thread of the library appends them to the file every 200 ms, except
// while an exchange runs, so an exchange never waits for the disk. Text is CP1251 with CR LF.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "platform/text.h"

namespace veltron::hdlc {

// "(+12.35мс )" and the like: time since the previous stamp from a count of the stamp clock.
// countsPerSecond 0 shows the raw count ("(+1234мц)"). CP1251.
std::string formatElapsed(std::uint64_t counts, std::uint64_t countsPerSecond);
// "dd.MM.yyyy H:mm:ss.mmm" with the milliseconds right-aligned in three characters.
std::string formatClock(const text::DateTime& t);

// The stamp clock: nanoseconds of the monotonic clock.
std::uint64_t stampCounter();
inline constexpr std::uint64_t kStampCountsPerSecond = 1000000000;

// First line of the file as a count per second: missing file gives kStampCountsPerSecond,
// text that is not a non-negative decimal 64-bit integer gives 0.
std::uint64_t readCountsPerSecond(const std::string& path);

class Trace {
public:
    static constexpr std::size_t kCapacity = 1000001;

    explicit Trace(std::uint64_t countsPerSecond) : countsPerSecond_(countsPerSecond), previous_(stampCounter()) {}

    std::uint64_t countsPerSecond() const { return countsPerSecond_; }

    // Clock text and elapsed time since the previous stamp, which this call becomes.
    std::string stamp();
    // Appends the text and CR LF; what does not fit into the buffer is dropped.
    void line(std::string_view text);
    // Empties the buffer and returns what it held.
    std::string take();
    // Starts the previous-stamp measure anew.
    void restartClock() { previous_ = stampCounter(); }

private:
    void append(std::string_view text);

    std::mutex mutex_; // guards buffer_ only; held for copies, never for file access
    std::string buffer_;
    const std::uint64_t countsPerSecond_;
    std::uint64_t previous_;
};

// Writes the trace to the end of the file every period, skipping periods while busy() is set.
class TraceFlusher {
public:
    TraceFlusher(Trace& trace, std::string path, const std::atomic<int>& busy);
    ~TraceFlusher();
    TraceFlusher(const TraceFlusher&) = delete;
    TraceFlusher& operator=(const TraceFlusher&) = delete;

private:
    void run();

    Trace& trace_;
    const std::string path_;
    const std::atomic<int>& busy_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stop_ = false;
    std::thread thread_;
};

// Appends bytes to the end of a file (open, append, close); false on any failure.
bool appendToLog(const std::string& path, std::string_view bytes);

} // namespace veltron::hdlc
