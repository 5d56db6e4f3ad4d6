#include "sequences/terminal_commands.h"

#include <cmath>
#include <limits>

namespace veltron {

std::optional<std::int32_t> TerminalCommands::readPressHeight() {
    t_.pressHeightRead();
    if (!t_.values.pressHeightValid) {
        return std::nullopt;
    }
    return t_.values.pressHeightCount;
}

bool TerminalCommands::pressDownToForce(std::int32_t kg) {
    // The sequences always give the target in kg ("в кг").
    t_.state.RadioButton1 = false;
    t_.state.RadioButton2 = true;
    t_.state.Edit3 = std::to_string(kg);
    t_.pressDownToForce();
    return !t_.values.commandRefused;
}

std::optional<std::int32_t> TerminalCommands::readForceResult() {
    t_.forceResultRead();
    if (!t_.values.forceValid) {
        return std::nullopt;
    }
    return t_.values.forceCount;
}

double TerminalCommands::pressHeight(std::int32_t count) {
    const std::optional<float> mm = rig::pressHeightMm(settings_, count);
    return mm ? static_cast<double>(*mm) : std::numeric_limits<double>::quiet_NaN();
}

bool TerminalCommands::checkSecondController() {
    t_.secondControllerLinkCheck();
    return t_.values.linkSecondController;
}

LinkFlags TerminalCommands::linkCheck() {
    t_.linkCheck();
    LinkFlags f;
    f.drive = t_.values.linkDrive;
    f.mainController = t_.values.linkMainController;
    for (int c = 1; c <= 4; ++c) {
        f.camera[c] = t_.values.linkCamera[static_cast<std::size_t>(c)];
    }
    f.loadCell = t_.values.linkLoad;
    f.secondController = t_.values.linkSecondController;
    return f;
}

} // namespace veltron
