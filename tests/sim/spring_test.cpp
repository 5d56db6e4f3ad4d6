// Spring descriptions of the command line, the control channel and spring files.
#include "sim/spring.h"

#include <gtest/gtest.h>
#include <stdexcept>

namespace veltron::simtest {
namespace {

TEST(SpringSpec, ReadsItemsInAnySeparatorAndKeepsTheRest) {
    const auto s = sim::parseSpring("# a set of two\nH=300.5, D=210;d=38 n=6.5\r\ntiltx=0.002 rate=95 count=2 x=-3");
    EXPECT_DOUBLE_EQ(s.freeHeight, 300.5);
    EXPECT_DOUBLE_EQ(s.outerDiameter, 210);
    EXPECT_DOUBLE_EQ(s.wireDiameter, 38);
    EXPECT_DOUBLE_EQ(s.turns, 6.5);
    EXPECT_DOUBLE_EQ(s.tiltX, 0.002);
    EXPECT_DOUBLE_EQ(s.rate, 95);
    EXPECT_EQ(s.count, 2);
    EXPECT_DOUBLE_EQ(s.offsetX, -3);
    const auto t = sim::parseSpring("height=280", s);
    EXPECT_DOUBLE_EQ(t.freeHeight, 280);
    EXPECT_DOUBLE_EQ(t.outerDiameter, 210);
    EXPECT_FALSE(sim::parseSpring("present=0").present);
}

TEST(SpringSpec, RefusesWhatNoSpringCanBe) {
    for (const char* bad : {"H=", "H=nan", "H=1e999", "H=-5", "D=40 d=20", "n=0", "count=0", "colour=red", "340"}) {
        EXPECT_THROW(sim::parseSpring(bad), std::invalid_argument) << bad;
    }
}

} // namespace
} // namespace veltron::simtest
