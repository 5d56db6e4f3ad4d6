// The rig commands of the sequences carried out by the rig command layer (rig::Terminal):
// the same functions the service window's buttons run, with the window fields the sequences
// fill in (auto hydraulics boxes, the force unit and target) and the flags and values the
// commands leave.
#pragma once

#include "rig/terminal.h"
#include "sequences/rig.h"

namespace veltron {

class TerminalCommands final : public RigCommands {
public:
    TerminalCommands(rig::Terminal& terminal, const Settings& settings) : t_(terminal), settings_(settings) {}

    bool motionTimedOut() const override { return t_.values.motionTimeout; }
    void setProgressDisplay(bool on) override { t_.values.progressDisplay = on ? 1 : 0; }
    void setSequenceRunning(bool on) override { t_.values.sequenceRunning = on; }
    void clearAutoHydraulics() override {
        t_.state.CheckBox2 = false;
        t_.state.CheckBox3 = false;
    }
    void hydraulicsOn() override { t_.hydraulicsOn(); }
    void hydraulicsOff() override { t_.hydraulicsOff(); }
    void centringOpenAndWait() override { t_.centringOpenAndWait(); }
    void centringCloseAndWait() override { t_.centringCloseAndWait(); }
    void centringGrip() override { t_.centringGrip(); }
    void carriageRightToEnd() override { t_.carriageRightToEnd(); }
    void carriageLeftToEnd() override { t_.carriageLeftToEnd(); }
    void geometryUpToEnd() override { t_.geometryUpToEnd(); }
    void geometryDownToEnd() override { t_.geometryDownToEnd(); }
    void geometryMeasurement() override { t_.geometryMeasurement(); }
    void pressUpToEnd() override { t_.pressUpToEnd(); }
    void pressUpJog() override { t_.pressUpJog(); }
    void pressStop() override { t_.pressStop(); }
    void pressDownToContact() override { t_.pressDownToContact(); }
    void pressDownJog() override { t_.pressDownJog(); }
    void pressLiftOff() override { t_.pressLiftOff(); }
    std::optional<std::int32_t> readPressHeight() override;
    bool pressDownToForce(std::int32_t kg) override;
    std::optional<std::int32_t> readForceResult() override;
    double pressHeight(std::int32_t count) override;
    bool checkSecondController() override;
    LinkFlags linkCheck() override;

private:
    rig::Terminal& t_;
    const Settings& settings_;
};

} // namespace veltron
