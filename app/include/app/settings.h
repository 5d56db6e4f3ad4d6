// The installation's configuration, read once from setup.ini in the program folder before
// any window exists. Every value is named by its setup.ini key. A missing file, section or
// key, an empty value or one that does not parse as the key's kind gives the default; no
// error is ever reported. After start-up the values are read-only, except rtErrorEnable,
// which the start-up switches off around the system check (in memory only).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace veltron {

class IniFile;

struct Settings {
    // [Visual]
    std::uint8_t FormPosition = 0; // 1: centre the main window
    std::uint8_t FullScreen = 0;   // 1: maximise and switch the display to ResX x ResY
    std::uint8_t VThema = 0;       // colour theme of panels and stripes
    bool ShowCap = false;          // give the main window a title bar
    std::int32_t Caph = 1;         // height added for the title bar [px]
    std::int32_t ResX = 800;       // main window width - 1 [px]
    std::int32_t ResY = 600;       // main window height - 1 [px]
    bool VconEmable = false;       // console window shown and console log written

    // [Global]
    bool Emul = true;  // emulation: no port opened, no rig command sent
    bool NoLOG = true; // suppress the work log Log.txt
    bool PowerOFF = false;
    bool Print_in_file = false; // result sheets saved as a bitmap and opened instead of printed

    // [Depo]
    std::string DepoName = "Не назначен";
    std::string Depo1Name = "Не назначен";
    std::string DeviceId = "Не назначен";

    // [Debug]
    bool ShowCursor = false;
    bool ShowMousePos = false;
    bool DebugMMsaveMessages = false;
    bool Demu = false;
    bool RSemu = false;
    bool ManualsetH = false;
    bool AutoSelSpring = false;
    bool KdbEditor = false;
    bool WritetoDS = false;
    bool DSShow = false;

    // [Params]
    bool BrakGenerate = false;
    std::int32_t BrakPersent = 33; // [%]

    // [Hard]
    bool TerminalStart = false;
    bool rtErrorEnable = false;
    std::int32_t ZamDopPr = 10; // pause between press up jog and press stop [ms]
    std::int32_t STM1 = 20;     // link read time-out [ms]
    std::int32_t STREP = 1;     // tries per link exchange
    std::int32_t STM2 = 11;     // pause between tries [ms]
    float xmuld = 1.0F;         // factor on the commanded force of a spring measurement
    float xmuldk = 1.0F;        // factor on the commanded force of a set measurement

    // [TenzoM]
    std::int32_t ADClev = 1;

    // [CK2]
    std::int32_t CK2_PORT = 99;
    std::uint8_t SDIV = 8;
    bool SDIV_Enable = false;

    // [Popr]: value x Mul + Add per slot
    float MulDiam = 1000.0F, AddDiam = 2000.0F;
    float MulVis = 1000.0F, AddVis = 2000.0F;
    float MulRazn = 1000.0F, AddRazn = 2000.0F;
    float MulNep = 1000.0F, AddNep = 2000.0F;
    float MulStrela = 1000.0F, AddStrela = 2000.0F;
    float MulOst = 1000.0F, AddOst = 2000.0F;
    float MulKompV = 1000.0F, AddKompV = 2000.0F;
    // Keys of [Popr] that were missing or did not parse, so the defaults apply; the start-up
    // warns about each one on a rig (with emulation off the corrections are used).
    std::vector<std::string> poprDefaulted;

    // [Arduino]
    bool Ardu = false;
    std::array<std::int32_t, 17> ardup{}; // ardup[1..16]; entry 0 unused

