// Where a finished sheet goes: the default printer of the system (the default CUPS
// destination, through Qt PrintSupport), or, in file mode, the picture Temp\printpage.bmp
// opened with the desktop's viewer; optionally also a PDF copy in a folder of the
// installation. Every failure is a PrintError carrying a text for the log and the operator.
#pragma once

#include "results/sheet.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

namespace veltron {

class PrintError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class SheetPrinter {
public:
    virtual ~SheetPrinter() = default;
    // Prints the sheet as one page of a job with the given name; throws PrintError.
    virtual void print(const Sheet& sheet, const std::string& jobName) = 0;
};

// The default destination of the system. The page lands where fitPage puts it on the
// destination's paper, with the destination's unprintable margins as printing offsets.
class SystemPrinter : public SheetPrinter {
public:
    void print(const Sheet& sheet, const std::string& jobName) override;
};

// Draws the sheet on a painter that is open on a device of that geometry.
void paintSheetOnDevice(const Sheet& sheet, QPainter& painter, const PrintDevice& device);

// A one-page A4 PDF of the sheet, text kept as text; throws PrintError.
void writeSheetPdf(const Sheet& sheet, const std::filesystem::path& file, const std::string& title);
// The file of a measurement's PDF copy in the folder: the measurement name with characters
// that a file name cannot hold replaced by "_", and ".pdf".
std::filesystem::path pdfCopyFile(const std::filesystem::path& folder, const std::string& measurementName);

// Saves the sheet as a 24-bit BMP (file mode); throws PrintError.
void saveSheetBitmap(const Sheet& sheet, const std::filesystem::path& file);

// Opens a file with the desktop's viewer, detached; false when no viewer could be started.
bool openWithDesktop(const std::filesystem::path& file);

// The folder of the PDF copies: key PdfFolder of section [Veltron] of setup.ini, relative
// names taken from the working directory; empty (no copies) when the key is missing or
// empty.
std::filesystem::path readPdfFolder(const std::filesystem::path& setupIni, const std::filesystem::path& workDir);

} // namespace veltron
