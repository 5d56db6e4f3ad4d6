// What the measurement sequences need from the rig command layer: one function per rig
// command, named by its role (the service-window caption in the comment), and the flags and
// values the commands leave. The sequences call it only with emulation off; emulation is
// decided in the sequences alone. The rig layer satisfies it with its real commands; tests
// satisfy it with a fake that records the calls.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace veltron {

// Who answered the link check ("?" of the group "Проверка связи").
struct LinkFlags {
    bool drive = false;            // frequency drive
    bool mainController = false;   // main controller
    bool camera[5] = {};           // cameras 1..4 at [1..4]
    bool loadCell = false;         // load cell
    bool secondController = false; // second controller
};

class RigCommands {
public:
    virtual ~RigCommands() = default;

    // Motion time-out flag as the last waiting command left it.
    virtual bool motionTimedOut() const = 0;
    // Progress display flag: the waiting press commands draw their bars while it is on.
    virtual void setProgressDisplay(bool on) = 0;
    // On while a sequence runs, so background sensor polls keep out of its commands.
    virtual void setSequenceRunning(bool on) = 0;

    // Clears the service window's boxes auto hydraulics on and auto hydraulics off, so the
    // motion commands leave the hydraulics alone.
    virtual void clearAutoHydraulics() = 0;
    virtual void hydraulicsOn() = 0;  // "ГС+СЛИВ ВКЛ"
    virtual void hydraulicsOff() = 0; // "ГС+СЛИВ ВЫКЛ"

    virtual void centringOpenAndWait() = 0;  // "<<>>"
    virtual void centringCloseAndWait() = 0; // ">><<"
    virtual void centringGrip() = 0;         // "<O>"
    virtual void carriageRightToEnd() = 0;   // ">>"
    virtual void carriageLeftToEnd() = 0;    // "<<"
    virtual void geometryUpToEnd() = 0;      // "//\\" of the geometry group
    virtual void geometryDownToEnd() = 0;    // "\\//" of the geometry group
    virtual void geometryMeasurement() = 0;  // "Замер геометрии"

    virtual void pressUpToEnd() = 0;       // "//\\" of the press group
    virtual void pressUpJog() = 0;         // "/\"
    virtual void pressStop() = 0;          // "Х"
    virtual void pressDownToContact() = 0; // "\\//" of the press group
    virtual void pressDownJog() = 0;       // "\/"
    virtual void pressLiftOff() = 0;       // "/\3"
    // "?/\3": the press encoder count; nothing when the answer was not a valid reading.
    virtual std::optional<std::int32_t> readPressHeight() = 0;
    // "в кг", the target in kg, "до ADC". False when the target cannot be sent (the
    // load-cell line cannot convert it, or it lies outside the controller's range); nothing
    // moved then.
    virtual bool pressDownToForce(std::int32_t kg) = 0;
    // "Результат сил. исп": the encoder count of the force result; nothing when invalid.
    virtual std::optional<std::int32_t> readForceResult() = 0;
    // Press encoder count -> press height [mm]; not finite when the conversion is undefined.
    virtual double pressHeight(std::int32_t count) = 0;

    // "ЦК2": whether the second controller answers.
    virtual bool checkSecondController() = 0;
    // "?" of "Проверка связи": clears the flags and checks every device.
    virtual LinkFlags linkCheck() = 0;
};

} // namespace veltron
