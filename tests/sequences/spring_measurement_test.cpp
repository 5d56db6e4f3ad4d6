#include "fixture.h"

#include "sequences/debug_input.h"

#include <QLineEdit>

#include <gtest/gtest.h>

using namespace veltron;
using veltron::testing::SequenceFixture;

namespace {

// Two spring types bound to bogie 1: a 200 mm outer diameter, 300 mm high one, and an
// inner-diameter one whose outer diameter is 2 x 20 mm larger than its band.
void addSprings(SequenceFixture& f) {
    SpringTypeRow a;
    a.name = "Пружина наружная";
    a.PHS = 1000;
    a.PHU = 10000;
    a.PLS = 500;
    a.PLU = 5000;
    for (int s = 1; s <= kSlotCount; ++s) {
        a.block[s].Mul = 1.0;
        a.block[s].plus = 2.0;
        a.block[s].minus = -2.0;
    }
    a.block[kSlotDiameter].nominal = a.block[kSlotDiameter].Midd = 200.0;
    a.block[kSlotHeight].nominal = a.block[kSlotHeight].Midd = 300.0;
    SpringTypeRow b = a;
    b.name = "Пружина внутренняя";
    b.outerDiameter = false;
    b.Prutok = 20.0;
    b.block[kSlotDiameter].nominal = b.block[kSlotDiameter].Midd = 120.0;
    b.block[kSlotHeight].nominal = b.block[kSlotHeight].Midd = 250.0;
    f.catalogue.storeSpringType(1, a);
    f.catalogue.storeSpringType(2, b);
    f.catalogue.clearBindings();
    f.catalogue.addBinding(1, 1);
    f.catalogue.addBinding(2, 1);
    f.state->state().CHASSIE = 1;
    f.settings.naplus = 1.0F;
    f.settings.naminus = 1.0F;
}

} // namespace

TEST(SpringTypes, MatchByBandsWithInnerDiameterWidened) {
    SequenceFixture f;
    addSprings(f);
    const auto& bound = f.catalogue.boundSpringTypes(1);
    EXPECT_EQ(matchingSpringTypes(f.catalogue, bound, 200.5, 301.0, f.settings), std::vector<int>{1});
    // Inner band 118..122 plus 2 x 20 mm of bar: an outer diameter of 160 mm matches type 2.
    EXPECT_EQ(matchingSpringTypes(f.catalogue, bound, 160.0, 250.0, f.settings), std::vector<int>{2});
    EXPECT_TRUE(matchingSpringTypes(f.catalogue, bound, 160.0, 300.0, f.settings).empty());
    f.settings.naplus = f.settings.naminus = 1000.0F;
    EXPECT_EQ(matchingSpringTypes(f.catalogue, bound, 160.0, 300.0, f.settings).size(), 2U);
}

// In emulation, with the automatic choice finding one type: prompt key 1, no picker, the stored
// row of that type, the result screen left with key 12.
TEST(SpringMeasurement, EmulatedRunWithAutomaticTypeChoice) {
    SequenceFixture f(true);
    addSprings(f);
    f.settings.AutoSelSpring = true;
    f.sequences->hooks().evaluateGeometry = [] { return GeometryReading{300.5, 200.0, 0.5, 0.7}; };
    f.host.script = "1/";
    f.sequences->springMeasurement();
    EXPECT_TRUE(f.rig.calls.empty());
    ResultTables t = f.tables();
    ASSERT_EQ(t.springRowCount(), 1);
    _xZamer r;
    t.readSpringRow(0, r);
    EXPECT_EQ(r.Name, "0001-10122026");
    EXPECT_EQ(r.Nsping, 1);
    EXPECT_EQ(f.state->state().NOWSPRING, 1);
    EXPECT_TRUE(f.logged("Проведен замер"));
    EXPECT_EQ(f.screen->depth(), 0);
    // actsh.txt lists the bound types of the bogie in binding order.
    EXPECT_EQ(Pickers::readList(f.root / "work" / "actsh.txt"),
              (std::vector<std::string>{"Пружина наружная", "Пружина внутренняя"}));
}

