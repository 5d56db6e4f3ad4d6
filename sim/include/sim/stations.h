// The stations on the framed serial links: the main controller, the second controller and
// the four cameras on their shared line. Requests are decoded and answers encoded with the
// program's own frame codec; answers carry the command code as their control byte (the
// main controller's link check answers with "Ok" instead), so the program finds the data
// from answer byte 1 on.
#pragma once

#include "hdlc/frame.h"
#include "sim/device.h"
#include "sim/model.h"
#include "sim/spring.h"

#include <array>
#include <functional>
#include <vector>

namespace veltron::sim {

// Receives the frames of one line and hands each valid one to a handler.
class HdlcLine {
public:
    using Handler = std::function<void(const hdlc::FrameFields&, std::vector<Answer>&)>;
    HdlcLine();
    // Hands every frame whose FCS checks to handle, and reports the others to onBadFrame.
    void receive(std::span<const std::uint8_t> bytes, std::vector<Answer>& out, const Handler& handle,
                 const std::function<void()>& onBadFrame);

private:
    std::vector<std::uint8_t> storage_;
    hdlc::FrameReceiver rx_;
};

Answer hdlcAnswer(const std::string& device, std::uint8_t address, std::uint8_t control,
                  std::span<const std::uint8_t> data);

class MainController : public Device {
public:
    MainController(RigModel& model, std::uint8_t address) : model_(model), address_(address) {}
    void receive(std::span<const std::uint8_t> bytes, std::vector<Answer>& out) override;
    std::vector<std::string> names() const override { return {"ck"}; }
    Counters& counters(const std::string&) override { return counters_; }

private:
    void handle(const hdlc::FrameFields& f, std::vector<Answer>& out);
    RigModel& model_;
    std::uint8_t address_;
    HdlcLine line_;
    Counters counters_;
};

class SecondController : public Device {
public:
    static constexpr std::uint8_t kAddress = 240;
    explicit SecondController(RigModel& model) : model_(model) {}
    void receive(std::span<const std::uint8_t> bytes, std::vector<Answer>& out) override;
    std::vector<std::string> names() const override { return {"ck2"}; }
    Counters& counters(const std::string&) override { return counters_; }
    // Called when a scan starts (command 12): the cameras drop their old points.
    std::function<void()> onScanStart;

private:
    void handle(const hdlc::FrameFields& f, std::vector<Answer>& out);
    RigModel& model_;
    HdlcLine line_;
    Counters counters_;
    std::uint16_t measurements_ = 0; // command 29
};

// Four cameras at addresses 1 to 4 on one line. Each keeps the points of the last scan (or
// of a single measurement) in its memory until the next scan start; a camera holds at most
// kMaxPoints points, which is what one answer of the link can carry.
class CameraBus : public Device {
public:
    static constexpr int kMaxPoints = 2498;
    struct Camera {
        bool laser = false;
        int shutter = 0;
        int threshold = 0;
        std::array<std::uint8_t, 3> mode{};
        bool single = false; // memory holds a single measurement
        std::vector<std::int32_t> singlePoint;
    };

    CameraBus(RigModel& model, CameraSetup setup) : model_(model), setup_(std::move(setup)) {}
    void receive(std::span<const std::uint8_t> bytes, std::vector<Answer>& out) override;
    std::vector<std::string> names() const override { return {"cam1", "cam2", "cam3", "cam4"}; }
    Counters& counters(const std::string& name) override;
    const Camera& camera(int c) const { return cams_[static_cast<std::size_t>(c)]; }
    void scanStarted();
    const CameraSetup& setup() const { return setup_; }

    // The points camera c holds now: the scan so far, or the single measurement.
    std::vector<std::int32_t> points(int c);
    // Answer data of a profile download: three header bytes, then four bytes per point,
    // value × 32 in the low bytes (the program divides by 32).
    static Bytes profileData(const std::vector<std::int32_t>& points);

private:
    void handle(const hdlc::FrameFields& f, std::vector<Answer>& out);
    const std::vector<std::int32_t>& scanRow(int c);

    RigModel& model_;
    CameraSetup setup_;
    HdlcLine line_;
    std::array<Camera, 5> cams_{};
    std::array<Counters, 5> counters_{};
    // Profiles of the scan under way, computed for `cachedPoints` points from `cachedStart`.
    std::array<std::vector<std::int32_t>, 5> cache_;
    int cachedPoints_ = -1;
    double cachedStart_ = 0;
    double cachedStep_ = 0;
    std::string cachedSpring_;
};

} // namespace veltron::sim
