// The rig command layer: every rig command as one parameterless function named by its role,
// the state the service window TForm4 shows (check boxes, edit fields, labels, log), the
// program-wide rig flags and values the sequences read, and one table that maps each TForm4
// ButtonNN to its function. The window only shows TerminalState and binds its buttons to
// Terminal::buttons(); the sequences call the same functions and then read RigValues.
//
// Lifecycle of a waiting command (carriageLeftToEnd and the like): lock the control groups,
// hydraulics on (CheckBox2), send the move, then poll the awaited sensor state once per step
// (sleeping 5 ms and pumping window messages between polls) until it is present or the poll
// counter reaches the poll limit; motion time-out flag := counter >= limit; hydraulics off
// (CheckBox3), poll all sensors, unlock. Nothing cancels it but the poll limit.
//
// Link results follow the link library: a negative result raises the command fault report
// with the command's code and the command goes on. A reading uses an answer only when the
// exchange gave result 1 and the answer holds the bytes it decodes; otherwise its value is
// marked invalid (valid flag false, label "?"), and a waiting command counts that poll as
// "state not present".
#pragma once

#include "app/settings.h"
#include "drivers/camera.h"
#include "drivers/drive.h"
#include "drivers/link.h"
#include "drivers/tenzo.h"
#include "rig/host.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace veltron::rig {

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

inline constexpr Rgb kSensorSet{255, 0, 0};       // sensor label font when the bit is set
inline constexpr Rgb kSensorClear{192, 192, 192}; // ... when clear
inline constexpr Rgb kLinkOk{0, 128, 0};          // link label background "ok"
inline constexpr Rgb kLinkError{160, 160, 164};   // link label background "error"

struct Label {
    std::string caption;
    Rgb font{0, 0, 0};
    std::optional<Rgb> background; // none: the window's own
};

// What TForm4 shows; writable while the window is hidden (the sequences set CheckBox2,
// CheckBox3, RadioButton2, Edit1, Edit2 and Edit3 as inputs of the commands).
struct TerminalState {
    bool CheckBox1 = false;    // "Автоопрос датчиков": Timer1 polls all sensors every 300 ms when idle
    bool CheckBox2 = true;     // "Авто ВКЛ ГС": a waiting command switches the hydraulics on first
    bool CheckBox3 = true;     // "Авто ВЫКЛ ГС ": a waiting command switches them off at its end
    bool RadioButton1 = false; // "в ед. АЦП": Edit3 is a target in ADC units
    bool RadioButton2 = true;  // "в кг": Edit3 is a target in kg, converted to ADC units
    std::string Edit1 = "5000"; // drive frequency x 100 ("Частота ЧРП * 100")
    std::string Edit2 = "1";    // camera number of the laser buttons (used as station address)
    std::string Edit3 = "0";    // press target (kg or ADC units, see the radio buttons)
    std::string Edit7 = "100";  // pulses to the cameras ("1-255 зам.")
    std::string Edit8 = "8";    // divider of the scan encoder ("Делитель Лира")
    std::string Edit9 = "0";    // text of the next UDP step event (hidden)
    // Labels by their TForm4 names (Label1 .. Label48, Label23 is the status line).
    std::map<std::string, Label> labels;
    std::vector<std::string> Memo1;   // the terminal log, one line per entry
    bool controlGroupsEnabled = true; // the six button groups; off while a waiting command runs
    bool shown = false;               // terminal shown flag: the fault report becomes a log line

    TerminalState();
};

// Program-wide rig flags and values, read by the sequences after a command.
struct RigValues {
    // Motion time-out flag: after a waiting command, true when its poll counter reached the
    // poll limit (also when the state came on the last allowed poll, and always with limit 0).
    // Centring close and wait sets it when bit 0 was not seen; centring open and wait clears it;
    // a geometry measurement whose scan start failed sets it.
    bool motionTimeout = false;
    // End-sensor flag: the tested bit of the last sensor poll (false when that poll was invalid).
    bool endSensor = false;
    bool endSensorValid = false;
    // Progress display flag, owned by the sequences: 1 while a sequence shows its progress on
    // the main screen (waiting commands then draw progress bars), 0 otherwise.
    int progressDisplay = 0;
    // Set by a sequence while it runs, so the auto-poll timer stays quiet.
    bool sequenceRunning = false;
    // True after a command that refused its input and sent nothing (a bad edit field, a press
    // target that cannot be converted); cleared at the start of every such command.
    bool commandRefused = false;

    std::uint16_t adc = 0;         // current load-cell ADC value [ADC units]; 0 while a read runs
    bool adcValid = false;         // the last ADC read decoded a real answer
    std::int32_t encoderCount = 0; // last encoder count [encoder counts]
    bool encoderValid = false;
    std::int32_t pressHeightCount = 0; // press height count [encoder counts]
    bool pressHeightValid = false;
    std::int32_t forceCount = 0; // force result count [encoder counts], signed
    std::uint16_t forceAdc = 0;  // force result ADC [ADC units]
    bool forceValid = false;     // both force result values come from a real answer
    std::int32_t lastWeight = 0; // last weight of the load-cell instrument [kg]

