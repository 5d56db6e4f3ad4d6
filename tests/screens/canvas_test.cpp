#include "platform/canvas.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace veltron;

TEST(Canvas, FillsAndLinesLeaveOutTheRightAndBottomEdge) {
    Canvas c(100, 100);
    c.fillRect(0, 0, 100, 100, colors::white);
    c.fillRect(10, 20, 30, 40, colors::blue);
    EXPECT_EQ(c.pixel(10, 20), colors::blue);
    EXPECT_EQ(c.pixel(29, 39), colors::blue);
    EXPECT_EQ(c.pixel(30, 39), colors::white);
    EXPECT_EQ(c.pixel(29, 40), colors::white);
    EXPECT_EQ(c.pixel(9, 20), colors::white);

    c.line(0, 50, 10, 50, colors::red);
    EXPECT_EQ(c.pixel(0, 50), colors::red);
    EXPECT_EQ(c.pixel(9, 50), colors::red);
    EXPECT_EQ(c.pixel(10, 50), colors::white); // end point left out
    c.line(60, 60, 60, 60, colors::red);       // a line of length 0 draws nothing
    EXPECT_EQ(c.pixel(60, 60), colors::white);

    c.line(0, 70, 48, 70, colors::black, PenStyle::Dash);
    EXPECT_EQ(c.pixel(0, 70), colors::black);
    EXPECT_EQ(c.pixel(17, 70), colors::black);
    EXPECT_EQ(c.pixel(18, 70), colors::white);
    EXPECT_EQ(c.pixel(24, 70), colors::black);
    // Drawing outside the canvas is clipped, not an error.
    c.fillRect(-5, -5, 200, 3, colors::green);
    EXPECT_EQ(c.pixel(99, 2), colors::green);
}

TEST(Canvas, TextIsTransparentAndTheFontTableMapsScreenNames) {
    Canvas c(200, 60);
    c.fillRect(0, 0, 200, 60, colors::aqua);
    c.setFont("Impact", 20, colors::black, false);
    c.text(5, 5, "Замер");
    int black = 0;
    for (int y = 0; y < 60; ++y) {
        for (int x = 0; x < 200; ++x) {
            const Rgb p = c.pixel(x, y);
            black += p == colors::black ? 1 : 0;
        }
    }
    EXPECT_GT(black, 50);
    EXPECT_EQ(c.pixel(199, 59), colors::aqua); // background kept
    EXPECT_GT(c.textWidth("Замер"), 20);

    EXPECT_STREQ(fontFamily("Impact").family, "PT Sans Narrow");
    EXPECT_TRUE(fontFamily("Impact").forceBold);
    EXPECT_STREQ(fontFamily("Сourier").family, "Liberation Mono"); // Cyrillic С
    EXPECT_STREQ(fontFamily("CourierNew").family, "Liberation Mono");
    EXPECT_STREQ(fontFamily("Times new roman").family, "Liberation Serif");
    EXPECT_STREQ(fontFamily("Tahoma").family, "Liberation Sans");
}

TEST(Canvas, SavedPictureLoadsBackPixelForPixel) {
    const auto file = std::filesystem::temp_directory_path() / "veltron-canvas-test.bmp";
    Canvas c(64, 32);
    c.fillRect(0, 0, 64, 32, colors::silver);
    c.setPixel(3, 4, colors::red);
    c.save(file);
    Canvas d(10, 10);
    d.load(file);
    EXPECT_EQ(d.width(), 64);
    EXPECT_EQ(d.pixel(3, 4), colors::red);
    EXPECT_EQ(d.pixel(5, 5), colors::silver);
    std::filesystem::remove(file);
    EXPECT_THROW(d.load(file), std::runtime_error);
    EXPECT_FALSE(d.drawPicture(file, 0, 0));
}
