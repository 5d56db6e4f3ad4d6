// What the rig commands need from the window system: dispatching pending window messages
// (timers and clicks are served inside a waiting command), sleeping without dispatching, a
// millisecond clock that never wraps, and the default beep. The program's main window
// (UiHost) satisfies it through HostAdapter; tests use a scripted host without Qt.
#pragma once

#include <cstdint>

namespace veltron::rig {

class RigHost {
public:
    virtual ~RigHost() = default;
    virtual void processEvents() = 0;
    virtual void sleepMs(int ms) = 0;
    virtual std::uint64_t tickMs() = 0;
    virtual void beep() = 0;
};

// Adapts any window host with the same four member functions (UiHost does).
template <class Host>
class HostAdapter final : public RigHost {
public:
    explicit HostAdapter(Host& host) : host_(host) {}
    void processEvents() override { host_.processEvents(); }
    void sleepMs(int ms) override { host_.sleepMs(ms); }
    std::uint64_t tickMs() override { return host_.tickMs(); }
    void beep() override { host_.beep(); }

private:
    Host& host_;
};

} // namespace veltron::rig
