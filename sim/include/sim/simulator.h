// The whole rig on pseudo-terminals: one line per port that the installation's settings
// name (main controller, cameras, drive, load cell on port 4, second controller), a device
// behind each, the physical model, the named fault modes and the control channel.
//
// Control channel: a Unix stream socket DIR/rigsim.sock taking one command per line; each
// reply is zero or more lines followed by "ok" or "error: <reason>". Commands:
//   spring [key=value ...]        show or change the spring (keys of parseSpring)
//   spring-file PATH              take the spring from a file
//   fault DEVICE MODE [ARG]       DEVICE: ck ck2 cam1..cam4 drive tenzo, or all;
//                                 MODE: silent, badcheck, noise [bytes], slow [ms per byte], clear
//   unplug DEVICE [MS]            the device's line disappears (pseudo-terminal closed, link
//                                 removed) and comes back after MS ms (0 or none: at "plug")
//   plug DEVICE
//   stuck BIT on|off|free         a sensor of the status word stuck on or off
//   noend AXIS on|off             carriage, centring, geometry or press never reaches an end
//   counters [DEVICE]             "DEVICE key=value ..." per device
//   reset-counters
//   state                         positions, sensors, readings
//   speed FACTOR                  simulated time runs FACTOR times faster
//   stop
#pragma once

#include "app/settings.h"
#include "sim/device.h"
#include "sim/model.h"
#include "sim/pty.h"
#include "sim/spring.h"

#include <chrono>
#include <deque>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace veltron::sim {

inline constexpr int kLoadCellPort = 4;
inline constexpr int kLoadCellBaud = 57600;
inline constexpr int kSecondControllerBaud = 57600;

struct Options {
    std::filesystem::path devDir;
    std::filesystem::path setupPath;
    std::filesystem::path calibrationDir; // holds Tabl1\cal1..4.txt; empty: the setup file's folder
    SpringSpec spring;
    double speed = 1.0;
    bool pace = false;                 // send each byte at the line's baud rate
    std::vector<std::string> commands; // control commands run before the lines open
};

struct DeviceFaults {
    bool silent = false;
    bool badCheck = false;
    int noise = 0;  // bytes of noise before every answer
    int slowMs = 0; // gap before every byte of an answer [ms]
};

class Simulator {
public:
    using Clock = std::chrono::steady_clock;

    // Reads the settings and the calibration tables and builds the devices; throws
    // std::runtime_error (bad settings, ports that clash, missing tables).
    explicit Simulator(Options options);
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // Creates the pseudo-terminals, the links and the control socket.
    void start();
    // Serves the lines and the control channel until stop; removes the links at the end.
    void run();
    // Safe from any thread and from a signal handler.
    void requestStop();

    // "ready: COM1=ck COM2=cam ..." once started.
    std::string readyLine() const;
    std::filesystem::path controlPath() const { return options_.devDir / "rigsim.sock"; }
    // Runs one control command; the reply as it goes over the socket.
    std::string control(const std::string& line);

    RigModel& model() { return *model_; }
    // What in the installation keeps the rig from scanning the spring as it stands: a scan
    // longer than a camera's memory, a camera whose table does not reach the spring.
    const std::vector<std::string>& warnings() const { return warnings_; }

private:
    struct Pending {
        std::uint8_t byte;
        Clock::time_point at;
    };
    struct Line {
        std::string name;
        int port = 0;
        int baud = 0;
        int bitsPerByte = 10;
        std::unique_ptr<Device> device;
        PtyLine pty;
        std::deque<Pending> out;
        bool unplugged = false;
        Clock::time_point plugAt{};
        bool plugOnTimer = false;
    };
    struct Client {
        int fd = -1;
        std::string in;
        std::string out;
    };

    void checkCameras(const CameraSetup& cams);
    double modelNow() const;
    Line* lineOf(const std::string& device);
    Device* deviceOf(const std::string& device, Line** line = nullptr);
    void openLine(Line& line);
    void unplug(Line& line, int ms);
    void serve(Line& line);
    void queue(Line& line, const Answer& answer);
    void flush(Line& line);
    void acceptClient();
    void serveClient(Client& c);

    Options options_;
    Settings settings_;
    std::unique_ptr<RigModel> model_;
    std::vector<std::unique_ptr<Line>> lines_;
    std::map<std::string, DeviceFaults> faults_;
    std::vector<std::string> warnings_;
    int listen_ = -1;
    int wake_[2] = {-1, -1};
    std::vector<Client> clients_;
    bool stopping_ = false;
    bool started_ = false;
    double speed_ = 1.0;
    Clock::time_point realBase_;
    double modelBase_ = 0;
};

} // namespace veltron::sim
