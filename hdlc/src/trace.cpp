#include "trace.h"

#include <array>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <unistd.h>

namespace veltron::hdlc {
namespace {

// The unit texts, converted once.
struct Units {
    std::string ps = text::utf8ToCp1251("пс )");
    std::string ns = text::utf8ToCp1251("нс )");
    std::string us = text::utf8ToCp1251("мкс)");
    std::string ms = text::utf8ToCp1251("мс )");
    std::string s = text::utf8ToCp1251("сек)");
    std::string over = text::utf8ToCp1251("(+ >= 1000 сек)");
    std::string raw = text::utf8ToCp1251("мц)");
};

const Units& units() {
    static const Units u;
    return u;
}

void appendFixed2(std::string& out, double v) {
    std::array<char, 64> buf{};
    const auto r = std::to_chars(buf.data(), buf.data() + buf.size(), v, std::chars_format::fixed, 2);
    out.append(buf.data(), r.ptr);
}

} // namespace

std::string formatElapsed(std::uint64_t counts, std::uint64_t countsPerSecond) {
    const Units& u = units();
    std::string out = "(+";
    if (countsPerSecond == 0) {
        out += std::to_string(counts);
        out += u.raw;
        return out;
    }
    const double s = static_cast<double>(counts) / static_cast<double>(countsPerSecond);
    if (s >= 1000) {
        return u.over;
    }
    if (s < 1e-9) {
        appendFixed2(out, s * 1e12);
        out += u.ps;
    } else if (s < 1e-6) {
        appendFixed2(out, s * 1e9);
        out += u.ns;
    } else if (s < 0.001) {
        appendFixed2(out, s * 1e6);
        out += u.us;
    } else if (s < 1) {
        appendFixed2(out, s * 1000);
        out += u.ms;
    } else {
        appendFixed2(out, s);
        out += u.s;
    }
    return out;
}

std::string formatClock(const text::DateTime& t) {
    std::array<char, 8> ms{};
    std::snprintf(ms.data(), ms.size(), "%3d", t.millisecond);
    return text::shortDate(t) + " " + text::longTime(t) + "." + ms.data();
}

std::uint64_t stampCounter() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::uint64_t>(ts.tv_sec) * kStampCountsPerSecond + static_cast<std::uint64_t>(ts.tv_nsec);
}

std::uint64_t readCountsPerSecond(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return kStampCountsPerSecond;
    }
    std::string first;
    std::getline(in, first);
    const std::string_view v = text::trim(first);
    std::uint64_t value = 0;
    const auto r = std::from_chars(v.data(), v.data() + v.size(), value);
    if (v.empty() || r.ec != std::errc() || r.ptr != v.data() + v.size()) {
        return 0;
    }
    return value;
}

std::string Trace::stamp() {
    const std::uint64_t nowCount = stampCounter();
    const std::uint64_t elapsed = nowCount - previous_;
    previous_ = nowCount;
    return formatClock(text::now()) + formatElapsed(elapsed, countsPerSecond_);
}

void Trace::append(std::string_view text) {
    const std::size_t room = kCapacity - buffer_.size();
    buffer_.append(text.data(), text.size() < room ? text.size() : room);
}

void Trace::line(std::string_view text) {
    std::lock_guard lock(mutex_);
    append(text);
    append("\r\n");
}

std::string Trace::take() {
    std::string out;
    std::lock_guard lock(mutex_);
    out.swap(buffer_);
    return out;
}

bool appendToLog(const std::string& path, std::string_view bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        return false;
    }
    std::size_t done = 0;
    bool ok = true;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0) {
            ok = false;
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    return ::close(fd) == 0 && ok;
}

TraceFlusher::TraceFlusher(Trace& trace, std::string path, const std::atomic<int>& busy)
    : trace_(trace), path_(std::move(path)), busy_(busy), thread_([this] { run(); }) {}

TraceFlusher::~TraceFlusher() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) {
        thread_.join();
    }
}

void TraceFlusher::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        if (wake_.wait_for(lock, std::chrono::milliseconds(200), [this] { return stop_; })) {
            return;
        }
        if (busy_.load(std::memory_order_acquire) != 0) {
            continue; // an exchange is running: its lines wait for the next period
        }
        const std::string bytes = trace_.take();
        if (!bytes.empty()) {
            lock.unlock();
            appendToLog(path_, bytes);
            lock.lock();
        }
    }
}

} // namespace veltron::hdlc
