#include "results/data.h"

#include <gtest/gtest.h>

#include <deque>

using namespace veltron;

namespace {

// Hands out the draws a test prescribes, and records the ranges asked for.
class ScriptedRandom : public RandomSource {
public:
    explicit ScriptedRandom(std::deque<int> draws) : draws_(std::move(draws)) {}
    int random(int n) override {
        ranges.push_back(n);
        if (draws_.empty()) {
            ADD_FAILURE() << "more draws than scripted";
            return 0;
        }
        const int v = draws_.front();
        draws_.pop_front();
        EXPECT_LT(v, n);
        return v;
    }
    std::vector<int> ranges;
    std::size_t left() const { return draws_.size(); }

private:
    std::deque<int> draws_;
};

Catalogue catalogueWithOneSpring(std::int64_t rt) {
    Catalogue c;
    c.setSeriesName(1, "ЭД4М");
    c.setSeriesName(2, "ЭП2Д");
    SpringTypeRow row;
    row.name = "Наружная";
    for (std::size_t slot = 1; slot <= 6; ++slot) {
        row.block[slot].nominal = 100.0 * static_cast<double>(slot);
        row.block[slot].Midd = 10.0 * static_cast<double>(slot) + 0.5;
        row.block[slot].Rt = rt;
        row.block[slot].plus = 2.0;
        row.block[slot].minus = -2.0;
    }
    c.storeSpringType(1, row);
    return c;
}

} // namespace

TEST(Names, CounterAndMeasurementNames) {
    const text::DateTime d{2026, 12, 9, 23, 59, 0, 0};
    EXPECT_EQ(formatCounter(0), "0000");
    EXPECT_EQ(formatCounter(7), "0007");
    EXPECT_EQ(formatCounter(99), "0099");
    EXPECT_EQ(formatCounter(100), "0100");
    EXPECT_EQ(formatCounter(1000), "1000");
    EXPECT_EQ(formatCounter(12345), "12345");
    EXPECT_EQ(formatCounter(-5), "000-5"); // kept as the original wrote it
    EXPECT_EQ(makeMeasurementName(7, d), "0007-09122026");
    EXPECT_EQ(makeMeasurementName(15, text::DateTime{2027, 1, 1}), "0015-01012027");
    EXPECT_EQ(makeSetName(12345, d), "K12345-09122026");
    EXPECT_EQ(makeSetName(3, d).substr(0, 1), "K"); // Latin K
}

TEST(DateTimeDays, RoundTripAndEpoch) {
    EXPECT_DOUBLE_EQ(toDays(text::DateTime{1899, 12, 30, 0, 0, 0, 0}), 0.0);
    EXPECT_DOUBLE_EQ(toDays(text::DateTime{1899, 12, 30, 12, 0, 0, 0}), 0.5);
    EXPECT_DOUBLE_EQ(toDays(text::DateTime{1900, 1, 1, 0, 0, 0, 0}), 2.0);
    EXPECT_DOUBLE_EQ(toDays(text::DateTime{2026, 12, 9, 0, 0, 0, 0}), 46365.0);
    const text::DateTime t{2026, 12, 9, 23, 59, 58, 999};
    const text::DateTime back = fromDays(toDays(t));
    EXPECT_EQ(back.year, 2026);
    EXPECT_EQ(back.month, 12);
    EXPECT_EQ(back.day, 9);
    EXPECT_EQ(back.hour, 23);
    EXPECT_EQ(back.minute, 59);
    EXPECT_EQ(back.second, 58);
    EXPECT_EQ(back.millisecond, 999);
    const text::DateTime timeOnly = fromDays(0.75);
    EXPECT_EQ(text::shortDate(timeOnly), "30.12.1899");
    EXPECT_EQ(text::longTime(timeOnly), "18:00:00");
}

TEST(Filler, StepsOfEachKind) {
    struct Case {
        std::uint8_t rt;
        int range; // 0: no draw
    };
    const Case cases[] = {{0, 0}, {1, 4}, {2, 6}, {3, 11}, {4, 21}, {5, 51}, {6, 0}, {255, 0}};
    for (const auto& c : cases) {
        ParamBlock b;
        b.Midd = 247.5F;
        b.Rt = c.rt;
        if (c.range == 0) {
            ScriptedRandom rng({});
            EXPECT_EQ(emulationFiller(b, rng), 247.5F) << int(c.rt);
            EXPECT_TRUE(rng.ranges.empty()) << int(c.rt);
            continue;
        }
        ScriptedRandom low({0});
        EXPECT_EQ(emulationFiller(b, low), 247.5F) << int(c.rt);
        ScriptedRandom high({c.range - 1});
        EXPECT_EQ(emulationFiller(b, high),
                  static_cast<float>(247.5 + static_cast<double>(static_cast<float>((c.range - 1) / 10.0))))
            << int(c.rt);
        EXPECT_EQ(high.ranges, std::vector<int>{c.range});
    }
}

