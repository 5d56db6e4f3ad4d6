#include "platform/text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>

using namespace veltron::text;

TEST(Cp1251, EveryByteSurvivesTheRoundTrip) {
    std::string all;
    for (int b = 0; b < 256; ++b) {
        all.push_back(static_cast<char>(b));
    }
    const std::string utf8 = cp1251ToUtf8(all);
    EXPECT_EQ(utf8ToCp1251(utf8), all);
    // No two bytes may share a code point, or the round trip would be a coincidence.
    std::set<std::string> seen;
    for (int b = 0; b < 256; ++b) {
        seen.insert(cp1251ToUtf8(std::string(1, static_cast<char>(b))));
    }
    EXPECT_EQ(seen.size(), 256U);
}

TEST(Cp1251, KnownLettersAndUnmappable) {
    EXPECT_EQ(cp1251ToUtf8("\xC0\xFF\xA8\xB8\xB9\xA0"), "АяЁё№\xC2\xA0");
    EXPECT_EQ(utf8ToCp1251("Начата новая смена."),
              "\xCD\xE0\xF7\xE0\xF2\xE0 \xED\xEE\xE2\xE0\xFF \xF1\xEC\xE5\xED\xE0.");
    EXPECT_EQ(utf8ToCp1251("€≠"), "\x88?"); // € is in the page, ≠ is not
    EXPECT_EQ(utf8ToCp1251("a\xFF"
                           "b"),
              "a?b"); // malformed UTF-8
}

TEST(Cp1251, LinesSplitOnAnyLineEndAndJoinWithCrLf) {
    const auto lines = cp1251Lines("a\r\n\xC1\nc\rd");
    ASSERT_EQ(lines, (std::vector<std::string>{"a", "Б", "c", "d"}));
    EXPECT_EQ(cp1251Text(lines), "a\r\n\xC1\r\nc\r\nd\r\n");
    EXPECT_EQ(cp1251Lines("x\r\n").size(), 1U);
    EXPECT_TRUE(cp1251Lines("").empty());
}

TEST(Cp1251, CaseFoldingCoversCyrillic) {
    EXPECT_TRUE(equalsNoCase("сLir1", "СLIR1"));
    EXPECT_FALSE(equalsNoCase("сLir1", "cLir1")); // Cyrillic с is not Latin c
    EXPECT_TRUE(equalsNoCase("ёжик", "ЁЖИК"));
    EXPECT_TRUE(equalsNoCase("Hard", "hARD"));
}

TEST(NumberParser, AcceptsOnlyPlainDecimals) {
    struct Case {
        const char* text;
        bool ok;
        double value;
    };
    const Case cases[] = {
        {"0", true, 0},
        {"-12.5", true, -12.5},
        {"+3", true, 3},
        {"1e3", true, 1000},
        {"2.5E-2", true, 0.025},
        {".5", true, 0.5},
        {"5.", true, 5},
        {"1e-400", true, 0},
        {"0.0001e-330", true, 0},
        {"-12345e-340", true, 0},
        {"1e-99999999999", true, 0},
        {"1e99999999999", false, 0},
        {"", false, 0},
        {"nan", false, 0},
        {"NaN", false, 0},
        {"inf", false, 0},
        {"-Infinity", false, 0},
        {"0x10", false, 0},
        {"1,5", false, 0},
        {"1.5x", false, 0},
        {"1 5", false, 0},
        {"1e", false, 0},
        {"e5", false, 0},
        {".", false, 0},
        {"-", false, 0},
        {"1e999", false, 0},
        {"1..2", false, 0},
        {" 1", false, 0},
    };
    for (const auto& c : cases) {
        const auto v = parseDouble(c.text);
        EXPECT_EQ(v.has_value(), c.ok) << c.text;
        if (v && c.ok) {
            EXPECT_DOUBLE_EQ(*v, c.value) << c.text;
        }
    }
    EXPECT_FALSE(parseFloat("1e39").has_value()); // finite as double, not as float
    EXPECT_FLOAT_EQ(*parseFloat("3.25"), 3.25F);
}

TEST(NumberParser, IntegersAreStrictAnd32Bit) {
    EXPECT_EQ(parseInt("257"), 257);
    EXPECT_EQ(parseInt("-2147483648"), INT32_MIN);
    EXPECT_EQ(parseInt("2147483647"), INT32_MAX);
    for (const char* bad : {"2147483648", "-2147483649", "yes", "1.0", "0x1F", "$1F", "", "+", "12a"}) {
        EXPECT_FALSE(parseInt(bad).has_value()) << bad;
    }
}

TEST(CheckedConversion, RefusesWhatCannotBeAnInteger) {
    EXPECT_EQ(checkedTrunc(-2.9), -2);
    EXPECT_EQ(checkedRound(2.5), 2);
    EXPECT_EQ(checkedRound(3.5), 4);
    EXPECT_FALSE(checkedTrunc(std::nan("")).has_value());
    EXPECT_FALSE(checkedTrunc(INFINITY).has_value());
    EXPECT_FALSE(checkedTrunc(3e9).has_value());
}

TEST(RegionalFormats, DatesTimesAndNumbers) {
    const DateTime t{2026, 3, 7, 9, 5, 3, 0};
    EXPECT_EQ(shortDate(t), "07.03.2026");
    EXPECT_EQ(longTime(t), "9:05:03");
    EXPECT_EQ(formatThousands(1234567.26, 1), "1\xC2\xA0"
                                              "234\xC2\xA0"
                                              "567.3");
    EXPECT_EQ(formatThousands(-1000, 1), "-1\xC2\xA0"
                                         "000.0");
    EXPECT_EQ(formatThousands(999.94, 1), "999.9");
    EXPECT_EQ(formatFixed(-0.01, 1), "0.0");
    const std::pair<double, const char*> fixed[] = {
        {0.25, "0.3"},      {-0.25, "-0.3"},  {0.35, "0.3"} /* 0.34999... in binary */,
        {9.95, "9.9"},      {99.96, "100.0"}, {2.5, "2.5"},
        {1234.0, "1234.0"}, {0.0, "0.0"},
    };
    for (const auto& [v, s] : fixed) {
        EXPECT_EQ(formatFixed(v, 1), s) << v;
    }
    EXPECT_EQ(formatFixed(2.5, 0), "3");
    EXPECT_EQ(formatFixed(999.5, 0), "1000");

    const std::pair<double, const char*> general[] = {
        {0, "0"},
        {1.5, "1.5"},
        {-250, "-250"},
        {0.1, "0.1"},
        {1.0 / 3, "0.333333333333333"},
        {0.0001, "0.0001"},
        {1.5e-5, "1.5E-5"},
        {1e14, "100000000000000"},
        {1e15, "1E15"},
        {123.456f, "123.456001281738"},
    };
    for (const auto& [v, s] : general) {
        EXPECT_EQ(formatGeneral(v), s) << v;
    }
}
