#include "sim/simulator.h"

#include "math/calibration_file.h"
#include "math/settings_bridge.h"
#include "platform/text.h"
#include "sim/peripherals.h"
#include "sim/stations.h"

#include <array>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <set>
#include <sstream>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace veltron::sim {
namespace {

// Noise bytes that contain none of the framing bytes of any line (0x7E, 0x7D, 0xFF), so the
// receiver must skip them rather than take them for a frame.
constexpr std::uint8_t kNoise[] = {0x55, 0xAA, 0x13, 0x00, 0x31, 0xC4, 0x5B, 0x08};

std::vector<std::string> words(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> w;
    std::string s;
    while (in >> s) {
        w.push_back(s);
    }
    return w;
}

int intArg(const std::vector<std::string>& w, std::size_t i, int fallback) {
    if (i >= w.size()) {
        return fallback;
    }
    const auto v = text::parseInt(w[i]);
    if (!v || *v < 0) {
        throw std::invalid_argument("\"" + w[i] + "\" is not a count");
    }
    return *v;
}

void setNonBlocking(int fd) {
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
}

} // namespace

Simulator::Simulator(Options options) : options_(std::move(options)) {
    if (options_.devDir.empty()) {
        throw std::runtime_error("no device folder given");
    }
    if (!std::filesystem::is_regular_file(options_.setupPath)) {
        throw std::runtime_error("settings file not found: " + options_.setupPath.string());
    }
    settings_ = readSettingsFile(options_.setupPath.string());
    speed_ = options_.speed > 0 ? options_.speed : 1.0;

    CameraSetup cams;
    cams.params = math::mathParamsFrom(settings_);
    const std::filesystem::path calDir =
        options_.calibrationDir.empty() ? options_.setupPath.parent_path() : options_.calibrationDir;
    try {
        math::readCalibrationTables(cams.calibration, calDir.empty() ? "." : calDir);
    } catch (const std::exception& e) {
        throw std::runtime_error(std::string("calibration tables: ") + e.what());
    }

    checkCameras(cams);
    model_ = std::make_unique<RigModel>(rigConfigFrom(settings_));
    model_->setSpring(options_.spring);

    auto add = [this](std::string name, int port, int baud, int bits, std::unique_ptr<Device> d) {
        if (port < 1 || port > 255) {
            throw std::runtime_error(name + ": port " + std::to_string(port) + " is not 1..255");
        }
        for (const auto& l : lines_) {
            if (l->port == port) {
                throw std::runtime_error(name + " and " + l->name + " both on COM" + std::to_string(port));
            }
        }
        auto line = std::make_unique<Line>();
        line->name = std::move(name);
        line->port = port;
        line->baud = baud;
        line->bitsPerByte = bits;
        line->device = std::move(d);
        lines_.push_back(std::move(line));
    };
    auto ck2 = std::make_unique<SecondController>(*model_);
    auto bus = std::make_unique<CameraBus>(*model_, std::move(cams));
    CameraBus* busPtr = bus.get();
    ck2->onScanStart = [busPtr] { busPtr->scanStarted(); };
    add("ck", settings_.CK_PORT, settings_.CK_SPEED, 10,
        std::make_unique<MainController>(*model_, static_cast<std::uint8_t>(settings_.CK_ADRESS)));
    add("cam", settings_.CAM_PORT, settings_.CAM_SPEED, 10, std::move(bus));
    add("drive", settings_.CHRP_PORT, settings_.CHRP_SPEED, 11,
        std::make_unique<FrequencyDrive>(*model_, settings_.CHRP_TYPE));
    add("tenzo", kLoadCellPort, kLoadCellBaud, 10, std::make_unique<LoadCell>(*model_));
    add("ck2", settings_.CK2_PORT, kSecondControllerBaud, 10, std::move(ck2));
    for (const auto& l : lines_) {
        for (const auto& n : l->device->names()) {
            faults_[n];
        }
    }
    if (::pipe(wake_) != 0) {
        throw std::runtime_error("pipe failed");
    }
    setNonBlocking(wake_[0]);
    setNonBlocking(wake_[1]);
    realBase_ = Clock::now();
    for (const auto& c : options_.commands) {
        const std::string reply = control(c);
        if (reply.rfind("error", 0) == 0 || reply.find("\nerror") != std::string::npos) {
            throw std::runtime_error(c + ": " + reply);
        }
    }
}

