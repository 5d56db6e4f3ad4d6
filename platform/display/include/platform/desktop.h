// The parts of the desktop the operator screen touches beyond its window: the display mode
// (switched for full-screen operation and restored on every exit), the Num Lock state
// (forced on so the numeric block types digits) and the bell. They work where an X server
// is present; elsewhere (no display, Wayland, the headless test platform) they do nothing.
#pragma once

#include <memory>
#include <utility>

namespace veltron {

class Desktop {
public:
    // Connects to the X server named by DISPLAY when useX is true and one answers.
    explicit Desktop(bool useX);
    ~Desktop();
    Desktop(const Desktop&) = delete;
    Desktop& operator=(const Desktop&) = delete;

    bool hasX() const;
    // Size of the display now; (0, 0) without an X server.
    std::pair<int, int> displaySize() const;
    // Switches the display to a mode of exactly width x height; false when there is none.
    bool setDisplayMode(int width, int height);
    // Puts back the size that was in force before the first setDisplayMode.
    void restoreDisplayMode();
    void forceNumLockOn();
    void bell();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace veltron
