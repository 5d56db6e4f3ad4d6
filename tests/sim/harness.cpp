#include "harness.h"

#include "platform/files.h"

#include <gtest/gtest.h>
#include <sstream>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace veltron::simtest {

const std::vector<std::pair<std::string, std::string>>& realisticMathem() {
    static const std::vector<std::pair<std::string, std::string>> v{
        {"NZ", "2400"},
        {"HV", "600.0"},
        {"HN", "120.0"},
        {"Hgm", "600.0"},
        {"dHgm", "0.0"},
        {"DMV", "-0.1"},
        {"Hpr", "600.0"},
        // The device tests count in a load-cell line of 5 ADC units per kg.
        {"a2kx2", "50000.0"},
        {"a2ky2", "10000.0"},
    };
    return v;
}

std::filesystem::path makeInstallation(const std::filesystem::path& dir) {
    const std::filesystem::path install = VELTRON_INSTALL_DIR;
    auto text = files::readFile(install / "setup.ini");
    if (!text) {
        throw std::runtime_error("no install/setup.ini");
    }
    for (const auto& [key, value] : realisticMathem()) {
        const std::string k = "\n" + key + "=";
        const auto at = text->find(k);
        if (at == std::string::npos) {
            throw std::runtime_error("install/setup.ini has no " + key);
        }
        const auto end = text->find('\r', at + 1);
        text->replace(at + k.size(), end - at - k.size(), value);
    }
    std::filesystem::create_directories(dir / "Tabl1");
    files::writeFileAtomic(dir / "setup.ini", *text);
    for (int c = 1; c <= 4; ++c) {
        const std::string name = "cal" + std::to_string(c) + ".txt";
        std::filesystem::copy_file(install / "Tabl1" / name, dir / "Tabl1" / name,
                                   std::filesystem::copy_options::overwrite_existing);
    }
    return dir / "setup.ini";
}

namespace {

// The folders of this run, removed when the test program ends.
struct ScratchFolders {
    std::vector<std::filesystem::path> dirs;
    ~ScratchFolders() {
        for (const auto& d : dirs) {
            std::error_code ec;
            std::filesystem::remove_all(d, ec);
        }
    }
};
ScratchFolders g_scratch;

} // namespace

std::filesystem::path scratch(const std::string& name) {
    // Short names: the control socket's path must fit a Unix socket address.
    static int serial = 0;
    const auto dir = std::filesystem::temp_directory_path() /
                     ("rigsim-" + std::to_string(::getpid()) + "-" + std::to_string(++serial) + "-" + name);
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    g_scratch.dirs.push_back(dir);
    return dir;
}

sim::Options fastOptions(const std::filesystem::path& dir) {
    sim::Options o;
    o.devDir = dir / "dev";
    o.setupPath = makeInstallation(dir / "inst");
    o.speed = 50.0;
    return o;
}

RunningSim::RunningSim(sim::Options options) : devDir_(options.devDir) {
    sim_ = std::make_unique<sim::Simulator>(std::move(options));
    sim_->start();
    thread_ = std::thread([this] { sim_->run(); });
}

RunningSim::~RunningSim() {
    sim_->requestStop();
    thread_.join();
}

std::filesystem::path RunningSim::port(int n) const {
    return devDir_ / ("COM" + std::to_string(n));
}

std::string RunningSim::controlRaw(const std::string& cmd) const {
    return controlCommand(devDir_ / "rigsim.sock", cmd);
}

std::string controlCommand(const std::filesystem::path& socket, const std::string& cmd) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const std::string path = socket.string();
    std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", path.c_str());
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        ::close(fd);
        throw std::runtime_error("cannot connect to " + path);
    }
    const std::string line = cmd + "\n";
    if (::write(fd, line.data(), line.size()) != static_cast<ssize_t>(line.size())) {
        ::close(fd);
        throw std::runtime_error("control write failed");
    }
    std::string reply;
    char buf[4096];
    for (;;) {
        const auto lastLine = [&reply] {
            if (reply.empty() || reply.back() != '\n') {
                return std::string();
            }
            const auto from = reply.rfind('\n', reply.size() - 2);
            return reply.substr(from == std::string::npos ? 0 : from + 1);
        }();
        if (lastLine == "ok\n" || lastLine.rfind("error", 0) == 0) {
            break;
        }
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n <= 0) {
            break;
        }
        reply.append(buf, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return reply;
}

std::string RunningSim::control(const std::string& cmd) const {
    const std::string r = controlRaw(cmd);
    if (r.size() < 3 || r.compare(r.size() - 3, 3, "ok\n") != 0) {
        throw std::runtime_error(cmd + " -> " + r);
    }
    return r.substr(0, r.size() - 3);
}

std::map<std::string, std::string> RunningSim::state() const {
    std::map<std::string, std::string> m;
    std::istringstream in(control("state"));
    std::string item;
    while (in >> item) {
        const auto eq = item.find('=');
        if (eq != std::string::npos) {
            m[item.substr(0, eq)] = item.substr(eq + 1);
        }
    }
    return m;
}

long RunningSim::counter(const std::string& device, const std::string& key) const {
    std::istringstream in(control("counters " + device));
    std::string item;
    in >> item; // device name
    while (in >> item) {
        if (item.rfind(key + "=", 0) == 0) {
            return std::stol(item.substr(key.size() + 1));
        }
    }
    return 0;
}

Link::Link(const std::filesystem::path& device, int baud) {
    if (!port_.open(device.string()) || !port_.configure(baud, serial::StopBits::one)) {
        throw std::runtime_error("cannot open " + device.string());
    }
}

bool Link::send(const Bytes& raw) {
    return port_.write(raw.data(), raw.size()) == static_cast<long>(raw.size());
}

std::optional<Bytes> Link::exchange(std::uint8_t address, std::uint8_t control, const Bytes& data, int gapMs) {
    port_.purge();
    if (!send(hdlc::encodeRequest(address, control, data))) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> storage(hdlc::kMaxStored);
    hdlc::FrameReceiver rx(storage);
    std::uint8_t b = 0;
    while (port_.readByte(b, gapMs) == serial::ReadStatus::byte) {
        if (rx.push(b) == hdlc::FrameReceiver::Step::complete) {
            const auto got = rx.bytes();
            return Bytes(got.begin(), got.end());
        }
    }
    return std::nullopt;
}

Bytes Link::readAll(int gapMs) {
    Bytes out;
    std::uint8_t b = 0;
    while (port_.readByte(b, gapMs) == serial::ReadStatus::byte) {
        out.push_back(b);
    }
    return out;
}

hdlc::FrameFields fields(const Bytes& frame) {
    return hdlc::splitFrame(frame);
}

std::uint32_t be32(const Bytes& d, std::size_t at) {
    return (static_cast<std::uint32_t>(d[at]) << 24) | (static_cast<std::uint32_t>(d[at + 1]) << 16) |
           (static_cast<std::uint32_t>(d[at + 2]) << 8) | d[at + 3];
}

} // namespace veltron::simtest
