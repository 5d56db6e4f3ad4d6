// A simulator on a thread of the test, in a folder of its own, and the client side of its
// lines: the project's frame codec over the serial layer, as the program talks to a rig.
#pragma once

#include "hdlc/frame.h"
#include "platform/serial.h"
#include "sim/simulator.h"

#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace veltron::simtest {

using Bytes = std::vector<std::uint8_t>;

// A folder with the sample installation's setup.ini and calibration tables, the scan made
// to fit a camera's memory and the press height conversion through its own calibration
// points (see realisticMathem).
std::filesystem::path makeInstallation(const std::filesystem::path& dir);
// The [Mathem] values the installation is given: 2400 points of 0.2 mm from 600 mm down
// (the sample's 10000 points would not fit the cameras' 2498), and Hpr = 600 so that the
// press encoder's calibration points (0 counts at 600 mm, 100000 at 100 mm) hold.
const std::vector<std::pair<std::string, std::string>>& realisticMathem();

class RunningSim {
public:
    explicit RunningSim(sim::Options options);
    ~RunningSim();
    sim::Simulator& sim() { return *sim_; }
    std::filesystem::path port(int n) const;
    // One control command over the socket; the reply without its last line, which must be "ok".
    std::string control(const std::string& cmd) const;
    std::string controlRaw(const std::string& cmd) const; // the whole reply
    std::map<std::string, std::string> state() const;
    long counter(const std::string& device, const std::string& key) const;
    // Polls the state until pred holds (at most `polls` round trips); false if it never did.
    template <typename Pred>
    bool waitState(Pred pred, int polls = 20000) const {
        for (int i = 0; i < polls; ++i) {
            if (pred(state())) {
                return true;
            }
        }
        return false;
    }
    bool waitStopped(int polls = 20000) const {
        return waitState([](const auto& s) { return s.at("moving") == "0000"; }, polls);
    }

private:
    std::filesystem::path devDir_;
    std::unique_ptr<sim::Simulator> sim_;
    std::thread thread_;
};

// Options for a simulator in dir: the installation above, speed factor 50.
sim::Options fastOptions(const std::filesystem::path& dir);

// One command over a control socket; the whole reply.
std::string controlCommand(const std::filesystem::path& socket, const std::string& cmd);

// A fresh empty folder for one test.
std::filesystem::path scratch(const std::string& name);

// A framed link to a station on one of the simulator's lines.
class Link {
public:
    Link(const std::filesystem::path& device, int baud);
    // Sends the request and waits for one answer frame (address first, FCS last) with the
    // given gap between bytes; nullopt when nothing (or no whole frame) came.
    std::optional<Bytes> exchange(std::uint8_t address, std::uint8_t control, const Bytes& data = {}, int gapMs = 2000);
    // The raw bytes that arrive until the line stays silent for gapMs.
    Bytes readAll(int gapMs);
    serial::Port& port() { return port_; }
    bool send(const Bytes& raw);

private:
    serial::Port port_;
};

// Fields of an answer frame (checks the FCS).
hdlc::FrameFields fields(const Bytes& frame);
std::uint32_t be32(const Bytes& d, std::size_t at);

} // namespace veltron::simtest