    // Link status flags of the device checks, and their conjunction.
    bool linkDrive = false;
    bool linkMainController = false;
    std::array<bool, 5> linkCamera{}; // [1..4]
    bool linkLoad = false;
    bool linkSecondController = false;
    bool allLinksOk = false;
};

// One progress bar of a waiting command, in canvas coordinates (fills cover x1..x2-1).
struct ProgressBar {
    int bar = 1;    // step indicator 1..5
    int x0 = 0;     // (bar - 1) * 110
    int length = 0; // 0..50 pixels
    Rgb colour{0, 128, 0};
};
// n <= 0 gives length 0; the length is clamped to 0..50.
ProgressBar progressBar(int bar, int i, int n);

// Weight conversions of the load cell, truncated toward zero; nothing when the divisor is 0
// or the result is not finite or outside 32 bits.
std::optional<std::int32_t> kgFromAdc(const Settings& s, double adc);
std::optional<std::int32_t> adcFromKg(const Settings& s, double kg);
// Press height [mm] of a press encoder count; nothing when сLir1 = сLir2 or not finite.
std::optional<float> pressHeightMm(const Settings& s, std::int32_t count);

// Payloads of the motion commands (34 .. 37): mode, direction, time big-endian, and optional
// second (4 bytes) and third (1 or 2 bytes) values.
std::vector<std::uint8_t> motionPayload(int mode, int direction, std::int32_t timeMs);
std::vector<std::uint8_t> motionPayload(int mode, int direction, std::int32_t timeMs, std::int32_t second);
std::vector<std::uint8_t> motionPayload(int mode, int direction, std::int32_t timeMs, std::int32_t second,
                                        std::uint16_t third, int thirdBytes);

class Terminal;

// One TForm4 button: its name, its caption and the command it runs.
struct ButtonBinding {
    const char* name;
    const char* caption;
    void (Terminal::*action)();
};

class Terminal {
public:
    // workDir: the working directory (Errors\, STORE\, cam<c>.txt, tenzo.log, report.txt).
    // nowSpring gives the operator state's NOWSPRING.
    Terminal(const Settings& settings, RigHost& host, std::filesystem::path workDir,
             std::function<int()> nowSpring = {});
    ~Terminal();
    Terminal(const Terminal&) = delete;
    Terminal& operator=(const Terminal&) = delete;

    TerminalState state;
    RigValues values;

    // Hooks of the program (all optional).
    // The fault screen of a command fault report (code N, quoted text of its line); it is
    // expected not to return. Called only while the terminal is hidden and rtErrorEnable is on.
    std::function<void(int code, const std::string& quoted)> commandFaultScreen;
    // Draws a progress bar on the main screen (only called while the progress display is 1).
    std::function<void(const ProgressBar&)> drawProgressBar;
    // Writes a text on the main screen canvas ("Times New Roman" 8 pt, blue, no background).
    std::function<void(int x, int y, const std::string& text)> mainScreenText;
    // Shows a text in the sequence status line of the measurement screen.
    std::function<void(const std::string& text)> sequenceStatus;
    // Called after state changed (labels, log, flags), so a window can refresh.
    std::function<void()> changed;
    // The UDP sender; sendDatagram unless replaced.
    std::function<bool(const std::string& text)> datagram;

    // --- link opening (start-up order: main controller, cameras, load cell, drive, second) ---
    bool openMainController();
    bool openCameras();
    bool openLoadCell();
    bool openDrive();
    bool openSecondController();

    // --- actuator commands ---
    void carriageLeftToEnd();
    void carriageLeftJog();
    void carriageRightJog();
    void carriageRightToEnd();
    void carriageStop();
    void centringOpen();
    void centringClose();
    void centringStop();
    void centringCloseAndWait();
    void centringOpenAndWait();
    void centringGrip();
    void geometryUpToEnd();
    void geometryUpJog();
    void geometryDownJog();
    void geometryDownToEnd();
    void geometryStop();
    void pressUpToEnd();
    void pressUpJog();
    void pressDownJog();
    void pressDownToContact();
    void pressDownToForce();
    void pressLiftOff();
    void pressStop();
    void drainOn();
    void drainOff();
    void pumpStart();
    void pumpStop();
    void pumpFrequencySet();
    void hydraulicsOn();
    void hydraulicsOff();

