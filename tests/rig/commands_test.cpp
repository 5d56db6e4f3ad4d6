// Wire frames, waiting commands, readings and link checks of the command layer against
// scripted stations on pseudo-terminals.
#include "fixture.h"

#include "../drivers/raw_peer.h"
#include "hdlc/frame.h"
#include "platform/files.h"

#include <algorithm>
#include <fstream>

namespace veltron::testing {
namespace {

Bytes motion(int mode, int dir, std::int32_t t, std::optional<std::int32_t> second = {}, Bytes third = {}) {
    Bytes p{static_cast<std::uint8_t>(mode), static_cast<std::uint8_t>(dir)};
    const Bytes tb = be32(t);
    p.insert(p.end(), tb.begin(), tb.end());
    if (second) {
        const Bytes sb = be32(*second);
        p.insert(p.end(), sb.begin(), sb.end());
    }
    p.insert(p.end(), third.begin(), third.end());
    return p;
}

struct FrameCase {
    const char* button;
    int control;
    Bytes payload;
};

class WireFrames : public RigTest {
protected:
    void SetUp() override {
        RigTest::SetUp();
        // Distinct times, so a command that takes another key's value shows.
        settings_.KARETKA_VLEVO = 1001;
        settings_.KARETKA_VPRAVO = 1002;
        settings_.GEOMETR_VVERH = 1003;
        settings_.GEOMETR_VNIZ = 1004;
        settings_.PRESS_VVERH = 1005;
        settings_.PRESS_VNIZ = 1006;
        settings_.CENTR_RAZDVIN = 1007;
        settings_.CENTR_SDVIN = 1008;
        settings_.KLAPAN_TIME = 1009;
        settings_.a2kx1 = 100.0F; // ADC 100 at 0 kg, ADC 1100 at 500 kg
        settings_.a2ky1 = 0.0F;
        settings_.a2kx2 = 1100.0F;
        settings_.a2ky2 = 500.0F;
    }
};

TEST_F(WireFrames, EachCommandSendsItsPayloadToTheMainController) {
    const std::vector<FrameCase> cases = {
        {"Button25", 34, motion(1, 0, 1001)},
        {"Button26", 34, motion(2, 0, 1001)},
        {"Button29", 34, motion(2, 1, 1002)},
        {"Button30", 34, motion(1, 1, 1002)},
        {"Button27", 34, {0}},
        {"Button31", 37, motion(1, 0, 1007)},
        {"Button33", 37, motion(1, 1, 1008)},
        {"Button32", 37, {0}},
        {"Button35", 37, motion(1, 1, 1008)},
        {"Button36", 37, motion(1, 0, 1007)},
        {"Button13", 37, motion(1, 1, 1008)},
        {"Button10", 35, motion(1, 0, 1003, 0)},
        {"Button11", 35, motion(2, 0, 1009, 0)},
        {"Button12", 35, motion(2, 1, 1009, 0)},
        {"Button15", 35, motion(1, 1, 1004, 0)},
        {"Button17", 35, {0}},
        {"Button43", 36, motion(1, 0, 1005, 0)},
        {"Button44", 36, motion(2, 0, 1009, 0)},
        {"Button47", 36, motion(2, 1, 1009, 0)},
        {"Button45", 36, {0}},
        {"Button67", 36, motion(3, 0, 1003, 0)},
        {"Button6", 33, {1}},
        {"Button7", 33, {0}},
        {"Button60", 19, {}},
        {"Button50", 7, {1}},
        {"Button52", 7, {2}},
        {"Button51", 8, {1}},
        {"Button53", 8, {2}},
        {"Button82", 45, {0}},
        {"Button66", 3, {}},
        {"Button63", 17, {}},
        {"Button19", 85, {}},
    };
    start();
    for (const FrameCase& c : cases) {
        main_.clear();
        ASSERT_TRUE(t_->click(c.button)) << c.button;
        const auto reqs = main_.requests();
        ASSERT_FALSE(reqs.empty()) << c.button;
        EXPECT_EQ(reqs[0].address, 55) << c.button;
        EXPECT_EQ(reqs[0].control, c.control) << c.button;
        EXPECT_EQ(reqs[0].data, c.payload) << c.button;
    }
    EXPECT_TRUE(faults().empty());
}

TEST_F(WireFrames, PressDownToContactStopsThePressFirst) {
    start();
    t_->pressDownToContact();
    const auto reqs = main_.requests();
    ASSERT_GE(reqs.size(), 2U);
    EXPECT_EQ(reqs[0].control, 36);
    EXPECT_EQ(reqs[0].data, Bytes{0});
    EXPECT_EQ(reqs[1].data, motion(1, 1, 1006, 12000, {0, 230}));
}

TEST_F(WireFrames, PressDownToForceConvertsKgToAdcUnits) {
    start();
    t_->state.Edit3 = "0";
    t_->pressDownToForce();
    ASSERT_FALSE(main_.requests().empty());
    EXPECT_EQ(main_.requests()[0].data, motion(3, 1, 1006, 16000, {0, 100})); // 0 kg is ADC 100

    main_.clear();
    t_->state.RadioButton2 = false;
    t_->state.RadioButton1 = true;
    t_->state.Edit3 = "4660";
    t_->pressDownToForce();
    EXPECT_EQ(main_.requests()[0].data, motion(3, 1, 1006, 16000, {0x12, 0x34}));
}

TEST_F(WireFrames, ForceTargetThatCannotBeSentMovesNothing) {
    start();
    struct Case {
        bool kg;
        const char* edit;
        float a2ky2;
    } cases[] = {
        {true, "0", 0.0F},        // both calibration weights equal: no conversion
        {false, "70000", 500.0F}, // would wrap to 4464
        {false, "-1", 500.0F},
        {false, "12a", 500.0F},
    };
    for (const Case& c : cases) {
        settings_.a2ky2 = c.a2ky2;
        t_->state.RadioButton2 = c.kg;
        t_->state.Edit3 = c.edit;
        main_.clear();
        t_->state.Memo1.clear();
        t_->pressDownToForce();
        EXPECT_TRUE(main_.requests().empty()) << c.edit;
        EXPECT_TRUE(t_->values.commandRefused) << c.edit;
        EXPECT_EQ(faults(), std::vector<int>{22}) << c.edit;
        EXPECT_TRUE(t_->state.controlGroupsEnabled);
    }
}

TEST_F(WireFrames, SecondControllerCommandsGoToStation240) {
    start();
    t_->state.Edit8 = "258";
    t_->state.Edit7 = "300";
    const std::vector<FrameCase> cases = {
        {"Button77", 7, {0, 0, 0}},  {"Button78", 8, {0, 0, 0}},  {"Button41", 22, {2, 1, 0}},
        {"Button81", 28, {0, 0, 0}}, {"Button42", 28, {0, 0, 0}}, {"Button73", 29, {0x2C, 1, 0}},
        {"Button75", 5, {0, 0, 0}},  {"Button76", 9, {0, 0, 0}},  {"Button79", 12, {0, 0, 0}},
    };
    for (const FrameCase& c : cases) {
        second_.clear();
        ASSERT_TRUE(t_->click(c.button)) << c.button;
        const auto reqs = second_.requests();
        ASSERT_FALSE(reqs.empty()) << c.button;
        EXPECT_EQ(reqs[0].address, 240) << c.button;
        EXPECT_EQ(reqs[0].control, c.control) << c.button;
        EXPECT_EQ(reqs[0].data, c.payload) << c.button;
    }
}

TEST_F(WireFrames, EmptyPayloadFrameHoldsAddressControlAndCheckBytesOnly) {
    start();
    t_->sensorPoll(0);
    const auto reqs = main_.requests();
    ASSERT_EQ(reqs.size(), 1U);
    EXPECT_EQ(reqs[0].wire, hdlc::encodeRequest(55, 17, {}));
}

TEST_F(RigTest, ButtonTableNamesEveryButtonOnce) {
    std::set<std::string> names;
    for (const rig::ButtonBinding& b : rig::Terminal::buttons()) {
        EXPECT_TRUE(names.insert(b.name).second) << b.name;
        EXPECT_NE(b.action, nullptr);
    }
    start();
    EXPECT_FALSE(t_->click("Button999"));
}

// --- waiting commands -----------------------------------------------------------------------

struct WaitCase {
    const char* name;
    void (rig::Terminal::*command)();
    int Settings::*limit;
    // Status word once the awaited state is present, and before.
    std::uint16_t present;
    std::uint16_t absent;
    bool force;   // the awaited state is the force-reached bit of command 1
    int eventKey; // ardup key of its step event, 0: none
    const char* eventText;
};

const WaitCase kWaits[] = {
    {"carriageLeftToEnd", &rig::Terminal::carriageLeftToEnd, &Settings::tpeKARETKA_VLEVO, 1 << 1, 0, false, 4, "3"},
    {"carriageRightToEnd", &rig::Terminal::carriageRightToEnd, &Settings::tpeKARETKA_VPRAVO, 1 << 2, 0, false, 6, "7"},
    {"geometryUpToEnd", &rig::Terminal::geometryUpToEnd, &Settings::tpeGEOMETR_VVERH, 1 << 3, 0, false, 3, "2"},
    {"geometryDownToEnd", &rig::Terminal::geometryDownToEnd, &Settings::tpeGEOMETR_VNIZ, 1 << 4, 0, false, 0, ""},
    {"pressUpToEnd", &rig::Terminal::pressUpToEnd, &Settings::tpePRESS_VVERH, 1 << 5, 0, false, 2, "1"},
    {"pressDownToContact", &rig::Terminal::pressDownToContact, &Settings::tpePRESS_VNIZ, 0x1C0, 0x0C0, false, 8, "10"},
    {"pressLiftOff", &rig::Terminal::pressLiftOff, &Settings::tpePRESS_VVERH, 0, 0x140, false, 9, "11"},
    {"pressDownToForce", &rig::Terminal::pressDownToForce, &Settings::tpePRESS_VNIZ, 0, 0, true, 9, "12"},
};

struct Arrival {
    int limit;
    int arrive; // poll on which the state is first present; 0: never
    int polls;
    bool timeout;
};

const Arrival kArrivals[] = {
    {5, 1, 1, false}, // first poll
    {5, 5, 5, true},  // on the last allowed poll: the flag comes from the counter
    {5, 0, 5, true},  // never
    {0, 1, 1, true},  // limit 0 polls once and always sets the flag
    {0, 0, 1, true},
};

class WaitingCommand : public RigTest, public ::testing::WithParamInterface<WaitCase> {};

TEST_P(WaitingCommand, PollsUntilTheStateOrTheLimit) {
    const WaitCase& w = GetParam();
    settings_.a2ky2 = 1.0F; // the force target must convert
    settings_.a2kx2 = 1.0F;
    start();
    for (const Arrival& a : kArrivals) {
        settings_.*w.limit = a.limit;
        MainModel m;
        const bool touch = w.present == 0x1C0 || w.absent == 0x140;
        // Touch sensors are three polls per step: poll p reads status 3p-2 .. 3p.
        const int per = touch ? 3 : 1;
        m.status = [&w, a, per](int read) {
            const int poll = (read + per - 1) / per;
            return a.arrive > 0 && poll >= a.arrive ? w.present : w.absent;
        };
        m.forceReached = [a](int read) { return a.arrive > 0 && read >= a.arrive; };
        serveMain(m);
        t_->values.motionTimeout = !a.timeout;
        (t_.get()->*w.command)();
        EXPECT_EQ(polls(), a.polls) << w.name << " limit " << a.limit << " arrive " << a.arrive;
        EXPECT_EQ(t_->values.motionTimeout, a.timeout) << w.name << " limit " << a.limit << " arrive " << a.arrive;
        EXPECT_TRUE(t_->state.controlGroupsEnabled);
    }
    EXPECT_TRUE(faults().empty());
}

TEST_P(WaitingCommand, SendsItsStepEventOnThePollOfItsKey) {
    const WaitCase& w = GetParam();
    settings_.a2ky2 = 1.0F;
    settings_.a2kx2 = 1.0F;
    settings_.Ardu = true;
    settings_.*w.limit = 3;
    for (int key = 1; key <= 16; ++key) {
        settings_.ardup[static_cast<std::size_t>(key)] = 9; // beyond the limit
    }
    if (w.eventKey > 0) {
        settings_.ardup[static_cast<std::size_t>(w.eventKey)] = 1;
    }
    settings_.ardup[1] = 0;
    start();
    const bool force = w.force;
    std::vector<std::pair<std::string, int>> sent; // text, awaited-state reads before it
    t_->datagram = [&](const std::string& text) {
        sent.emplace_back(text, main_.count(force ? 1 : 17));
        return true;
    };
    MainModel never; // the awaited state never comes
    never.status = [&w](int) { return w.absent; };
    serveMain(never);
    (t_.get()->*w.command)();
    if (w.eventKey == 0) {
        EXPECT_TRUE(sent.empty());
        return;
    }
    ASSERT_EQ(sent.size(), 1U) << w.name;
    EXPECT_EQ(sent[0].first, w.eventText);
    const int per = w.present == 0x1C0 || w.absent == 0x140 ? 3 : 1;
    EXPECT_EQ(sent[0].second, per) << w.name; // after the first poll, before the second
}

INSTANTIATE_TEST_SUITE_P(Commands, WaitingCommand, ::testing::ValuesIn(kWaits),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(RigTest, InvalidPollCountsAsStateNotPresent) {
    settings_.tpePRESS_VVERH = 3;
    start();
    // Lift-off waits for all touch sensors clear; an answer without the status word must not
    // read as "clear".
    MainModel m;
    m.truncated = {17};
    serveMain(m);
    t_->pressLiftOff();
    EXPECT_EQ(polls(), 3);
    EXPECT_TRUE(t_->values.motionTimeout);
    EXPECT_FALSE(t_->values.endSensorValid);
    EXPECT_EQ(t_->state.labels.at("Label17").caption, "?");
}

TEST_F(RigTest, SilentControllerReportsEveryPollAndTimesOut) {
    settings_.tpeKARETKA_VLEVO = 2;
    settings_.STM1 = 30;
    start();
    MainModel m;
    m.silent = {17, 19, 7, 34};
    serveMain(m);
    serveSecond(std::nullopt);
    t_->carriageLeftToEnd();
    EXPECT_TRUE(t_->values.motionTimeout);
    const auto f = faults();
    // the move, two polls, then poll all sensors: nine polls, two encoder reads, the second
    // controller's sensor and encoder
    const std::vector<int> expected = {6, 4, 4, 1, 4, 5, 8, 9, 14, 15, 16, 17, 18, 18, 24, 12};
    EXPECT_EQ(f, expected);
}

TEST_F(RigTest, CarriageRightToEndSkipsPollAllSensorsTheOthersRunIt) {
    start();
    t_->carriageRightToEnd();
    EXPECT_EQ(main_.count(19), 0);
    t_->carriageLeftToEnd();
    EXPECT_EQ(main_.count(19), 1);
}

TEST_F(RigTest, AutoPollTickInsideAWaitingCommandDoesNothing) {
    settings_.tpeKARETKA_VLEVO = 4;
    start();
    t_->state.CheckBox1 = true;
    host_.onPump = [this] { t_->timerTick(); };
    // A press touch sensor is set all the time; the carriage end never comes. A tick that
    // polled everything inside the wait would leave the end-sensor flag at bit 8.
    MainModel m;
    m.status = [](int) { return static_cast<std::uint16_t>(1 << 8); };
    serveMain(m);
    t_->carriageLeftToEnd();
    EXPECT_EQ(polls(), 4);
    EXPECT_TRUE(t_->values.motionTimeout);
    EXPECT_EQ(main_.count(19), 1); // only the command's own poll all sensors
    host_.onPump = nullptr;

    main_.clear();
    t_->timerTick(); // idle: the auto-poll runs
    EXPECT_EQ(main_.count(17), 9);
    t_->values.sequenceRunning = true;
    main_.clear();
    t_->timerTick();
    EXPECT_TRUE(main_.requests().empty());
}

TEST_F(RigTest, CentringCloseAndWaitSetsTheFlagWhenBitZeroNeverComes) {
    settings_.tpeCENTR = 3;
    start();
    MainModel never;
    serveMain(never);
    t_->centringCloseAndWait();
    EXPECT_TRUE(t_->values.motionTimeout);
    EXPECT_EQ(polls(), 3);

    MainModel closes;
    closes.status = [](int read) { return static_cast<std::uint16_t>(read >= 3 ? 1 : 0); };
    serveMain(closes);
    t_->centringCloseAndWait();
    EXPECT_FALSE(t_->values.motionTimeout); // seen on the last allowed poll
    // the centring device is stopped at the end
    EXPECT_EQ(main_.requests().back().control, 37);
    EXPECT_EQ(main_.requests().back().data, Bytes{0});

    t_->values.motionTimeout = true;
    t_->centringOpenAndWait();
    EXPECT_FALSE(t_->values.motionTimeout);
    EXPECT_NE(std::find(host_.sleeps.begin(), host_.sleeps.end(), settings_.CENTR_RAZDVIN), host_.sleeps.end());
}

TEST_F(RigTest, AutoHydraulicsRunAroundTheMove) {
    RawPeer drive([](const Bytes& b) { return b.size() >= 8; }, [](const Bytes&) { return Bytes{}; });
    drive.pty().link(dir_ / "dev", 7);
    start();
    t_->state.CheckBox2 = true;
    t_->state.CheckBox3 = true;
    t_->geometryDownToEnd();
    const auto reqs = main_.requests();
    ASSERT_GE(reqs.size(), 3U);
    EXPECT_EQ(reqs[0].control, 33); // drain on after the pump start
    EXPECT_EQ(reqs[0].data, Bytes{1});
    EXPECT_EQ(reqs[1].control, 35);
    const auto off = std::find_if(reqs.begin() + 2, reqs.end(), [](const Request& r) { return r.control == 33; });
    ASSERT_NE(off, reqs.end());
    EXPECT_EQ(off->data, Bytes{0});
    // Pump start before the drain on, pump stop after the drain off (model 2, register 5).
    ASSERT_TRUE(drive.waitForRequests(2));
    const auto driveRequests = drive.requests();
    ASSERT_EQ(driveRequests.size(), 2U);
    EXPECT_EQ(driveRequests[0], drivers::modbusFrame(1, Bytes{6, 0, 5, 0, 2}));
    EXPECT_EQ(driveRequests[1], drivers::modbusFrame(1, Bytes{6, 0, 5, 0, 1}));
    const auto at300 = std::find(host_.sleeps.begin(), host_.sleeps.end(), 300);
    const auto at30 = std::find(host_.sleeps.begin(), host_.sleeps.end(), 30);
    EXPECT_TRUE(at300 != host_.sleeps.end() && at30 != host_.sleeps.end() && at300 < at30);
}

TEST_F(RigTest, StepEventGoesOutOnThePollOfItsKey) {
    settings_.Ardu = true;
    settings_.tpeKARETKA_VLEVO = 5;
    settings_.ardup[4] = 2;
    start();
    std::vector<std::pair<std::string, int>> sent; // text, status polls before it
    t_->datagram = [&](const std::string& text) {
        sent.emplace_back(text, main_.count(17));
        return true;
    };
    t_->carriageLeftToEnd();
    ASSERT_EQ(sent.size(), 1U);
    EXPECT_EQ(sent[0].first, "3");
    EXPECT_EQ(sent[0].second, 2); // after polls 1 and 2, before poll 3
    EXPECT_EQ(host_.beeps, 3);

    sent.clear();
    settings_.ardup[4] = 6; // beyond the limit
    t_->carriageLeftToEnd();
    EXPECT_TRUE(sent.empty());
}

// --- readings -------------------------------------------------------------------------------

TEST_F(RigTest, StatusWord0101SetsBitsZeroAndEight) {
    start();
    MainModel m;
    m.status = [](int) { return std::uint16_t{0x0101}; };
    serveMain(m);
    const char* labels[] = {"Label9",  "Label10", "Label12", "Label13", "Label14",
                            "Label16", "Label17", "Label18", "Label19"};
    for (int bit = 0; bit <= 8; ++bit) {
        t_->sensorPoll(bit);
        const bool set = bit == 0 || bit == 8;
        EXPECT_EQ(t_->values.endSensor, set) << bit;
        EXPECT_EQ(t_->state.labels.at(labels[bit]).font, set ? rig::kSensorSet : rig::kSensorClear) << bit;
    }
}

TEST_F(RigTest, ReadingsDecodeTheirBytes) {
    settings_.a2kx1 = 0.0F;
    settings_.a2ky1 = 0.0F;
    settings_.a2kx2 = 1000.0F;
    settings_.a2ky2 = 500.0F;
    settings_.Hpr = 100.0F;
    settings_.dHpr = 0.0F;
    settings_.cLir1 = 0;
    settings_.cLir2 = 100;
    settings_.cmm1 = 10.0F;
    settings_.cmm2 = 0.0F;
    start();
    MainModel m;
    m.adc = 0x1234;
    m.encoder1 = 77;
    m.encoder2 = -5;
    m.height = 123456;
    m.force = -2; // FF FF FF FE
    m.forceAdc = 999;
    serveMain(m);
    serveSecond(Bytes{0x34, 0x12});
    t_->adcRead();
    EXPECT_EQ(t_->values.adc, 0x1234);
    EXPECT_EQ(t_->state.labels.at("Label20").caption, "Adc=4660 Вес=2330кг");
    t_->encoder1Read();
    EXPECT_EQ(t_->state.labels.at("Label21").caption, "Лир1г=77");
    t_->encoder2Read();
    EXPECT_EQ(t_->values.encoderCount, -5);
    EXPECT_EQ(t_->state.labels.at("Label22").caption, "Лир2с=-5");
    t_->pressHeightRead();
    EXPECT_EQ(t_->values.pressHeightCount, 123456);
    EXPECT_EQ(t_->state.labels.at("Label48").caption, "Hотр=123456");
    t_->forceResultRead();
    EXPECT_EQ(t_->values.forceCount, -2);
    EXPECT_EQ(t_->values.forceAdc, 999);
    EXPECT_EQ(t_->state.labels.at("Label25").caption, "Лир1ps=-2 100.20мм");
    EXPECT_EQ(t_->state.labels.at("Label26").caption, "ADCps=999");
    t_->secondEncoderRead(); // little-endian, unlike the main controller
    EXPECT_EQ(t_->state.labels.at("Label43").caption, "ЛИР: 4660");
    t_->secondSensorRead();
    EXPECT_EQ(t_->state.labels.at("Label41").caption, "ВБИ:52");
    EXPECT_TRUE(faults().empty());
}

TEST_F(RigTest, ShortOrFailedAnswersLeaveReadingsInvalid) {
    start();
    MainModel good;
    good.height = 500;
    good.force = 9;
    good.adc = 7;
    serveMain(good);
    t_->pressHeightRead();
    t_->forceResultRead();
    t_->adcRead();
    ASSERT_TRUE(t_->values.pressHeightValid && t_->values.forceValid && t_->values.adcValid);

    MainModel bad;
    bad.truncated = {45, 3, 19};
    serveMain(bad);
    t_->pressHeightRead();
    t_->forceResultRead();
    t_->adcRead();
    EXPECT_FALSE(t_->values.pressHeightValid);
    EXPECT_FALSE(t_->values.forceValid);
    EXPECT_FALSE(t_->values.adcValid);
    EXPECT_EQ(t_->values.adc, 0);
    EXPECT_EQ(t_->state.labels.at("Label48").caption, "Hотр=?");
    EXPECT_EQ(t_->state.labels.at("Label25").caption, "Лир1ps=?");
}

TEST_F(RigTest, DegenerateCalibrationShowsQuestionMarks) {
    start(); // defaults: a2k* all 0, сLir1 = сLir2
    MainModel m;
    m.adc = 10;
    serveMain(m);
    t_->adcRead();
    EXPECT_EQ(t_->state.labels.at("Label20").caption, "Adc=10 Вес=?");
    t_->forceResultRead();
    EXPECT_EQ(t_->state.labels.at("Label25").caption, "Лир1ps=0 ?мм");
    EXPECT_TRUE(t_->values.forceValid); // the counts themselves are real
}

TEST_F(RigTest, PollAllSensorsWithTheSecondControllerMissing) {
    settings_.STM1 = 30;
    start();
    serveSecond(std::nullopt);
    t_->pollAllSensors();
    EXPECT_EQ(main_.count(17), 9);
    EXPECT_EQ(main_.count(19), 1);
    EXPECT_EQ(main_.count(7), 2);
    ASSERT_TRUE(second_.waitForRequests(2));
    EXPECT_EQ(second_.count(7), 1);
    EXPECT_EQ(second_.count(8), 1);
    EXPECT_EQ(faults(), (std::vector<int>{24, 12}));
}

// --- link checks ----------------------------------------------------------------------------

TEST_F(RigTest, LinkChecksWithEachDeviceSilenced) {
    settings_.STM1 = 30;
    settings_.ADClev = 1;
    start();
    MainModel m;
    m.adc = 5;
    serveMain(m);
    t_->linkCheck();
    EXPECT_FALSE(t_->values.linkDrive); // no drive on COM7
    EXPECT_TRUE(t_->values.linkMainController);
    for (int c = 1; c <= 4; ++c) {
        EXPECT_TRUE(t_->values.linkCamera[static_cast<std::size_t>(c)]) << c;
    }
    EXPECT_TRUE(t_->values.linkLoad);
    EXPECT_TRUE(t_->values.linkSecondController);
    EXPECT_FALSE(t_->values.allLinksOk);
    EXPECT_EQ(t_->state.labels.at("Label2").caption, "ok");
    EXPECT_EQ(t_->state.labels.at("Label2").background, rig::kLinkOk);
    EXPECT_EQ(t_->state.labels.at("Label1").background, rig::kLinkError);

    // Main controller silent: its check fails although the buffer held "Ok" before, and the
    // load check fails without reading the ADC.
    m.okAnswer = false;
    serveMain(m);
    main_.clear();
    t_->loadLinkCheck();
    EXPECT_FALSE(t_->values.linkMainController);
    EXPECT_FALSE(t_->values.linkLoad);
    EXPECT_EQ(main_.count(19), 0);

    // ADC 0 fails the load check with ADClev 1.
    m.okAnswer = true;
    m.adc = 0;
    serveMain(m);
    t_->loadLinkCheck();
    EXPECT_TRUE(t_->values.linkMainController);
    EXPECT_FALSE(t_->values.linkLoad);

    // A silent camera fails its own check only.
    cams_.respond([](const Request& r) -> std::optional<Reply> {
        if (r.address == 3) {
            return std::nullopt;
        }
        return Reply{r.control, {0}};
    });
    t_->camera2LinkCheck();
    t_->camera3LinkCheck();
    EXPECT_TRUE(t_->values.linkCamera[2]);
    EXPECT_FALSE(t_->values.linkCamera[3]);
    EXPECT_EQ(t_->state.labels.at("Label5").caption, "error");
    EXPECT_EQ(faults().back(), 42); // shutter set of camera 3

    serveSecond(std::nullopt);
    t_->secondControllerLinkCheck();
    EXPECT_FALSE(t_->values.linkSecondController);
    EXPECT_EQ(t_->state.labels.at("Label44").caption, "error");
}

TEST_F(RigTest, SecondControllerCheckSetsTheDividerWhenEnabled) {
    settings_.SDIV_Enable = true;
    settings_.SDIV = 8;
    start();
    serveSecond(Bytes{'O', 'K'});
    t_->secondControllerLinkCheck();
    EXPECT_TRUE(t_->values.linkSecondController);
    EXPECT_EQ(second_.count(22), 1);
    EXPECT_EQ(t_->state.Memo1.back(), "OK");
}

TEST_F(RigTest, BabblingDeviceFailsLikeASilentOne) {
    start();
    // 10000 bytes without a closing flag: result 2, which keeps no answer.
    Bytes babble(10001, 0x01);
    babble[0] = 0x7E;
    main_.respond([babble](const Request& r) { return Reply{r.control, {}, babble}; });
    t_->sensorPoll(0);
    EXPECT_EQ(faults(), std::vector<int>{1});
    EXPECT_FALSE(t_->values.endSensorValid);
    cams_.respond([babble](const Request& r) { return Reply{r.control, {}, babble}; });
    t_->camera1LinkCheck();
    EXPECT_FALSE(t_->values.linkCamera[1]);
    second_.respond([babble](const Request& r) { return Reply{r.control, {}, babble}; });
    t_->secondControllerLinkCheck();
    EXPECT_FALSE(t_->values.linkSecondController);
    EXPECT_EQ(faults(), (std::vector<int>{1, 40}));
}

// --- opening, fault report ------------------------------------------------------------------

TEST_F(RigTest, OpeningLogsThePortAndFailsForAMissingDevice) {
    start();
    EXPECT_EQ(t_->state.Memo1.back(), "ЦК подключен к 2");
    EXPECT_FALSE(t_->openDrive());
    EXPECT_TRUE(t_->openLoadCell());
    settings_.CK2_PORT = 9;
    EXPECT_FALSE(t_->openSecondController());
}

TEST_F(RigTest, ShowingPutsTheEmulationWarningFirstAndSavingKeepsTheLog) {
    settings_.Emul = true;
    settings_.SDIV = 12;
    t_ = std::make_unique<rig::Terminal>(settings_, host_, dir_);
    EXPECT_EQ(t_->state.Memo1, std::vector<std::string>{"Велтрон-М версия 1.0"});
    t_->show();
    const std::vector<std::string> expected = {"ВНИМАНИЕ ! Режим эмуляции включен !",
                                               "ЦК(мб)  подключен к COM2",
                                               "ДК(лм)  подключен к COM3",
                                               "Камеры подключены к COM5",
                                               "ЧРП    подключен  к COM7",
                                               "Тензодатчик подключен  к COM0"};
    EXPECT_EQ(t_->state.Memo1, expected);
    EXPECT_EQ(t_->state.Edit8, "12");
    EXPECT_TRUE(t_->state.shown);

    // No link is open in emulation: a command fails with -6 and only logs its fault.
    t_->carriageStop();
    EXPECT_EQ(t_->state.Memo1.back(), "rtError:28 в команде:\"\"");
    t_->saveReport();
    const auto saved = files::readFile(dir_ / "report.txt");
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->substr(0, 4), "\xC2\xCD\xC8\xCC"); // "ВНИМ" in CP1251
    EXPECT_NE(saved->find("COM0\r\nrtError:28"), std::string::npos);
}

TEST_F(RigTest, CommandFaultReportFollowsTheWindowAndTheSetting) {
    std::filesystem::create_directories(dir_ / "Errors");
    std::ofstream(dir_ / "Errors" / "RTA1000.txt", std::ios::binary) << "first\r\n\xCF\xF0\xE5\xF1\xF1\r\n";
    start();
    std::vector<std::pair<int, std::string>> screens;
    t_->commandFaultScreen = [&](int code, const std::string& text) { screens.emplace_back(code, text); };

    t_->reportCommandFault(2);
    EXPECT_EQ(t_->state.Memo1.back(), "rtError:2 в команде:\"Пресс\"");

    t_->state.shown = false;
    const auto lines = t_->state.Memo1.size();
    t_->reportCommandFault(1);
    EXPECT_TRUE(screens.empty()); // rtErrorEnable off: no trace at all
    EXPECT_EQ(t_->state.Memo1.size(), lines);

    settings_.rtErrorEnable = true;
    t_->reportCommandFault(1);
    t_->reportCommandFault(40);
    ASSERT_EQ(screens.size(), 2U);
    EXPECT_EQ(screens[0], (std::pair<int, std::string>{1, "\"first\""}));
    EXPECT_EQ(screens[1], (std::pair<int, std::string>{40, "\"\""}));
}

TEST_F(RigTest, ProgressBarsAreDrawnOnlyWhileTheDisplayIsOn) {
    settings_.tpePRESS_VVERH = 3;
    start();
    std::vector<rig::ProgressBar> bars;
    t_->drawProgressBar = [&](const rig::ProgressBar& p) { bars.push_back(p); };
    t_->pressUpToEnd();
    EXPECT_TRUE(bars.empty());
    t_->values.progressDisplay = 1;
    t_->pressUpToEnd();
    ASSERT_EQ(bars.size(), 3U);
    EXPECT_EQ(bars[0].bar, 1);
    EXPECT_EQ(bars[2].length, 33); // poll 2 of 3
}

} // namespace
} // namespace veltron::testing

