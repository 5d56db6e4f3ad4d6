#include "sequences/grading.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace veltron;

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

// Encoder counts of an eighth of a millimetre: every conversion is exact in binary.
double conv(std::int32_t c) {
    return c * 0.125;
}

Settings rigSettings() {
    Settings s;
    s.Emul = false;
    s.MulDiam = s.MulVis = s.MulRazn = s.MulNep = s.MulStrela = s.MulOst = 1.0F;
    s.AddDiam = s.AddVis = s.AddRazn = s.AddNep = s.AddStrela = s.AddOst = 0.0F;
    s.MulKompV = 1.0F;
    s.AddKompV = 0.0F;
    return s;
}

SpringTypeRow springRow(bool outer) {
    SpringTypeRow row;
    row.name = outer ? "Наружная" : "Внутренняя";
    row.outerDiameter = outer;
    row.Prutok = 20.0;
    row.Delta = 0.25;
    const double nominal[] = {0, outer ? 248.0 : 150.0, 200.0, 0.0, 0.0, 50.0, 0.0};
    for (std::size_t slot = 1; slot <= 6; ++slot) {
        row.block[slot].nominal = nominal[slot];
        row.block[slot].Mul = 1.0;
        row.block[slot].plus = 2.0;
        row.block[slot].minus = slot == 2 ? -3.0 : -2.0;
    }
    return row;
}

_xZamer withFiller(float v, int type = 1) {
    _xZamer r;
    r.Nsping = type;
    r.List.fill(v);
    return r;
}

} // namespace

TEST(ParameterCheck, MarginsAndNonFiniteValues) {
    Catalogue c;
    c.storeSpringType(1, springRow(true)); // height band 197..202
    struct Case {
        float x;
        bool pass;
        double deviation;
    };
    const Case cases[] = {
        {202.0F, true, 0.0}, {202.05F, true, 0.0}, {202.2F, false, 0.2},  {196.95F, true, 0.0}, {196.8F, false, 0.2},
        {197.0F, true, 0.0}, {199.5F, true, 0.0},  {-kInf, false, -kInf}, {kInf, false, kInf},
    };
    for (const auto& k : cases) {
        _xZamer r = withFiller(0.0F);
        r.List[2] = k.x;
        EXPECT_EQ(parameterCheck(r, 2, c), k.pass) << k.x;
        if (std::isfinite(k.deviation)) {
            EXPECT_NEAR(parameterDeviation(r, 2, c), k.deviation, 1e-4) << k.x;
        } else {
            EXPECT_EQ(parameterDeviation(r, 2, c), k.deviation) << k.x;
        }
    }
    // A value never measured fails its slot and shows itself as the deviation.
    _xZamer r = withFiller(0.0F);
    r.List[2] = kNaN;
    EXPECT_FALSE(parameterCheck(r, 2, c));
    EXPECT_TRUE(std::isnan(parameterDeviation(r, 2, c)));
    EXPECT_FALSE(springCheck(r, c));
}

TEST(SpringCheck, AllSixSlotsCountIncludingAnInjectedMax) {
    Catalogue c;
    c.storeSpringType(1, springRow(true));
    _xZamer r = withFiller(0.0F);
    r.List = {0.0F, 248.0F, 200.0F, 0.0F, 0.0F, 50.0F, 0.0F};
    EXPECT_TRUE(springCheck(r, c));
    r.List[5] = c.springType(1).block[5].Max; // an injected reject with a step of 0.0
    EXPECT_TRUE(springCheck(r, c));
    r.List[6] = 2.2F; // only the last slot out of band
    EXPECT_FALSE(springCheck(r, c));
    EXPECT_EQ(slotVerdict(false), "Брак");
    EXPECT_EQ(springVerdict(false), "БРАК");
    EXPECT_EQ(springVerdict(true), "Норма");
}

