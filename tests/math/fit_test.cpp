#include "helpers.h"
#include "math/fit.h"

#include "platform/text.h"

#include <gtest/gtest.h>

namespace veltron::math {
namespace {

std::vector<double> fileValues(const test::TempDir& dir) {
    std::vector<double> v;
    for (const auto& line : text::cp1251Lines(dir.read("fi.txt"))) {
        v.push_back(*text::parseDouble(line));
    }
    return v;
}

TEST(Fit, InitialFieldsGiveTheSquares) {
    test::TempDir dir;
    PolynomialFit fit;
    const FitOutcome out = fit.run(dir.path() / "fi.txt");
    ASSERT_TRUE(out.ok) << out.error;
    const std::vector<double> expected{1, 0, 1, 4, 9, 16};
    const std::vector<double> got = fileValues(dir);
    ASSERT_EQ(got.size(), expected.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
        EXPECT_NEAR(got[i], expected[i], 1e-5);
        EXPECT_EQ(static_cast<float>(got[i]), out.values[i]); // the file reads back the same floats
    }
    EXPECT_EQ(out.outputLines.size(), 6U);
    EXPECT_EQ(out.outputLines[0].substr(0, 3), "-1 ");
    EXPECT_TRUE(out.messages.empty());
}

TEST(Fit, BoundsStepAndDegree) {
    struct Case {
        int degree, lower, upper, step;
        std::size_t lines;
    };
    const Case cases[] = {
        {2, 10, 20, 1, 11}, {2, 10, 20, 3, 4}, // (20 - 10) / 3 + 1 = 4.33
        {2, 0, 5, 2, 4},                       // 3.5 rounds to even: 4
        {2, 0, 3, 2, 2},                       // 2.5 rounds to even: 2
        {0, 0, 3, 1, 4},
    };
    for (const Case& c : cases) {
        test::TempDir dir;
        PolynomialFit fit;
        fit.degree = c.degree;
        fit.lower = c.lower;
        fit.upper = c.upper;
        fit.step = c.step;
        const FitOutcome out = fit.run(dir.path() / "fi.txt");
        ASSERT_TRUE(out.ok) << out.error;
        EXPECT_EQ(fileValues(dir).size(), c.lines) << c.lower << ".." << c.upper << " step " << c.step;
        if (c.degree == 0) {
            for (double v : fileValues(dir)) {
                EXPECT_NEAR(v, 3.5, 1e-6); // the mean of 0, 1, 4, 9
            }
        }
    }
}

TEST(Fit, UnsolvableFitsLeaveTheOldFile) {
    struct Case {
        const char* what;
        std::vector<double> x, y;
        int degree, step;
    };
    const Case cases[] = {
        {"equal x values: zero pivot", {2, 2, 2, 2}, {1, 2, 3, 4}, 1, 1},
        {"fewer points than degree + 1", {1, 2}, {1, 2}, 2, 1},
        {"no points", {}, {}, 0, 1},
        {"Y list shorter", {1, 2, 3}, {1, 2}, 1, 1},
        {"step 0", {1, 2, 3}, {1, 2, 3}, 1, 0},
        {"negative degree", {1, 2, 3}, {1, 2, 3}, -1, 1},
    };
    for (const Case& c : cases) {
        test::TempDir dir;
        dir.write("fi.txt", "old\r\n");
        PolynomialFit fit;
        fit.x = c.x;
        fit.y = c.y;
        fit.degree = c.degree;
        fit.step = c.step;
        const FitOutcome out = fit.run(dir.path() / "fi.txt");
        EXPECT_FALSE(out.ok) << c.what;
        EXPECT_FALSE(out.error.empty()) << c.what;
        EXPECT_EQ(dir.read("fi.txt"), "old\r\n") << c.what;
    }
}

TEST(Fit, LongerYListWarnsAndFits) {
    test::TempDir dir;
    PolynomialFit fit;
    fit.y.push_back(100.0);
    const FitOutcome out = fit.run(dir.path() / "fi.txt");
    EXPECT_TRUE(out.ok);
    EXPECT_EQ(out.messages, std::vector<std::string>(4, "error"));
    EXPECT_NEAR(fileValues(dir)[1], 0.0, 1e-5);
}

TEST(Fit, FieldsAreParsedStrictly) {
    PolynomialFit fit;
    fit.setFields({"1", "2.5", "-3"}, {"1", "2", "3"}, "1", "1", "0", "3");
    EXPECT_EQ(fit.x, (std::vector<double>{1, 2.5, -3}));
    EXPECT_EQ(fit.degree, 1);
    EXPECT_THROW(fit.setFields({"1", "nan"}, {"1", "2"}, "1", "1", "0", "3"), std::runtime_error);
    EXPECT_THROW(fit.setFields({"1"}, {"1"}, "1.5", "1", "0", "3"), std::runtime_error);
    EXPECT_THROW(fit.setFields({"1"}, {"1,5"}, "1", "1", "0", "3"), std::runtime_error);
    EXPECT_EQ(fit.x.size(), 3U); // a failed conversion changes nothing
}

} // namespace
} // namespace veltron::math