void Simulator::checkCameras(const CameraSetup& cams) {
    const auto& p = cams.params;
    if (settings_.NZ > CameraBus::kMaxPoints) {
        const RigConfig c = rigConfigFrom(settings_);
        char buf[256];
        std::snprintf(buf, sizeof buf,
                      "NZ=%d: a camera holds %d points, so a scan covers only the top %.1f mm (from %.1f mm down)",
                      settings_.NZ, CameraBus::kMaxPoints, CameraBus::kMaxPoints * c.scanStep, c.scanTop);
        warnings_.push_back(buf);
    }
    const SpringSpec& s = options_.spring;
    const double r = s.outerDiameter / 2.0;
    const double cx = p.Va / 2.0 + s.offsetX;
    const double cy = p.Vb / 2.0 + s.offsetY;
    // Distance from each camera to the nearest surface point on its beam.
    const std::array<double, 5> near{0.0, cy - r, cx - r, p.Vb - cy - r, p.Va - cx - r};
    for (int c = 1; c <= math::kCameras; ++c) {
        const auto& t = cams.calibration.table(c);
        const float dmm = p.dmm[static_cast<std::size_t>(c)];
        const double lo = std::min(t[1], t[math::kMaxPixel]) + dmm;
        const double hi = std::max(t[1], t[math::kMaxPixel]) + dmm;
        if (near[static_cast<std::size_t>(c)] < lo || near[static_cast<std::size_t>(c)] > hi) {
            char buf[256];
            std::snprintf(buf, sizeof buf,
                          "camera %d sees nothing of the spring: its table covers %.1f..%.1f mm, the spring's surface "
                          "lies %.1f mm away (Va=%.1f Vb=%.1f gx%d=%.1f)",
                          c, lo, hi, near[static_cast<std::size_t>(c)], p.Va, p.Vb, c,
                          p.gx[static_cast<std::size_t>(c)]);
            warnings_.push_back(buf);
        }
    }
}

Simulator::~Simulator() {
    for (auto& l : lines_) {
        l->pty.close();
    }
    for (auto& c : clients_) {
        ::close(c.fd);
    }
    if (listen_ >= 0) {
        ::close(listen_);
        std::error_code ec;
        std::filesystem::remove(controlPath(), ec);
    }
    for (int fd : wake_) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

double Simulator::modelNow() const {
    const double real = std::chrono::duration<double, std::milli>(Clock::now() - realBase_).count();
    return modelBase_ + real * speed_;
}

void Simulator::openLine(Line& line) {
    line.pty.open(options_.devDir / ("COM" + std::to_string(line.port)));
    line.unplugged = false;
    line.plugOnTimer = false;
    line.out.clear();
}

void Simulator::start() {
    std::filesystem::create_directories(options_.devDir);
    for (auto& l : lines_) {
        if (!l->unplugged) {
            openLine(*l);
        }
    }
    const std::string path = controlPath().string();
    sockaddr_un addr{};
    if (path.size() >= sizeof addr.sun_path) {
        throw std::runtime_error("control socket path too long: " + path);
    }
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    std::error_code ec;
    std::filesystem::remove(path, ec);
    listen_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listen_ < 0 || ::bind(listen_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(listen_, 8) != 0) {
        throw std::runtime_error("control socket " + path + ": " + std::strerror(errno));
    }
    setNonBlocking(listen_);
    started_ = true;
}

std::string Simulator::readyLine() const {
    std::string s = "rigsim ready:";
    for (const auto& l : lines_) {
        s += " COM" + std::to_string(l->port) + "=" + l->name;
    }
    s += " control=" + controlPath().string();
    return s;
}

void Simulator::requestStop() {
    const char b = 1;
    [[maybe_unused]] const auto n = ::write(wake_[1], &b, 1);
}

Simulator::Line* Simulator::lineOf(const std::string& device) {
    for (auto& l : lines_) {
        if (l->name == device) {
            return l.get();
        }
        for (const auto& n : l->device->names()) {
            if (n == device) {
                return l.get();
            }
        }
    }
    return nullptr;
}

Device* Simulator::deviceOf(const std::string& device, Line** line) {
    Line* l = lineOf(device);
    if (line) {
        *line = l;
    }
    return l ? l->device.get() : nullptr;
}

void Simulator::unplug(Line& line, int ms) {
    line.pty.close();
    line.out.clear();
    line.unplugged = true;
    line.plugOnTimer = ms > 0;
    line.plugAt = Clock::now() + std::chrono::milliseconds(ms);
}

void Simulator::queue(Line& line, const Answer& a) {
    const DeviceFaults& f = faults_[a.device];
    line.device->counters(a.device).add("answers");
    if (f.silent) {
        line.device->counters(a.device).add("suppressed");
        return;
    }
    Bytes bytes;
    for (int i = 0; i < f.noise; ++i) {
        bytes.push_back(kNoise[static_cast<std::size_t>(i) % sizeof kNoise]);
    }
    const Bytes& frame = f.badCheck ? a.badCheck : a.frame;
    bytes.insert(bytes.end(), frame.begin(), frame.end());
    auto at = Clock::now();
    if (!line.out.empty()) {
        at = std::max(at, line.out.back().at);
    }
    const auto byteTime = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(options_.pace ? static_cast<double>(line.bitsPerByte) / line.baud : 0.0));
    const auto gap = std::chrono::milliseconds(f.slowMs);
    for (std::uint8_t b : bytes) {
        at += byteTime + gap;
        line.out.push_back({b, at});
    }
}