namespace veltron::testing {
namespace {

TEST(ProgressBar, LengthAndColourGuardTheLimit) {
    const struct {
        int i, n, length;
        rig::Rgb colour;
    } cases[] = {
        {0, 0, 0, {255, 0, 0}}, // no limit: no bar, whatever the counter
        {3, 0, 0, {255, 0, 0}},      {3, -5, 0, {255, 0, 0}},     {50, 100, 25, {0, 128, 0}},
        {100, 100, 50, {255, 0, 0}}, {150, 100, 50, {255, 0, 0}}, {20, 30, 33, {0, 128, 0}},
        {21, 30, 35, {255, 255, 0}}, {27, 30, 45, {255, 255, 0}}, {28, 30, 46, {255, 0, 0}},
    };
    for (const auto& c : cases) {
        const rig::ProgressBar p = rig::progressBar(4, c.i, c.n);
        EXPECT_EQ(p.x0, 330);
        EXPECT_EQ(p.length, c.length) << c.i << "/" << c.n;
        if (c.n > 0) {
            EXPECT_EQ(p.colour, c.colour) << c.i << "/" << c.n;
        }
    }
}

TEST(Conversions, WeightAndPressHeightRefuseDegenerateCalibrations) {
    Settings s;
    EXPECT_FALSE(rig::kgFromAdc(s, 100)); // defaults: all four points 0
    EXPECT_FALSE(rig::adcFromKg(s, 0));
    EXPECT_FALSE(rig::pressHeightMm(s, 5)); // сLir1 = сLir2
    s.a2kx1 = 100.0F;
    s.a2kx2 = 1100.0F;
    s.a2ky2 = 500.0F;
    EXPECT_EQ(rig::kgFromAdc(s, 1099), 499); // truncated toward zero
    EXPECT_EQ(rig::adcFromKg(s, 250), 600);
    EXPECT_EQ(rig::adcFromKg(s, -1), 98);
    EXPECT_FALSE(rig::adcFromKg(s, 1e10)); // outside 32 bits
}

} // namespace
} // namespace veltron::testing
