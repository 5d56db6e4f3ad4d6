// The drawing surface of the operator screens: a picture in logical pixels with the few
// primitives the screens are built from. Edges follow the original platform, for which the
// screen layouts were made: a filled rectangle (x1, y1, x2, y2) covers x1..x2-1 and
// y1..y2-1, and a line leaves out its end point. Text is drawn with a transparent
// background, its top left corner at the given point. Font names of the screens are mapped
// to installed families (see fontFamily); sizes are points of a 96 dpi screen.
#pragma once

#include <QImage>

#include <cstdint>
#include <filesystem>
#include <string>

namespace veltron {

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

namespace colors {
inline constexpr Rgb blue{0, 0, 255};
inline constexpr Rgb silver{192, 192, 192};
inline constexpr Rgb white{255, 255, 255};
inline constexpr Rgb black{0, 0, 0};
inline constexpr Rgb grey{128, 128, 128};
inline constexpr Rgb green{0, 128, 0};
inline constexpr Rgb yellow{255, 255, 0};
inline constexpr Rgb skyBlue{166, 202, 240};
inline constexpr Rgb pink{240, 175, 240};
inline constexpr Rgb keypadHeader{160, 160, 164};
inline constexpr Rgb red{255, 0, 0};
inline constexpr Rgb aqua{0, 255, 255};
inline constexpr Rgb hotLight{0, 102, 204}; // the system's "hot light" colour
} // namespace colors

struct FontSpec {
    std::string name = "Tahoma";
    int size = 8; // points
    Rgb color = colors::black;
    bool bold = false;
};

enum class PenStyle { Solid, Dash, Dot };

// The installed family that stands in for a font name of the screens, and whether it is
// always bold (the narrow face that replaces "Impact" is only right in bold).
struct FamilyChoice {
    const char* family;
    bool forceBold;
};
FamilyChoice fontFamily(const std::string& requestedName);

class Canvas {
public:
    Canvas(int width = 1, int height = 1);

    void resize(int width, int height);
    int width() const { return image_.width(); }
    int height() const { return image_.height(); }
    const QImage& image() const { return image_; }

    void fillRect(int x1, int y1, int x2, int y2, Rgb color);
    void line(int x1, int y1, int x2, int y2, Rgb color, PenStyle style = PenStyle::Solid);

    void setFont(const FontSpec& font) { font_ = font; }
    void setFont(const std::string& name, int size, Rgb color, bool bold = false) {
        font_ = FontSpec{name, size, color, bold};
    }
    const FontSpec& font() const { return font_; }
    void text(int x, int y, const std::string& utf8);
    int textWidth(const std::string& utf8) const;
    int textHeight(const std::string& utf8) const;

    Rgb pixel(int x, int y) const;
    void setPixel(int x, int y, Rgb color);
    // Replaces every pixel of colour `from` in the rectangle x1..x2, y1..y2 (inclusive).
    void replaceColor(int x1, int y1, int x2, int y2, Rgb from, Rgb to);

    // Copies a picture file at (x, y) in its own size; false when it cannot be read.
    bool drawPicture(const std::filesystem::path& file, int x, int y);
    // The whole canvas as a BMP file, and back; both throw std::runtime_error naming the file.
    void save(const std::filesystem::path& file) const;
    void load(const std::filesystem::path& file);

    // Rises with every change, so a display knows when to refresh.
    std::uint64_t generation() const { return generation_; }
    // The part changed since the last call, and clears it.
    QRect takeDirty();

private:
    void touch(const QRect& r);

    QImage image_;
    FontSpec font_;
    std::uint64_t generation_ = 0;
    QRect dirty_;
};

} // namespace veltron