TEST(DeriveSpringValues, RigCases) {
    Catalogue c;
    c.storeSpringType(1, springRow(true));
    c.storeSpringType(2, springRow(false));
    SpringReadings rd;
    rd.outerDiameter = 190.0;
    rd.pitchSpread = 1.5;
    rd.nonPerpendicularity = 2.25;
    rd.liftOffBefore = 2131;     // 266.375 mm
    rd.liftOffAfter = 2128;      // 266.0 mm
    rd.forceAtFourthLoad = 1200; // 150 mm

    struct Case {
        const char* what;
        int type;
        std::uint16_t mask;
        bool demu, rsemu;
        std::int32_t before;
        std::array<float, 7> expected;
    };
    const Case cases[] = {
        // height 266 - 66 = 200; under load 150 - 66 = 84, so the deflection is 200 - 84;
        // residual |266.375 - 266| = 0.375 > 0.25
        {"all measured", 1, 0, false, false, 2131, {0, 190.0F, 200.0F, 1.5F, 2.25F, 116.0F, 0.375F}},
        {"Mask1 63 keeps every filler", 1, 63, false, false, 2131, {0, 9, 9, 9, 9, 9, 9}},
        // height masked: the deflection is taken from the filler height 9 - 84
        {"deflection from the filler height", 1, 2, false, false, 2131, {0, 190.0F, 9, 1.5F, 2.25F, -75.0F, 0.375F}},
        {"residual equal to Delta is 0", 1, 0, false, false, 2130, {0, 190.0F, 200.0F, 1.5F, 2.25F, 116.0F, 0.0F}},
        {"residual below Delta is 0", 1, 0, false, false, 2129, {0, 190.0F, 200.0F, 1.5F, 2.25F, 116.0F, 0.0F}},
        {"inner diameter: outer minus two rods",
         2,
         0,
         false,
         false,
         2131,
         {0, 150.0F, 200.0F, 1.5F, 2.25F, 116.0F, 0.375F}},
        {"Demu and RSemu keep their fillers", 1, 0, true, true, 2131, {0, 9, 200.0F, 9, 2.25F, 116.0F, 0.375F}},
    };
    for (const auto& k : cases) {
        Catalogue cat;
        SpringTypeRow row = springRow(k.type == 1);
        row.Mask1 = k.mask;
        cat.storeSpringType(1, row);
        Settings s = rigSettings();
        s.Demu = k.demu;
        s.RSemu = k.rsemu;
        SpringReadings r = rd;
        r.liftOffBefore = k.before;
        _xZamer rec = withFiller(9.0F);
        deriveSpringValues(rec, cat.springType(1), r, s, conv);
        for (std::size_t slot = 1; slot <= 6; ++slot) {
            EXPECT_FLOAT_EQ(rec.List[slot], k.expected[slot]) << k.what << ", slot " << slot;
        }
    }
    // The inner-diameter type is graded against its inner band.
    _xZamer rec = withFiller(9.0F, 2);
    deriveSpringValues(rec, c.springType(2), rd, rigSettings(), conv);
    EXPECT_TRUE(parameterCheck(rec, 1, c));
}

TEST(DeriveSpringValues, CorrectionsThenCoefficients) {
    SpringTypeRow row = springRow(true);
    row.Mask1 = 63;
    for (std::size_t slot = 1; slot <= 6; ++slot) {
        row.block[slot].Mul = 2.0;
        row.block[slot].Add = 1.0;
    }
    const SpringType t = makeSpringType(row);
    Settings s = rigSettings();
    s.MulVis = 3.0F;
    s.AddVis = 0.5F;
    s.POPHsp = 0.25F;
    _xZamer rec = withFiller(10.0F);
    deriveSpringValues(rec, t, SpringReadings{}, s, conv);
    EXPECT_FLOAT_EQ(rec.List[1], 21.0F);                   // (10 x 1 + 0) x 2 + 1, masked slots too
    EXPECT_FLOAT_EQ(rec.List[2], (10 * 3 + 0.5F) * 2 + 1); // [Popr] before the block's coefficients

    // In emulation only the block's coefficients apply.
    s.Emul = true;
    rec = withFiller(10.0F);
    deriveSpringValues(rec, t, SpringReadings{}, s, conv);
    for (std::size_t slot = 1; slot <= 6; ++slot) {
        EXPECT_FLOAT_EQ(rec.List[slot], 21.0F) << slot;
    }

    // Height with POPHsp: conv(after) - 66 + POPHsp.
    row.Mask1 = 0;
    for (std::size_t slot = 1; slot <= 6; ++slot) {
        row.block[slot].Mul = 1.0;
        row.block[slot].Add = 0.0;
    }
    s.Emul = false;
    s.MulVis = 1.0F;
    s.AddVis = 0.0F;
    SpringReadings rd;
    rd.liftOffAfter = 2128; // 266 mm
    rd.forceAtFourthLoad = 1200;
    rec = withFiller(0.0F);
    deriveSpringValues(rec, makeSpringType(row), rd, s, conv);
    EXPECT_FLOAT_EQ(rec.List[2], 200.25F);
    // The deflection takes the height under load in the same terms as the height: the
    // correction and the seat cancel, whatever POPHsp is.
    EXPECT_FLOAT_EQ(rec.List[5], 200.25F - (150.0F - 66.0F + 0.25F));
}

