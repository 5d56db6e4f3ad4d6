// Geometry and number texts of the result pages, the archive and the printed sheets, kept
// apart from the drawing so they can be checked on their own: the number texts, the
// placement of the print page on a device, and the archive's paging, cursor and thumb.
#pragma once

#include <cstdint>
#include <string>

namespace veltron {

// A value with one decimal, right-aligned in a field of five characters (12.3 -> " 12.3");
// wider numbers are not cut. Always "." as the decimal separator, whatever the locale.
std::string numberText(double value);

// --- print page on a device ---

// The sheet is drawn on a page of 4000 x 5600 pixels (height = width x 1.4).
inline constexpr int kPrintPageWidth = 4000;
inline constexpr int kPrintPageHeight = 5600;

struct PrintDevice {
    int width = 0;   // whole device width [device pixels]
    int height = 0;  // whole device height [device pixels]
    int offsetX = 0; // printing offset, the unprintable margin on each side [device pixels]
    int offsetY = 0;
};

struct PageRect {
    int x = 0, y = 0, width = 0, height = 0;
    friend bool operator==(const PageRect&, const PageRect&) = default;
};

// Where a page of pageWidth x pageHeight lands on the device. The printable size is the
// device size minus twice the offset. The page fits the printable width when (the printable
// area is portrait or square and the page is landscape or square) or (the printable area is
// landscape and the page strictly landscape), placed at the horizontal offset and centred
// vertically on the device; otherwise it fits the printable height, placed at the vertical
// offset and centred horizontally. Sizes are truncated to whole device pixels. A degenerate
// page or device gives an empty rectangle.
PageRect fitPage(int pageWidth, int pageHeight, const PrintDevice& device);

// --- archive browsing ---

inline constexpr int kArchivePageRows = 14;

// Page of a row and the line (1..14) of that row on its page.
std::int64_t archivePage(std::int64_t row);
int archiveCursorLine(std::int64_t row);

// The current row after a key of the archive: 1 one row down, 7 one row up, 2 a page down,
// 8 a page up; other keys leave the row. The page keys do nothing within a page of the end
// they move towards, and land on the end row when the step would bring them that close.
// With no rows the result is -1.
std::int64_t archiveStep(int key, std::int64_t rowCount, std::int64_t row);

// The scroll thumb: filled from x 375 to 393 between y1 and y2 (y2 not included). With no
// rows there is none.
struct ArchiveThumb {
    bool shown = false;
    int y1 = 0, y2 = 0;
    friend bool operator==(const ArchiveThumb&, const ArchiveThumb&) = default;
};
ArchiveThumb archiveThumb(std::int64_t rowCount, std::int64_t row);

} // namespace veltron
