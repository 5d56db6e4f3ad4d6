// The measurement sequences: the system check, the rig initialisation, the warm-up, the set
// measurement and the spring measurement, with the measurement screen and the press cycle
// they share. Everything runs on the user-interface thread; every wait pumps window messages
// through the screen's host.
//
// Emulation (Emul) is decided here and only here: in emulation no rig command is issued, the
// emulation pauses are taken instead and the values come from the emulation filler. With
// emulation off every command goes through RigCommands.
//
// A measurement run: idle -> running (rig moves; a coded rig fault ends the program through
// the fault screen) -> storing (counter persisted, row appended) -> result screen (keys 10
// print and 12 return) -> idle. A run that cannot give a trustworthy result (no type chosen,
// an invalid press reading, a force target that cannot be sent) is abandoned: one log line
// "Замер прерван, ...", the rig initialisation, back to the menu, nothing stored.
#pragma once

#include "app/catalogue.h"
#include "app/settings.h"
#include "app/state.h"
#include "platform/database.h"
#include "results/data.h"
#include "screens/keypad.h"
#include "screens/pickers.h"
#include "screens/screen.h"
#include "sequences/faults.h"
#include "sequences/rig.h"

#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace veltron {

// Geometry of the four-camera evaluation; nothing where a result is undefined.
struct GeometryReading {
    std::optional<double> height;              // [mm]
    std::optional<double> diameter;            // outer diameter [mm]
    std::optional<double> pitchSpread;         // [mm]
    std::optional<double> nonPerpendicularity; // [mm]
};

// Parts that other subsystems plug in; a hook left empty is reported where it is needed.
struct SequenceHooks {
    // Step event of the event notifier (sent only when Ardu is on).
    std::function<void(const std::string&)> stepEvent;
    // Result pages and sheets of the results subsystem.
    std::function<void(const _xKZamer&)> drawSetResultPage;
    std::function<void(const _xKZamer&)> printSetSheet;
    std::function<void(const _xZamer&)> drawSpringResultPage;
    std::function<void(const _xZamer&)> printSpringSheet;
    // The four-camera evaluation: "Открыть", then "Авторасчет". May throw on a missing or
    // malformed profile; the spring measurement then stores nothing.
    std::function<GeometryReading()> evaluateGeometry;
    // The debug input window: shown with height and diameter, gives back the two accepted
    // numbers.
    std::function<std::pair<double, double>(double height, double diameter)> debugInput;
    // The status panel with the operator selections.
    std::function<void()> showStatus;
};

// A press count that may be missing because its reading was not valid.
struct PressCounts {
    std::optional<std::int32_t> liftOffBefore = 0;
    std::optional<std::int32_t> liftOffAfter = 0;
    std::optional<std::int32_t> forceAtFourthLoad = 0;
};

// What a caller gives the press cycle.
struct PressParameters {
    std::string contact1, contact2; // contact status texts
    std::string loadPrefix;         // "Нагрузка " or "Нагрузка комплекта "; k and ":" follow
    float PHS = 0, PHU = 0, PLS = 0, PLU = 0;
    float multiplier = 1.0F;
    int lastPause = 300;
    bool setMeasurement = false;
    std::string springName; // shown after the first status line of a spring measurement
};

// Thrown inside a run that must be abandoned; carries the log line.
class MeasurementAborted : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The fault rule of the system check: the code for the link flags when fewer than eight
// devices answer, 0 when all answer.
int systemCheckFaultCode(const LinkFlags& flags);

// Whether the geometry holds every value the spring type takes from the rig (the slots its
// Mask1 leaves clear; Demu and RSemu keep the diameter and pitch spread from the filler).
bool rigGeometryComplete(const SpringType& type, const GeometryReading& geometry, const Settings& settings);

// Spring types that match the measured diameter d and height h with the margins of
// naminus and naplus (inner-diameter types widened by 2 x Prutok).
std::vector<int> matchingSpringTypes(const Catalogue& catalogue, const std::vector<std::int32_t>& bound, double d,
                                     double h, const Settings& settings);

struct SequenceContext {
    const Settings& settings;
    Screen& screen;
    Keypad& keypad;
    Pickers& pickers;
    StateStore& state;
    const Catalogue& catalogue;
    db::Connection& connection;
    CurrentRecords& records;
    RandomSource& rng;
    Clock clock;
    FaultScreens& faults;
    RigCommands* rig = nullptr; // the command layer; needed only with emulation off
};

class Sequences {
public:
    Sequences(SequenceContext context, SequenceHooks hooks);

    void systemCheck();
    void rigInit();
    void warmUp();
    void setMeasurement();
    void springMeasurement();

    // Scales every fixed pause of the sequences (percent; 100 as built, 0 in tests).
    void setPauseScale(int percent) { pauseScale_ = percent; }
    SequenceHooks& hooks() { return hooks_; }
    // The counts of the last press cycle.
    const PressCounts& lastCounts() const { return counts_; }

    // Pieces of the measurement screen, public for the screens' tests.
    void drawMeasurementScreen(const std::string& title, int titleX, const std::string& picture);
    void markIndicator(int i);
    void status(const std::string& text);

private:
    bool emulating() const { return ctx_.settings.Emul; }
    RigCommands& rig();
    void sleep(int ms);
    void pumpAndSleep(int ms);
    void emulationPause(int ms);
    void shortWait();
    void progress(bool on);
    void commandStep(void (RigCommands::*command)(), int faultCode);
    void raisePress();
    void pressCycle(const PressParameters& p);
    void plainConsole(const std::string& text);
    void console(const std::string& text);
    void logLine(const std::string& text);
    void newShiftCheck();
    bool refusedOnRig();
    int setPicker();
    int springTypeDetermination(double d, double h);
    void drawSpringDetails(const std::vector<std::int32_t>& bound, int line, double d, double h);
    // Abandons a run: log line, rig initialisation, screens back to the depth of the start.
    void abandon(const std::string& line, int depth);
    void drawBoxes(int count, int x0, int y0, const std::vector<std::pair<int, std::string>>& labels, int labelY);
    void markBox(int x0, int y0, int i, Rgb color, int ms);
    void storeSet(int setType);
    void setResultScreen();
    void storeSpring(int springType, const GeometryReading& geometry);
    void springResultScreen();
    void showStatus();

    SequenceContext ctx_;
    SequenceHooks hooks_;
    PressCounts counts_;
    int pauseScale_ = 100;
    int runningDepth_ = 0;
};

} // namespace veltron
