#include "results/report_layout.h"

#include "platform/text.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace veltron {

std::string numberText(double value) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 1);
    std::string s(buffer, result.ptr);
    if (s.size() < 5) {
        s.insert(0, 5 - s.size(), ' ');
    }
    return s;
}

PageRect fitPage(int pageWidth, int pageHeight, const PrintDevice& device) {
    const int printableWidth = device.width - 2 * device.offsetX;
    const int printableHeight = device.height - 2 * device.offsetY;
    if (pageWidth <= 0 || pageHeight <= 0 || printableWidth <= 0 || printableHeight <= 0) {
        return {};
    }
    const bool fitWidth = (printableHeight >= printableWidth && pageWidth >= pageHeight) ||
                          (printableHeight < printableWidth && pageWidth > pageHeight);
    PageRect r;
    if (fitWidth) {
        r.width = printableWidth;
        r.height = static_cast<int>(static_cast<double>(pageHeight) * printableWidth / pageWidth);
        r.x = device.offsetX;
        r.y = (device.height - r.height) / 2;
    } else {
        r.height = printableHeight;
        r.width = static_cast<int>(static_cast<double>(pageWidth) * printableHeight / pageHeight);
        r.y = device.offsetY;
        r.x = (device.width - r.width) / 2;
    }
    return r;
}

std::int64_t archivePage(std::int64_t row) {
    return row / kArchivePageRows;
}

int archiveCursorLine(std::int64_t row) {
    return static_cast<int>(row - archivePage(row) * kArchivePageRows) + 1;
}

std::int64_t archiveStep(int key, std::int64_t rowCount, std::int64_t row) {
    if (rowCount <= 0) {
        return -1;
    }
    const std::int64_t last = rowCount - 1;
    switch (key) {
    case 1:
        return row < last ? row + 1 : row;
    case 7:
        return row > 0 ? row - 1 : row;
    case 2: {
        if (row + kArchivePageRows >= last) {
            return row;
        }
        const std::int64_t next = row + kArchivePageRows;
        return next + kArchivePageRows >= last ? last : next;
    }
    case 8: {
        if (row - kArchivePageRows <= 0) {
            return row;
        }
        const std::int64_t next = row - kArchivePageRows;
        return next - kArchivePageRows <= 0 ? 0 : next;
    }
    default:
        return row;
    }
}

ArchiveThumb archiveThumb(std::int64_t rowCount, std::int64_t row) {
    if (rowCount <= 0) {
        return {};
    }
    const double count = static_cast<double>(rowCount);
    const double length = std::min(4928.0 / count, 351.0);
    const double p = static_cast<double>(row) * (352.0 - length) / count + 214.0;
    // p stays within 214..566 for every row of the table, so the truncations cannot overflow.
    return {true, static_cast<int>(std::trunc(p)) - 30, static_cast<int>(std::trunc(p + length + 2.0)) - 30};
}

} // namespace veltron
