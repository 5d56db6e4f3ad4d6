// The printed result sheet as a list of drawing items on a page of 4000 x 5600 pixels: the
// sheets are composed once and then rendered wherever they go, into a 24-bit picture (the
// file mode, Temp\printpage.bmp) or onto a printer or PDF page scaled into the rectangle
// that fitPage gives. On a printer the text therefore stays text at the device's resolution
// instead of a stretched picture.
//
// Fonts are named as on the screens (see fontFamily) with sizes in points of a 96 dpi
// screen, as on the original page bitmap: 72 points are 96 page pixels.
#pragma once

#include "results/report_layout.h"

#include <QImage>

#include <string>
#include <vector>

class QPainter;

namespace veltron {

struct SheetFont {
    std::string name = "Times New Roman";
    int points = 72;
    bool bold = false;
};

struct SheetItem {
    enum class Kind { Text, Line, Picture };
    Kind kind = Kind::Text;
    int x = 0, y = 0;   // top left corner of text and pictures, start of lines
    int x2 = 0, y2 = 0; // end of lines
    SheetFont font;     // text
    std::string text;   // text (UTF-8)
    QImage picture;     // picture
};

class Sheet {
public:
    int width() const { return kPrintPageWidth; }
    int height() const { return kPrintPageHeight; }

    void setFont(const std::string& name, int points, bool bold = false) { font_ = SheetFont{name, points, bold}; }
    void setBold(bool bold) { font_.bold = bold; }
    const SheetFont& font() const { return font_; }

    // Black text, its top left corner at (x, y).
    void text(int x, int y, const std::string& utf8);
    // A black line of width 1.
    void line(int x1, int y1, int x2, int y2);
    // A picture in its own size; a null picture is not drawn.
    void picture(int x, int y, const QImage& image);

    int textWidth(const std::string& utf8) const;
    int textHeight() const;

    // Splits the text at line breaks; each line is centred on the page (x = width / 2 - text
    // width / 2) at y, or left-aligned at x, and y advances by the line's height. Returns the
    // next y.
    int centredLines(int y, const std::string& utf8);
    int leftLines(int x, int y, const std::string& utf8);

    const std::vector<SheetItem>& items() const { return items_; }
    // The first text item equal to the text, or null.
    const SheetItem* findText(const std::string& utf8) const;

private:
    SheetFont font_;
    std::vector<SheetItem> items_;
};

// Pixel size of a font of the sheet (points of a 96 dpi screen).
int sheetPixelSize(int points);

// Draws the items in page coordinates; the caller sets the painter's transform.
void renderSheet(const Sheet& sheet, QPainter& painter);
// The sheet as a white picture of the page size (opaque; saved with 24 bits per pixel).
QImage renderSheetImage(const Sheet& sheet);

} // namespace veltron