// The debug input's two numbers drive the type choice: the operator's height picks type 2.
TEST(SpringMeasurement, DebugInputValuesDriveTheTypeChoice) {
    SequenceFixture f(true);
    addSprings(f);
    f.settings.AutoSelSpring = true;
    f.settings.ManualsetH = true;
    f.sequences->hooks().evaluateGeometry = [] { return GeometryReading{300.0, 200.0, 0.5, 0.7}; };
    f.sequences->hooks().debugInput = [](double, double) { return std::pair<double, double>{250.0, 160.0}; };
    f.host.script = "1/";
    f.sequences->springMeasurement();
    EXPECT_EQ(f.records.spring.Nsping, 2);
}

// No spring type: a bogie without bindings (0 on a fresh installation) gives an empty list, and
// its Enter chooses nothing; a cancelled picker the same. Nothing stored, counter kept.
TEST(SpringMeasurement, NoSpringTypeStoresNothing) {
    for (const char* keys : {"1\r", "1/"}) {
        SequenceFixture f(true);
        addSprings(f);
        if (keys[1] == '\r') {
            f.state->state().CHASSIE = 0;
        }
        f.sequences->hooks().evaluateGeometry = [] { return GeometryReading{300.0, 200.0, 0.5, 0.7}; };
        f.host.script = keys;
        f.sequences->springMeasurement();
        ResultTables t = f.tables();
        EXPECT_EQ(t.springRowCount(), 0) << keys;
        EXPECT_EQ(f.state->state().NOWSPRING, 0);
        EXPECT_TRUE(f.logged("Замер прерван, пружина НЕ ВЫБРАНА")) << keys;
        EXPECT_EQ(f.screen->depth(), 0);
    }
}

// A failed evaluation (missing profile files) abandons the run instead of leaving it with the
// pump on.
TEST(SpringMeasurement, FailedEvaluationAbandonsTheRun) {
    SequenceFixture f(false);
    addSprings(f);
    f.sequences->hooks().evaluateGeometry = []() -> GeometryReading { throw std::runtime_error("cam1.txt"); };
    f.host.script = "1";
    f.sequences->springMeasurement();
    EXPECT_TRUE(f.logged("Замер прерван, ошибка расчета геометрии: cam1.txt"));
    EXPECT_EQ(f.rig.calls.back(), "hydraulicsOff");
    EXPECT_FALSE(f.rig.called("pressDownToContact"));
}

// On the rig, an undefined pitch spread of a type that takes it from the rig stores nothing and
// does not load the spring; with RSemu the filler stands in and the run goes on.
TEST(SpringMeasurement, UndefinedRigGeometryAbandonsBeforeThePress) {
    for (const bool rsEmu : {false, true}) {
        SequenceFixture f(false);
        addSprings(f);
        f.settings.AutoSelSpring = true;
        f.settings.RSemu = rsEmu;
        f.sequences->hooks().evaluateGeometry = [] { return GeometryReading{300.0, 200.0, std::nullopt, 0.7}; };
        f.host.script = "1/";
        f.sequences->springMeasurement();
        EXPECT_EQ(f.logged("Замер прерван, геометрия пружины не определена"), !rsEmu);
        EXPECT_EQ(f.rig.called("pressDownToContact"), rsEmu);
        ResultTables t = f.tables();
        EXPECT_EQ(t.springRowCount(), rsEmu ? 1 : 0);
    }
}

// The debug input accepts only two finite decimal numbers.
TEST(DebugInput, AcceptsOnlyTwoFiniteNumbers) {
    const std::pair<const char*, bool> fields[] = {
        {"300", true},  {"-12.5", true}, {"1e2", true},  {" 120 ", true}, {"", false},      {"abc", false},
        {"nan", false}, {"inf", false},  {"1,5", false}, {"0x10", false}, {"1e400", false}, {"12a", false},
    };
    for (const auto& [text, ok] : fields) {
        EXPECT_EQ(checkDebugInput(text, "120").valid(), ok) << text;
        EXPECT_EQ(checkDebugInput("300", text).valid(), ok) << text;
    }
    TForm5 window;
    window.setValues(301.25, 199.5);
    EXPECT_EQ(window.heightField()->text().toStdString(), "301.25");
    window.diameterField()->setText("19g");
    EXPECT_FALSE(window.tryAccept());
    EXPECT_FALSE(window.diameterField()->styleSheet().isEmpty());
    EXPECT_TRUE(window.heightField()->styleSheet().isEmpty());
    window.diameterField()->setText("199.75");
    EXPECT_TRUE(window.tryAccept());
    EXPECT_EQ(window.values(), (std::pair<double, double>{301.25, 199.75}));
}