    // --- readings ---
    void sensorPoll(int bit); // bits 0..8
    void pollCentringClosed() { sensorPoll(0); }
    void pollCarriageLeftEnd() { sensorPoll(1); }
    void pollCarriageRightEnd() { sensorPoll(2); }
    void pollGeometryUpperEnd() { sensorPoll(3); }
    void pollGeometryLowerEnd() { sensorPoll(4); }
    void pollPressUpperEnd() { sensorPoll(5); }
    void pollPressTouch1() { sensorPoll(6); }
    void pollPressTouch2() { sensorPoll(7); }
    void pollPressTouch3() { sensorPoll(8); }
    void adcRead();
    void encoder1Read();
    void encoder2Read();
    void encoder1Reset();
    void encoder2Reset();
    void pressHeightRead();
    void forceResultRead();
    void secondSensorRead();
    void secondEncoderRead();
    void dividerSet();
    void pollAllSensors();

    // --- link checks ---
    void driveLinkCheck();
    void mainControllerLinkCheck();
    void camera1LinkCheck() { cameraLinkCheck(1); }
    void camera2LinkCheck() { cameraLinkCheck(2); }
    void camera3LinkCheck() { cameraLinkCheck(3); }
    void camera4LinkCheck() { cameraLinkCheck(4); }
    void cameraLinkCheck(int camera);
    void loadLinkCheck();
    void secondControllerLinkCheck();
    void linkCheck();

    // --- measuring operations and cameras ---
    void geometryMeasurement();
    void cameraReadOut();
    void cameraSetup();
    void longGeometry();
    void laserOn();
    void laserOff();

    // --- second controller service, load cell, log, step events ---
    void secondControllerTest();
    void secondControllerPulses();
    void secondControllerInfo();
    void secondControllerReset();
    void weightRead();
    void clearLog();
    void sendUdp(); // Button83: sends Edit9
    // Saves the log to report.txt (CP1251, CR LF); throws when the file cannot be written.
    void saveReport();

    // Sends a step event when Ardu is on: Edit9 := text, Button83, sleep ardup1, pump.
    void stepEvent(const std::string& text);
    // The command fault report of code N (line N of Errors\RTA1000.txt). Never throws by
    // itself; the fault screen hook may end the program.
    void reportCommandFault(int code);
    // Shows the terminal: clears the log, writes the banner, Edit8 := SDIV, shown := true.
    void show();
    void hide() {
        state.shown = false;
        notify();
    }

    // Timer1 (300 ms): polls all sensors when CheckBox1 is ticked, and does nothing while a
    // rig command or a sequence runs.
    void timerTick();
    bool busy() const { return busy_ > 0; }

    // The button table of TForm4 and a lookup by name (false for an unknown name).
    static std::span<const ButtonBinding> buttons();
    bool click(const std::string& buttonName);

    void addLog(const std::string& line);

    drivers::HdlcLink& link() { return link_; }
    drivers::CameraLink& cameras() { return *cameras_; }
    const drivers::DriveLink& lastDrive() const { return drive_; }
    int mainPort() const { return ckPort_; }

private:
    class Busy;
    enum class Awaited { bitSet, touchAllSet, touchAllClear, forceReached };
    struct WaitSpec {
        int code;
        std::vector<std::uint8_t> payload;
        int fault;
        int sleepAfterSend;
        Awaited awaited;
        int bit;
        int limit;
        int bar;      // 0: none
        int barLimit; // scale of the bar
        int eventKey; // ardup index, 0: none
        const char* eventText;
        const char* status;
        bool pressStopFirst;
        bool pollAllAtEnd;
    };

    int mainExchange(int code, std::span<const std::uint8_t> payload);
    int secondExchange(int code, std::span<const std::uint8_t> payload);
    void mainCommand(int code, std::span<const std::uint8_t> payload, int fault);
    std::optional<bool> pollBit(int bit); // the bit, or nothing when the poll was invalid
    bool awaitedPresent(const WaitSpec& w);
    void waitingCommand(const WaitSpec& w);
    int pollLoop(const WaitSpec& w);
    void showProgress(int bar, int i, int n);
    void status(const std::string& text, int i);
    void setLinkLabel(const char* label, bool ok);
    void encoderRead(int n);
    void encoderReset(int n);
    drivers::DriveLink& drive();
    void sleep(int ms) { host_.sleepMs(ms); }
    void notify() {
        if (changed) {
            changed();
        }
    }

    const Settings& settings_;
    RigHost& host_;
    std::filesystem::path workDir_;
    drivers::HdlcLink link_;
    std::unique_ptr<drivers::CameraLink> cameras_;
    drivers::DriveLink drive_{0, 9600, 2, {}};
    std::unique_ptr<drivers::TenzoLink> tenzo_;
    int ckPort_ = 0;    // main controller port, copied when the link is opened
    int ckAddress_ = 0; // main controller address, copied when the link is opened
    int ckSpeed_ = 0;   // main controller baud rate, copied when the link is opened
    int busy_ = 0;
};

} // namespace veltron::rig
