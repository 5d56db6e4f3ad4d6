#include "platform/desktop.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xrandr.h>
#include <X11/keysym.h>

namespace veltron {

struct Desktop::Impl {
    Display* display = nullptr;
    bool changed = false;
    SizeID originalSize = 0;
    Rotation originalRotation = RR_Rotate_0;

    bool setSize(SizeID id, Rotation rotation) {
        const Window root = DefaultRootWindow(display);
        XRRScreenConfiguration* config = XRRGetScreenInfo(display, root);
        if (config == nullptr) {
            return false;
        }
        const Status s = XRRSetScreenConfig(display, config, root, id, rotation, CurrentTime);
        XRRFreeScreenConfigInfo(config);
        XFlush(display);
        return s == Success;
    }
};

Desktop::Desktop(bool useX) : impl_(std::make_unique<Impl>()) {
    if (useX) {
        impl_->display = XOpenDisplay(nullptr);
    }
}

Desktop::~Desktop() {
    if (impl_->display != nullptr) {
        XCloseDisplay(impl_->display);
    }
}

bool Desktop::hasX() const {
    return impl_->display != nullptr;
}

std::pair<int, int> Desktop::displaySize() const {
    if (impl_->display == nullptr) {
        return {0, 0};
    }
    const int screen = DefaultScreen(impl_->display);
    return {DisplayWidth(impl_->display, screen), DisplayHeight(impl_->display, screen)};
}

bool Desktop::setDisplayMode(int width, int height) {
    Display* d = impl_->display;
    if (d == nullptr) {
        return false;
    }
    const Window root = DefaultRootWindow(d);
    XRRScreenConfiguration* config = XRRGetScreenInfo(d, root);
    if (config == nullptr) {
        return false;
    }
    Rotation rotation = RR_Rotate_0;
    const SizeID current = XRRConfigCurrentConfiguration(config, &rotation);
    int count = 0;
    XRRScreenSize* sizes = XRRConfigSizes(config, &count);
    int wanted = -1;
    for (int i = 0; i < count; ++i) {
        if (sizes[i].width == width && sizes[i].height == height) {
            wanted = i;
            break;
        }
    }
    XRRFreeScreenConfigInfo(config);
    if (wanted < 0) {
        return false;
    }
    if (!impl_->changed) {
        impl_->originalSize = current;
        impl_->originalRotation = rotation;
    }
    if (!impl_->setSize(static_cast<SizeID>(wanted), rotation)) {
        return false;
    }
    impl_->changed = true;
    return true;
}

void Desktop::restoreDisplayMode() {
    if (impl_->display != nullptr && impl_->changed) {
        impl_->setSize(impl_->originalSize, impl_->originalRotation);
        impl_->changed = false;
    }
}

void Desktop::forceNumLockOn() {
    Display* d = impl_->display;
    if (d == nullptr) {
        return;
    }
    const Atom numLock = XInternAtom(d, "Num Lock", False);
    Bool on = False;
    if (!XkbGetNamedIndicator(d, numLock, nullptr, &on, nullptr, nullptr) || on) {
        return;
    }
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    if (!XTestQueryExtension(d, &eventBase, &errorBase, &major, &minor)) {
        return;
    }
    const KeyCode code = XKeysymToKeycode(d, XK_Num_Lock);
    if (code == 0) {
        return;
    }
    XTestFakeKeyEvent(d, code, True, CurrentTime);
    XTestFakeKeyEvent(d, code, False, CurrentTime);
    XFlush(d);
}

void Desktop::bell() {
    if (impl_->display != nullptr) {
        XBell(impl_->display, 0);
        XFlush(impl_->display);
    }
}

} // namespace veltron