    // [Mathem]
    bool MathVisEnable = false;
    bool MathVisStart = false;
    bool FMedEnable = false;
    bool FMNKEnable = false;
    bool FCutEnable = false;
    std::int32_t CamRS = 4;
    float naplus = 1000.0F;
    float naminus = 1000.0F;
    float POPHsp = 0.0F;
    float POPHko = 0.0F;
    float DMD = 1.0F;
    float DMV = 1.0F;
    std::int32_t NZ = 2;
    bool UDDZ = false;
    float HV = 1.0F;
    float HN = 1.0F;
    float Hgm = 10000.0F;
    float dHgm = 10000.0F;
    std::array<std::int32_t, 5> dhL{0, 10000, 10000, 10000, 10000}; // dhL1..dhL4 at [1..4]
    float Hpr = 10000.0F;
    float dHpr = 10000.0F;
    // Keys "сLir1", "сLir2", "сmm1", "сmm2" begin with the Cyrillic letter "с".
    std::int32_t cLir1 = 10000, cLir2 = 10000; // press encoder counts at the calibration points
    float cmm1 = 10000.0F, cmm2 = 10000.0F;    // press heights at those points [mm]
    std::int32_t Vmin = 3;
    std::int32_t MNKvmin = 6;
    std::int32_t MNKup = 5;
    std::int32_t MNKdn = 4;
    std::array<float, 5> dmm{};                                // dmm1..dmm4 at [1..4] [mm]
    std::array<float, 5> gx{0.0F, 80.0F, 80.0F, 80.0F, 80.0F}; // gx1..gx4 at [1..4]
    float Va = 360.0F;
    float Vb = 360.0F;

    // [k1]..[k4]: camera parameter sets, k[camera 1..4][entry 1..12]
    std::array<std::array<std::int32_t, 13>, 5> k{};

    // [CHRP]
    std::int32_t CHRP_PORT = 3;
    std::int32_t CHRP_SPEED = 9600;
    std::uint8_t CHRP_TYPE = 2;

    // [CK]
    std::int32_t CK_PORT = 2;
    std::int32_t CK_ADRESS = 55;
    std::int32_t CK_SPEED = 115200;

    // [CAMERA]
    std::int32_t CAM_PORT = 2;
    std::int32_t CAM_SPEED = 57600;
    std::array<std::int32_t, 5> POROG{0, 90, 90, 90, 90};           // POROG1..4 at [1..4]
    std::array<std::int32_t, 5> SHUTTER{0, 2000, 2000, 2000, 2000}; // SHUTTER1..4 at [1..4]

    // [TIMEOUT], [ms]
    std::int32_t KARETKA_VLEVO = 10000;
    std::int32_t KARETKA_VPRAVO = 10000;
    std::int32_t GEOMETR_VVERH = 10000;
    std::int32_t GEOMETR_VNIZ = 10000;
    std::int32_t PRESS_VVERH = 10000;
    std::int32_t PRESS_VNIZ = 10000;
    std::int32_t CENTR_RAZDVIN = 10000;
    std::int32_t CENTR_SDVIN = 10000;
    std::int32_t KLAPAN_TIME = 10000;
    std::int32_t CENTR_OTGIM = 10;
    // poll limits (counts of polls)
    std::int32_t tpeKARETKA_VLEVO = 0;
    std::int32_t tpeKARETKA_VPRAVO = 0;
    std::int32_t tpeGEOMETR_VVERH = 0;
    std::int32_t tpeGEOMETR_VNIZ = 0;
    std::int32_t tpePRESS_VVERH = 0;
    std::int32_t tpePRESS_VNIZ = 0;
    std::int32_t tpeCENTR = 0;

    // [Convert]: two points of the load-cell line (ADC value x, weight y [kg])
    float a2kx1 = 0.0F, a2ky1 = 0.0F, a2kx2 = 0.0F, a2ky2 = 0.0F;

    // [Veltron]: settings of our own, which the original program does not read.
    bool SpringKeys = false; // keys 1 and 7 live on the main screen (spring measurement and archive)

    Settings();
};

// Reads every key in one pass.
Settings readSettings(const IniFile& ini);
Settings readSettingsFile(const std::string& path);

} // namespace veltron