TEST(SetGroup, BandsOverlapsAndGroupCount) {
    _xKompl k;
    k.g1min = 98.0F, k.g1max = 99.0F;
    k.g2min = 99.1F, k.g2max = 100.5F;
    k.g3min = 100.5F, k.g3max = 101.5F; // overlaps group 2 at 100.5
    k.g4min = 101.6F, k.g4max = 102.0F;
    k.g5min = 102.1F, k.g5max = 103.0F;
    struct Case {
        float list;
        int ngr;
        int group;
    };
    const Case cases[] = {
        {98.0F, 3, 1},  {99.0F, 3, 1},  {97.99F, 3, 0}, {99.05F, 3, 0}, {100.5F, 3, 3}, {101.5F, 3, 3},
        {101.8F, 3, 0}, {101.8F, 4, 4}, {102.5F, 4, 0}, {102.5F, 5, 5}, {kNaN, 5, 0},   {kInf, 5, 0},
    };
    for (const auto& c : cases) {
        k.Ngr = c.ngr;
        _xKZamer r;
        r.List = c.list;
        EXPECT_EQ(setGroup(r, k), c.group) << c.list << " Ngr " << c.ngr;
    }
    EXPECT_EQ(groupText(0), "не определена");
    EXPECT_EQ(groupText(3), "№ 3");
}

TEST(SetValues, TipDecidesValueGroupingAndLabels) {
    Settings s = rigSettings();
    s.POPHko = 0.5F;
    const SetReadings rd{2000, 1600}; // 250 mm after loading, 200 mm at the fourth load
    struct Case {
        std::uint8_t tip;
        float list;      // stored value
        double grouping; // value the groups judge
        double heightShown;
        double deflectionShown;
        const char* label;
    };
    // v = 250.5; K(fourth load) = 200.5; List scaled by 2 and shifted by 1.
    const Case cases[] = {
        {0, 402.0F, 402.0, 402.0, 250.5 - 402.0, "высота под давлением"},
        {1, 101.0F, 101.0, 250.5 - 101.0, 101.0, "стрела прогиба"},
        {2, 402.0F, 250.5 - 402.0, 402.0, 250.5 - 402.0, "высота под давлением"},
        {7, 402.0F, 402.0, 402.0, 250.5 - 402.0, "высота под давлением"}, // outside 0..2: as 0
    };
    for (const auto& c : cases) {
        _xKompl k;
        k.Tip = c.tip;
        k.HpodNagrMul = 2.0F;
        k.HpodNagrAdd = 1.0F;
        _xKZamer r;
        r.List = 7777.0F; // a stale value of the previous set must not survive
        deriveSetValues(r, k, rd, s, conv);
        EXPECT_FLOAT_EQ(r.v, 250.5F) << int(c.tip);
        EXPECT_FLOAT_EQ(r.List, c.list) << int(c.tip);
        EXPECT_DOUBLE_EQ(groupingValue(r, k), c.grouping) << int(c.tip);
        EXPECT_DOUBLE_EQ(heightUnderLoadShown(r, k), c.heightShown) << int(c.tip);
        EXPECT_DOUBLE_EQ(deflectionShown(r, k), c.deflectionShown) << int(c.tip);
        EXPECT_EQ(groupTableLabel(k), c.label) << int(c.tip);
    }
    // Tip 2 groups by v - List.
    _xKompl k;
    k.Tip = 2;
    k.g1min = 49.0F, k.g1max = 52.9F;
    k.Ngr = 3;
    _xKZamer r;
    r.v = 311.0F;
    r.List = 260.0F;
    EXPECT_EQ(setGroup(r, k), 1);

    // In emulation only the scaling applies, to the emulated value; v is not scaled.
    s.Emul = true;
    k.HpodNagrMul = 2.0F;
    k.HpodNagrAdd = 1.0F;
    r.List = 100.0F;
    deriveSetValues(r, k, rd, s, conv);
    EXPECT_FLOAT_EQ(r.List, 201.0F);
    EXPECT_FLOAT_EQ(r.v, 311.0F);
}

TEST(SetValues, DefaultCorrectionsPutEverySetInGroupZero) {
    Settings s; // [Popr] keys missing: x 1000 + 2000
    s.Emul = false;
    _xKompl k;
    k.HpodNagrMul = 1.0F;
    k.g1min = 190.0F, k.g1max = 210.0F;
    k.g2min = 210.0F, k.g2max = 230.0F;
    k.g3min = 230.0F, k.g3max = 250.0F;
    _xKZamer r;
    deriveSetValues(r, k, SetReadings{2000, 1600}, s, conv);
    EXPECT_EQ(setGroup(r, k), 0);
}
