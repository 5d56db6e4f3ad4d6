// One controller exchange: a 7-byte request (FF 7E 37 11 FCS FCS 7E) and a 9-byte answer with
// three data bytes, the shape of the rig's sensor polls. At 115200 baud the two frames take
// 16 x 10 bits = 1.39 ms on the line; the library's own work should stay under 5 % of that.
//
// RoundTripOverPty: libhdlc.so against a peer thread that answers as soon as the request's
// closing flag arrives. Wall time is the round trip through the pty; CPU time is that of the
// calling thread only (user + kernel), i.e. the exchange's software cost without the waiting.
// ExchangeWithoutPort: the same work with the port taken away: encode, receive byte by byte,
// check, cut, and the three trace lines.
#include <benchmark/benchmark.h>
#include <dlfcn.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "hdlc/frame.h"
#include "hdlc/hdlc.h"
#include "trace.h"

namespace {

using namespace veltron::hdlc;

constexpr std::uint8_t kAddress = 0x37;
constexpr std::uint8_t kControl = 0x11;
const std::vector<std::uint8_t> kAnswerData = {0x12, 0x34, 0x56};

struct Api {
    decltype(&::_hdlcSendDataDll) send = nullptr;
    decltype(&::hdlcInitComPort) init = nullptr;
    decltype(&::hdlcSetup) setup = nullptr;
    decltype(&::hdlcCloseComPort) close = nullptr;
};

std::filesystem::path g_scratch;

// Loads the library from a scratch directory so that its hdlc.log lands there.
Api loadLibrary() {
    char tmpl[] = "/tmp/hdlc-bench-XXXXXX";
    const char* dir = mkdtemp(tmpl);
    if (dir == nullptr) {
        std::abort();
    }
    g_scratch = dir;
    const auto old = std::filesystem::current_path();
    std::filesystem::current_path(dir);
    void* lib = dlopen(HDLC_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    std::filesystem::current_path(old);
    if (lib == nullptr) {
        std::fprintf(stderr, "%s\n", dlerror());
        std::abort();
    }
    Api api;
    api.send = reinterpret_cast<decltype(api.send)>(dlsym(lib, "_hdlcSendDataDll"));
    api.init = reinterpret_cast<decltype(api.init)>(dlsym(lib, "hdlcInitComPort"));
    api.setup = reinterpret_cast<decltype(api.setup)>(dlsym(lib, "hdlcSetup"));
    api.close = reinterpret_cast<decltype(api.close)>(dlsym(lib, "hdlcCloseComPort"));
    setenv("VELTRON_DEVDIR", dir, 1);
    return api;
}

// Answers every complete request frame at once.
class Peer {
public:
    Peer() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        grantpt(master_);
        unlockpt(master_);
        char name[128];
        ptsname_r(master_, name, sizeof name);
        slave_ = name;
        answer_ = encodeAnswer(kAddress, kControl, kAnswerData);
        thread_ = std::thread([this] { run(); });
    }
    ~Peer() {
        stop_ = true;
        thread_.join();
        ::close(master_);
    }
    const std::string& slave() const { return slave_; }

private:
    void run() {
        std::vector<std::uint8_t> storage(kMaxStored);
        FrameReceiver rx(storage);
        std::uint8_t buf[256];
        while (!stop_) {
            pollfd p{master_, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0 || (p.revents & POLLIN) == 0) {
                continue;
            }
            const ssize_t n = ::read(master_, buf, sizeof buf);
            for (ssize_t i = 0; i < n; ++i) {
                if (rx.push(buf[i]) == FrameReceiver::Step::complete) {
                    if (::write(master_, answer_.data(), answer_.size()) < 0) {
                        return;
                    }
                    rx.reset();
                }
            }
        }
    }

    int master_ = -1;
    std::string slave_;
    std::vector<std::uint8_t> answer_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

void RoundTripOverPty(benchmark::State& state) {
    static const Api api = loadLibrary();
    Peer peer;
    const auto link = std::filesystem::path(std::getenv("VELTRON_DEVDIR")) / "COM3";
    std::filesystem::remove(link);
    std::filesystem::create_symlink(peer.slave(), link);
    api.setup(100, 1, 0, 0);
    if (!api.init(3, 115200)) {
        state.SkipWithError("cannot open the pty");
        return;
    }
    const std::uint8_t* answer = nullptr;
    std::int32_t length = 0;
    for (auto _ : state) {
        const int r = api.send(3, kAddress, kControl, nullptr, 0, &answer, &length);
        if (r != 1 || length != 3) {
            state.SkipWithError("exchange failed");
            break;
        }
        benchmark::DoNotOptimize(answer);
    }
    api.close(3);
    std::filesystem::remove(link);
}
BENCHMARK(RoundTripOverPty)->Unit(benchmark::kMicrosecond);

void ExchangeWithoutPort(benchmark::State& state) {
    const std::vector<std::uint8_t> wireAnswer = encodeAnswer(kAddress, kControl, kAnswerData);
    std::vector<std::uint8_t> frame(maxFrameSize(kMaxData));
    std::vector<std::uint8_t> answer(kMaxStored);
    Trace trace(kStampCountsPerSecond);
    static constexpr char kDigits[] = "0123456789ABCDEF";
    auto hexLine = [&](std::string line, std::span<const std::uint8_t> bytes) {
        for (const std::uint8_t b : bytes) {
            const char t[3] = {' ', kDigits[b >> 4], kDigits[b & 0x0F]};
            line.append(t, 3);
        }
        trace.line(line);
    };
    for (auto _ : state) {
        const std::size_t n = encodeRequest(frame, kAddress, kControl, {}, false);
        hexLine(trace.stamp() + " -3->", {frame.data(), n});
        FrameReceiver rx(answer);
        for (const std::uint8_t b : wireAnswer) {
            if (rx.push(b) == FrameReceiver::Step::complete) {
                break;
            }
        }
        hexLine(trace.stamp() + " <-3-", rx.bytes());
        const AnswerCheck a = checkAnswer(rx.bytes(), kAddress, kControl, AnswerMode::strict);
        std::memmove(answer.data(), answer.data() + a.offset, a.length);
        trace.line("result=" + std::to_string(a.result));
        benchmark::DoNotOptimize(answer.data());
        if ((state.iterations() & 1023) == 0) {
            benchmark::DoNotOptimize(trace.take()); // the flusher empties the buffer meanwhile
        }
    }
}
BENCHMARK(ExchangeWithoutPort);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (!g_scratch.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(g_scratch, ec);
    }
    return 0;
}