TEST(Filler, SpringRecordTakesSelectionsAndFillers) {
    const Catalogue c = catalogueWithOneSpring(0);
    OperatorState st;
    st.NOWSPRING = 7;
    st.SERIA = 2;
    st.CHASSIE = 3;
    st.TRAIN = "0421";
    _xZamer r;
    r.Vid_zamera = 9;
    RandomSource rng(42);
    fillSpringRecord(r, 1, c, st, text::DateTime{2026, 12, 9, 10, 30, 0, 0}, rng);
    EXPECT_EQ(r.Name, "0007-09122026");
    EXPECT_DOUBLE_EQ(r.DataTime, 46365.0 + 10.5 / 24.0);
    EXPECT_EQ(r.Vid_zamera, 0);
    EXPECT_EQ(r.Ch, 3);
    EXPECT_EQ(r.Se, "ЭП2Д");
    EXPECT_EQ(r.Po, "0421");
    EXPECT_EQ(r.Nsping, 1);
    for (std::size_t slot = 1; slot <= 6; ++slot) {
        EXPECT_EQ(r.List[slot], static_cast<float>(10.0 * static_cast<double>(slot) + 0.5)) << slot;
    }
}

TEST(Filler, SeededSourceRepeatsExactly) {
    const Catalogue c = catalogueWithOneSpring(5);
    OperatorState st;
    _xZamer a;
    _xZamer b;
    RandomSource r1(2026);
    RandomSource r2(2026);
    fillSpringRecord(a, 1, c, st, text::DateTime{2026, 1, 1}, r1);
    fillSpringRecord(b, 1, c, st, text::DateTime{2026, 1, 1}, r2);
    EXPECT_EQ(a.List, b.List);
    for (std::size_t slot = 1; slot <= 6; ++slot) {
        const float base = static_cast<float>(10.0 * static_cast<double>(slot) + 0.5);
        EXPECT_GE(a.List[slot], base);
        EXPECT_LE(a.List[slot], base + 5.0F);
    }
}

TEST(RejectInjection, OnlyInEmulationWhenEnabledAndDrawn) {
    const Catalogue c = catalogueWithOneSpring(0);
    Settings s;
    s.Emul = true;
    s.BrakGenerate = true;
    s.BrakPersent = 33;
    _xZamer r;
    r.Nsping = 1;
    r.List.fill(1.0F);

    // Candidate (32 < 33); slot 2 drawn below 20 with a step of 0.0, slot 5 with 0.7.
    ScriptedRandom rng({32, 50, 19, 0, 20, 99, 0, 7, 20});
    EXPECT_TRUE(injectRejects(r, c, s, rng));
    EXPECT_EQ(rng.left(), 0U);
    EXPECT_EQ(rng.ranges, (std::vector<int>{100, 100, 100, 51, 100, 100, 100, 51, 100}));
    EXPECT_EQ(r.List[1], 1.0F);
    EXPECT_EQ(r.List[2], 202.0F); // exactly Max of slot 2
    EXPECT_EQ(r.List[3], 1.0F);
    EXPECT_EQ(r.List[4], 1.0F);
    EXPECT_EQ(r.List[5], static_cast<float>(502.0 + static_cast<double>(static_cast<float>(0.7))));
    EXPECT_EQ(r.List[6], 1.0F);

    // Not a candidate: 33 is not below 33; BrakPersent 0 never; BrakGenerate off or on the
    // rig draws nothing at all.
    ScriptedRandom notDrawn({33});
    EXPECT_FALSE(injectRejects(r, c, s, notDrawn));
    s.BrakPersent = 0;
    ScriptedRandom zero({0});
    EXPECT_FALSE(injectRejects(r, c, s, zero));
    s.BrakPersent = 100;
    s.BrakGenerate = false;
    ScriptedRandom off({});
    EXPECT_FALSE(injectRejects(r, c, s, off));
    s.BrakGenerate = true;
    s.Emul = false;
    EXPECT_FALSE(injectRejects(r, c, s, off));
    EXPECT_TRUE(off.ranges.empty());
}

TEST(RejectInjection, SetValuesInEmulation) {
    _xKompl k;
    k.HpodNagr = 262.0F;
    k.HpodNagrMax = 266.0F;
    Settings s;
    s.BrakGenerate = false;
    _xKZamer r;
    ScriptedRandom rng({3, 11});
    emulateSetValues(r, k, s, rng);
    EXPECT_EQ(r.List, static_cast<float>(262.0 + static_cast<double>(0.3F)));
    EXPECT_EQ(r.v, static_cast<float>(11 + static_cast<double>(r.List) + 49.0));
    s.BrakGenerate = true;
    s.BrakPersent = 100;
    ScriptedRandom reject({0, 0, 99, 4});
    emulateSetValues(r, k, s, reject);
    EXPECT_EQ(r.List, 270.0F);
    EXPECT_EQ(r.v, 262.0F + 49.0F);
}
