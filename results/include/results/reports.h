// Result pages, result sheets and the two archives.
//
// A result page shows one record in the right-hand panel of the operator screen, judged
// against the catalogue as it is loaded now. The spring page also prepares the print texts
// that the spring sheet prints; the set page copies its record into the print copy, from
// which the set sheet prints. A sheet therefore always matches the page last shown.
//
// A sheet is composed on a 4000 x 5600 page (begin page: title and depot; the body; end
// page: date of printing and signature line) and then delivered: to the default printer,
// or with Print_in_file to Temp\printpage.bmp opened in the desktop's viewer, and with a
// PDF folder configured also as a PDF copy named after the measurement. Delivery ends with
// the confirmation screen, "Печать завершена", or "Ошибка печати" with the reason when the
// printer is missing or fails; a failure is logged and never leaves the operation.
//
// The archives (spring archive, set archive) page through a result table, 14 names a page,
// with the result page of the row under the cursor, and print that row's sheet. While one
// is open the archive mode is on and the result pages add the row count of the table.
#pragma once

#include "app/catalogue.h"
#include "app/logs.h"
#include "platform/database.h"
#include "results/data.h"
#include "results/printing.h"
#include "results/result_tables.h"
#include "results/sheet.h"
#include "screens/keypad.h"
#include "screens/screen.h"

#include <array>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

namespace veltron {

// Texts of the last spring result page, for the spring sheet.
struct PrintTexts {
    std::string name;       // measurement name
    std::string dateTime;   // date + " Время: " + time
    std::string bogie;      // bogie type name
    std::string springType; // spring type name
    std::string series;
    std::string train;
    std::array<std::string, kSlotCount + 1> parameter{}; // [1..6] parameter names
    std::array<std::string, kSlotCount + 1> value{};     // [1..6] value texts as on the page
    std::array<std::string, kSlotCount + 1> verdict{};   // [1..6] "Норма" / "Брак"
    bool pass = false;                                   // the spring check
};

// The print texts of a spring record, judged against the catalogue as loaded now; the texts
// and verdicts that its result page shows.
PrintTexts springPrintTexts(const _xZamer& record, const Catalogue& catalogue);

// Where sheets go; replaceable so that tests and tools never need a printer or a viewer.
struct SheetOutput {
    std::unique_ptr<SheetPrinter> printer = std::make_unique<SystemPrinter>();
    // Opens Temp\printpage.bmp in file mode; false when that failed.
    std::function<bool(const std::filesystem::path&)> openFile = openWithDesktop;
    std::filesystem::path pdfFolder; // empty: no PDF copies
};

class Reports {
public:
    Reports(Screen& screen, Keypad& keypad, const Catalogue& catalogue, db::Connection& connection,
            CurrentRecords& records, Clock clock);

    SheetOutput& output() { return output_; }
    // Runs when an archive is left (the program shows the status panel there).
    void setOnArchiveExit(std::function<void()> hook) { onArchiveExit_ = std::move(hook); }

    // --- result pages (after a measurement and in the archives) ---
    void drawSpringResultPage(const _xZamer& record);
    void drawSetResultPage(const _xKZamer& record);
    const PrintTexts& printTexts() const { return texts_; }

    // --- sheets ---
    // Print the sheet of the last spring page (print texts) or of the print copy, show the
    // confirmation and return whether it was printed (or saved and opened in file mode).
    bool printSpringSheet();
    bool printSetSheet();
    // The same for a given record (after a measurement): the print texts or the print copy
    // are taken from it first.
    bool printSpringSheet(const _xZamer& record);
    bool printSetSheet(const _xKZamer& record);
    // The composed sheets, as they would be delivered.
    Sheet springSheet() const;
    Sheet setSheet() const;

    // --- archives ---
    void springArchive();
    void setArchive();
    bool archiveMode() const { return archiveMode_; }

private:
    Sheet beginPage() const;
    void endPageFooter(Sheet& sheet) const;
    bool deliver(const Sheet& sheet, const std::string& name);
    void confirmation(bool ok, const std::string& error);

    void archive(bool sets);
    void drawArchivePage(bool sets, std::int64_t row);
    void markLine(int line, bool on);
    void archiveCount();

    Screen& screen_;
    Keypad& keypad_;
    const Catalogue& catalogue_;
    ResultTables tables_;
    CurrentRecords& records_;
    Clock clock_;
    SheetOutput output_;
    PrintTexts texts_;
    std::function<void()> onArchiveExit_;
    bool archiveMode_ = false;
    std::int64_t archiveRows_ = 0;
};

} // namespace veltron
