// Point decoding of a camera's profile answer.
#include "drivers/camera.h"

#include <gtest/gtest.h>

namespace veltron::testing {
namespace {

TEST(Profile, PointWeightsAndCounts) {
    EXPECT_EQ(drivers::profilePoint(0x20, 0, 0, 0), 1);
    EXPECT_EQ(drivers::profilePoint(0, 0, 1, 0), 128); // 4096 / 32
    EXPECT_EQ(drivers::profilePoint(0, 1, 0, 0), 8);
    EXPECT_EQ(drivers::profilePoint(0, 0, 0, 1), 2048);
    EXPECT_EQ(drivers::profilePoint(0x1F, 0, 0, 0), 0);
    EXPECT_EQ(drivers::profilePoint(0xFF, 0xFF, 0xFF, 0xFF), (255 + 256 * 255 + 4096 * 255 + 65536 * 255) / 32);
    // n = (length - 4) / 4: trailing check bytes and short answers give no partial point.
    const struct {
        std::size_t length;
        std::size_t points;
    } cases[] = {{0, 0}, {3, 0}, {4, 0}, {7, 0}, {8, 1}, {10, 1}, {12, 2}, {14, 2}};
    for (const auto& c : cases) {
        const std::vector<std::uint8_t> answer(c.length, 0x20);
        EXPECT_EQ(drivers::decodeProfile(answer).size(), c.points) << c.length;
    }
}

} // namespace
} // namespace veltron::testing