void Simulator::flush(Line& line) {
    if (!line.pty.isOpen()) {
        line.out.clear();
        return;
    }
    const auto now = Clock::now();
    std::uint8_t buf[4096];
    while (!line.out.empty() && line.out.front().at <= now) {
        std::size_t n = 0;
        for (auto it = line.out.begin(); it != line.out.end() && it->at <= now && n < sizeof buf; ++it) {
            buf[n++] = it->byte;
        }
        const ssize_t w = ::write(line.pty.master(), buf, n);
        if (w <= 0) {
            return; // the slave's input is full (or gone): try again when it drains
        }
        line.out.erase(line.out.begin(), line.out.begin() + w);
    }
}

void Simulator::serve(Line& line) {
    std::uint8_t buf[4096];
    for (;;) {
        const ssize_t n = ::read(line.pty.master(), buf, sizeof buf);
        if (n <= 0) {
            return;
        }
        model_->advanceTo(modelNow());
        std::vector<Answer> answers;
        line.device->receive(std::span<const std::uint8_t>(buf, static_cast<std::size_t>(n)), answers);
        for (const auto& a : answers) {
            queue(line, a);
        }
    }
}

void Simulator::acceptClient() {
    for (;;) {
        const int fd = ::accept4(listen_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            return;
        }
        clients_.push_back({fd, {}, {}});
    }
}

void Simulator::serveClient(Client& c) {
    char buf[1024];
    for (;;) {
        const ssize_t n = ::read(c.fd, buf, sizeof buf);
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) {
            ::close(c.fd);
            c.fd = -1;
            break;
        }
        if (n < 0) {
            break;
        }
        c.in.append(buf, static_cast<std::size_t>(n));
    }
    std::size_t eol;
    while ((eol = c.in.find('\n')) != std::string::npos) {
        const std::string cmd = c.in.substr(0, eol);
        c.in.erase(0, eol + 1);
        c.out += control(cmd);
    }
    while (c.fd >= 0 && !c.out.empty()) {
        const ssize_t w = ::send(c.fd, c.out.data(), c.out.size(), MSG_NOSIGNAL);
        if (w <= 0) {
            break;
        }
        c.out.erase(0, static_cast<std::size_t>(w));
    }
}

void Simulator::run() {
    if (!started_) {
        start();
    }
    while (!stopping_) {
        const auto now = Clock::now();
        auto next = now + std::chrono::milliseconds(500);
        for (auto& l : lines_) {
            if (l->unplugged && l->plugOnTimer && l->plugAt <= now) {
                try {
                    openLine(*l);
                } catch (const std::exception& e) {
                    std::fprintf(stderr, "rigsim: %s: %s\n", l->name.c_str(), e.what());
                    l->plugAt = now + std::chrono::seconds(1);
                }
            }
            if (l->unplugged && l->plugOnTimer) {
                next = std::min(next, l->plugAt);
            }
            flush(*l);
            if (!l->out.empty()) {
                next = std::min(next, std::max(l->out.front().at, now + std::chrono::milliseconds(1)));
            }
        }
        std::vector<pollfd> fds;
        fds.push_back({wake_[0], POLLIN, 0});
        fds.push_back({listen_, POLLIN, 0});
        for (const auto& c : clients_) {
            fds.push_back({c.fd, static_cast<short>(POLLIN | (c.out.empty() ? 0 : POLLOUT)), 0});
        }
        const std::size_t firstLine = fds.size();
        for (const auto& l : lines_) {
            const bool waiting = !l->out.empty() && l->out.front().at <= now;
            fds.push_back(
                {l->pty.isOpen() ? l->pty.master() : -1, static_cast<short>(POLLIN | (waiting ? POLLOUT : 0)), 0});
        }
        const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(next - now).count();
        const int r = ::poll(fds.data(), fds.size(), static_cast<int>(std::max<long long>(wait, 0) + 1));
        if (r < 0 && errno != EINTR) {
            throw std::runtime_error(std::string("poll: ") + std::strerror(errno));
        }
        if (fds[0].revents & POLLIN) {
            char b[64];
            while (::read(wake_[0], b, sizeof b) > 0) {
            }
            stopping_ = true;
        }
        if (fds[1].revents & POLLIN) {
            acceptClient();
        }
        for (std::size_t i = 0; i < lines_.size(); ++i) {
            const short ev = fds[firstLine + i].revents;
            if ((ev & POLLIN) && lines_[i]->pty.isOpen()) {
                serve(*lines_[i]);
            }
        }
        for (std::size_t i = 0; i < clients_.size() && 2 + i < firstLine; ++i) {
            if (fds[2 + i].revents) {
                serveClient(clients_[i]);
            }
        }
        clients_.erase(std::remove_if(clients_.begin(), clients_.end(), [](const Client& c) { return c.fd < 0; }),
                       clients_.end());
    }
    // Answers still on their way are sent before the lines go.
    for (auto& l : lines_) {
        flush(*l);
        l->pty.close();
    }
    for (auto& c : clients_) {
        if (!c.out.empty()) {
            [[maybe_unused]] const auto w = ::send(c.fd, c.out.data(), c.out.size(), MSG_NOSIGNAL);
        }
    }
}

std::string Simulator::control(const std::string& line) {
    const auto w = words(line);
    std::string out;
    try {
        if (w.empty()) {
            return "ok\n";
        }
        const std::string& cmd = w[0];
        if (cmd == "spring") {
            if (w.size() > 1) {
                model_->setSpring(parseSpring(line.substr(line.find("spring") + 6), model_->spring()));
            }
            out += springText(model_->spring()) + "\n";
        } else if (cmd == "spring-file" && w.size() == 2) {
            model_->setSpring(readSpringFile(w[1]));
            out += springText(model_->spring()) + "\n";
        } else if (cmd == "fault" && w.size() >= 3) {
            std::vector<std::string> targets;
            if (w[1] == "all") {
                for (const auto& [name, f] : faults_) {
                    targets.push_back(name);
                }
            } else if (faults_.count(w[1])) {
                targets.push_back(w[1]);
            } else {
                throw std::invalid_argument("no device \"" + w[1] + "\"");
            }
            for (const auto& t : targets) {
                DeviceFaults& f = faults_[t];
                const std::string& mode = w[2];
                if (mode == "silent") {
                    f.silent = true;
                } else if (mode == "badcheck") {
                    f.badCheck = true;
                } else if (mode == "noise") {
                    f.noise = intArg(w, 3, 8);
                } else if (mode == "slow") {
                    f.slowMs = intArg(w, 3, 30);
                } else if (mode == "clear") {
                    f = {};
                } else {
                    throw std::invalid_argument("no fault mode \"" + mode + "\"");
                }
            }
            // A dead load cell also gives nothing on the main controller's ADC input.
            if (const auto cell = faults_.find("tenzo"); cell != faults_.end()) {
                model_->setLoadCellDead(cell->second.silent);
            }
        } else if ((cmd == "unplug" || cmd == "plug") && w.size() >= 2) {
            Line* l = lineOf(w[1]);
            if (!l) {
                throw std::invalid_argument("no device \"" + w[1] + "\"");
            }
            if (cmd == "unplug") {
                unplug(*l, intArg(w, 2, 0));
            } else if (l->unplugged) {
                if (started_) {
                    openLine(*l);
                } else {
                    l->unplugged = false;
                }
            }
        } else if (cmd == "stuck" && w.size() == 3) {
            const int bit = intArg(w, 1, 0);
            if (bit > 15) {
                throw std::invalid_argument("sensor bits are 0..15");
            }
            if (w[2] == "on" || w[2] == "off") {
                model_->stick(bit, w[2] == "on");
            } else if (w[2] == "free") {
                model_->release(bit);
            } else {
                throw std::invalid_argument("stuck takes on, off or free");
            }
        } else if (cmd == "noend" && w.size() == 3) {
            const auto axis = axisByName(w[1]);
            if (!axis || (w[2] != "on" && w[2] != "off")) {
                throw std::invalid_argument("noend carriage|centring|geometry|press on|off");
            }
            model_->setJammed(*axis, w[2] == "on");
        } else if (cmd == "counters") {
            std::set<std::string> names;
            for (const auto& [name, f] : faults_) {
                if (w.size() < 2 || w[1] == name) {
                    names.insert(name);
                }
            }
            if (names.empty()) {
                throw std::invalid_argument("no device \"" + w[1] + "\"");
            }
            for (const auto& n : names) {
                out += n + " " + deviceOf(n)->counters(n).text() + "\n";
            }
        } else if (cmd == "reset-counters") {
            for (const auto& [name, f] : faults_) {
                deviceOf(name)->counters(name).clear();
            }
        } else if (cmd == "state") {
            model_->advanceTo(modelNow());
            char buf[768];
            const RigModel& m = *model_;
            std::snprintf(buf, sizeof buf,
                          "time=%.1f carriage=%.3f centring=%.3f geometry=%.3f press=%.3f status=0x%04X adc=%u "
                          "force=%.1f press_count=%d scan=%d points=%d divider=%d drain=%d pump=%d moving=%d%d%d%d\n",
                          m.now(), m.axis(AxisId::carriage).pos, m.axis(AxisId::centring).pos,
                          m.axis(AxisId::geometry).pos, m.axis(AxisId::press).pos, m.statusWord(), m.adc(), m.forceKg(),
                          m.pressCount(), m.scanArmed() ? 1 : 0, m.scanPoints(), m.divider(), m.drain ? 1 : 0,
                          m.pumpRunning ? 1 : 0, m.axis(AxisId::carriage).moving != 0,
                          m.axis(AxisId::centring).moving != 0, m.axis(AxisId::geometry).moving != 0,
                          m.axis(AxisId::press).moving != 0);
            out += buf;
        } else if (cmd == "speed" && w.size() == 2) {
            const auto f = text::parseDouble(w[1]);
            if (!f || !(*f > 0) || !std::isfinite(*f)) {
                throw std::invalid_argument("speed needs a positive factor");
            }
            modelBase_ = modelNow();
            realBase_ = Clock::now();
            speed_ = *f;
        } else if (cmd == "stop") {
            requestStop();
        } else {
            throw std::invalid_argument("unknown command \"" + line + "\"");
        }
    } catch (const std::exception& e) {
        return out + "error: " + e.what() + "\n";
    }
    return out + "ok\n";
}

std::string Counters::text() const {
    std::string s;
    for (const auto& [k, v] : values_) {
        if (!s.empty()) {
            s += ' ';
        }
        s += k + "=" + std::to_string(v);
    }
    return s;
}

} // namespace veltron::sim
