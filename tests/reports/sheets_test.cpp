// The composed sheets, and where they go: the printer, the file mode, the PDF copy and the
// confirmation with its error text.
#include "fixture.h"

#include "platform/files.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace veltron::testing {
namespace {

void expectText(const Sheet& s, const std::string& text, int x, int y, int points, bool bold = false) {
    const SheetItem* item = s.findText(text);
    ASSERT_NE(item, nullptr) << text;
    EXPECT_EQ(item->x, x) << text;
    EXPECT_EQ(item->y, y) << text;
    EXPECT_EQ(item->font.points, points) << text;
    EXPECT_EQ(item->font.bold, bold) << text;
}

void expectCentred(const Sheet& s, const std::string& text, int y) {
    const SheetItem* item = s.findText(text);
    ASSERT_NE(item, nullptr) << text;
    EXPECT_EQ(item->y, y) << text;
    Sheet probe;
    probe.setFont(item->font.name, item->font.points, item->font.bold);
    EXPECT_EQ(item->x, 2000 - probe.textWidth(text) / 2) << text;
}

// Saves a picture of the sheet where a person asked for one (VELTRON_SHEET_PNG=folder).
void keepForTheEye(const Sheet& s, const std::string& name) {
    if (const char* dir = std::getenv("VELTRON_SHEET_PNG")) {
        renderSheetImage(s)
            .scaledToWidth(1000, Qt::SmoothTransformation)
            .save(QString::fromStdString(std::string(dir) + "/" + name));
    }
}

TEST(Sheet, LinesAdvanceByTheirHeight) {
    Sheet s;
    s.setFont("Times New Roman", 72);
    const int h = s.textHeight();
    EXPECT_GT(h, 90);
    EXPECT_EQ(s.leftLines(280, 5000, "a\r\n \nb"), 5000 + 3 * h);
    ASSERT_EQ(s.items().size(), 3U);
    EXPECT_EQ(s.items()[2].y, 5000 + 2 * h);
    EXPECT_EQ(s.items()[1].text, " ");
}

TEST(SpringSheet, TextsOfThePageShown) {
    ReportFixture f;
    _xZamer r = f.spring("0007-09122026", 105.0F);
    r.List[kSlotDeflection] = 60.0F;
    f.reports->drawSpringResultPage(r);
    const Sheet s = f.reports->springSheet();
    keepForTheEye(s, "spring-sheet.png");

    expectCentred(s, "Автоматизированная система  испытания", 160);
    Sheet probe;
    probe.setFont("Impact", 72);
    expectCentred(s, "рессорных пружин электропоездов \"ВЕЛТРОН\"", 160 + probe.textHeight());
    expectCentred(s, "Моторвагонное депо  Северное", 560);
    expectCentred(s, "Заводской номер системы: 0042", 680);
    expectText(s, "№ 0007-09122026", 1960, 964, 72);
    expectText(s, "Дата замера: 09.12.2026 Время: 14:05:07", 1960, 1128, 72);
    expectText(s, "Тележка: Моторная", 1960, 1292, 72);
    expectText(s, "Пружина: Пружина наружная 1", 1960, 1456, 72);
    expectText(s, "№ поезда: 017", 1960, 1620, 72);
    expectText(s, "№ серии: ЭП2Д", 1960, 1784, 72);
    expectCentred(s, "Таблица параметров замера:", 2112);
    expectText(s, "Заключение", 2860, 2400, 72, true);
    expectText(s, "Стрела прогиба", 850, 164 * 5 + 2400, 72);
    expectText(s, " 60.0(240.0)", 2140, 164 * 5 + 2400, 72);
    expectText(s, "Брак", 2860, 164 * 5 + 2400, 72);
    expectCentred(s, "Результат замера: БРАК", 3712);
    expectText(s, "Дата печати: 09.12.2026", 280, 5000, 72);
    probe.setFont("Times New Roman", 72);
    expectText(s, "Ответственный:     ____________________________", 280, 5000 + 3 * probe.textHeight(), 72);

    int lines = 0;
    bool picture = false;
    for (const SheetItem& item : s.items()) {
        lines += item.kind == SheetItem::Kind::Line ? 1 : 0;
        if (item.kind == SheetItem::Kind::Picture) {
            picture = item.x == 560 && item.y == 920;
        }
    }
    EXPECT_EQ(lines, 8 + 5);
    EXPECT_TRUE(picture);
}

TEST(SetSheet, RejectedSetSaysSoBelowTheGroupRows) {
    ReportFixture f;
    f.reports->drawSetResultPage(f.set("K0004-09122026", 3, 98.0F));
    const Sheet s = f.reports->setSheet();
    keepForTheEye(s, "set-sheet-rejected.png");
    expectText(s, "Комплект № K0004-09122026", 460, 1000, 96, true);
    expectText(s, "Дата замера комплекта: 09.12.2026", 460, 1200, 96);
    expectText(s, "Время комплекта: 14:05:07", 460, 1400, 96);
    expectText(s, "Комплект:Комплект 5 групп", 460, 1800, 96);
    expectText(s, "Группа комплекта:не определена", 460, 2400, 96);
    expectText(s, "Параметры комплекта:", 460, 2600, 96, true);
    expectText(s, "Высота под давлением: 98.0", 460, 2800, 96);
    expectText(s, "Стрела прогиба: 60.0", 460, 3000, 96);
    expectText(s, "Давление испытания:4500.0", 460, 3200, 96);
    expectText(s, "Группа 5", 460, 4600, 96);
    expectText(s, "107.0", 3200, 4600, 96);
    expectText(s, "Комплект забракован", 460, 4800, 96, true);
}

TEST(SetSheet, AcceptedSetWithThreeGroups) {
    ReportFixture f;
    f.reports->drawSetResultPage(f.set("K0005-09122026", 1, 101.0F));
    const Sheet s = f.reports->setSheet();
    keepForTheEye(s, "set-sheet.png");
    expectText(s, "Группа комплекта:№ 2", 460, 2400, 96);
    expectText(s, "Группа 3", 460, 4200, 96);
    EXPECT_EQ(s.findText("Группа 4"), nullptr);
    EXPECT_EQ(s.findText("Комплект забракован"), nullptr);
}

TEST(Delivery, PrinterGetsTheSheetAndTheConfirmationWaitsForKey11) {
    ReportFixture f;
    f.reports->drawSpringResultPage(f.spring("0009-09122026", 105.0F));
    bool confirmationUp = false;
    bool errorShown = false;
    f.host.beforeKey = [&] {
        if (f.keypad->live(11) && !f.keypad->live(12)) {
            confirmationUp = true;
            errorShown = textMismatch(f.canvas, 90, 320, "Ошибка печати", FontSpec{"Impact", 24, colors::red}) == 0;
        }
    };
    f.host.script = "*";
    EXPECT_TRUE(f.reports->printSpringSheet());
    EXPECT_TRUE(confirmationUp);
    EXPECT_FALSE(errorShown);
    ASSERT_EQ(f.printer->jobs.size(), 1U);
    EXPECT_EQ(f.printer->jobs[0], "0009-09122026");
    EXPECT_NE(f.printer->sheets[0].findText("№ 0009-09122026"), nullptr);
    EXPECT_TRUE(f.opened.empty());
    EXPECT_EQ(f.screen->depth(), 0);
}

TEST(Delivery, MissingPrinterShowsPrintErrorAndLogsIt) {
    ReportFixture f;
    f.printer->failWith = "нет принтера по умолчанию";
    f.reports->drawSetResultPage(f.set("K0002-09122026", 1, 101.0F));
    bool errorShown = false;
    f.host.beforeKey = [&] {
        if (f.keypad->live(11) && !errorShown) {
            errorShown = textMismatch(f.canvas, 90, 320, "Ошибка печати", FontSpec{"Impact", 24, colors::red}) == 0;
        }
    };
    f.host.script = "*";
    EXPECT_FALSE(f.reports->printSetSheet());
    EXPECT_TRUE(errorShown);
    EXPECT_NE(f.logText().find("Ошибка печати K0002-09122026: нет принтера по умолчанию"), std::string::npos);
    EXPECT_EQ(f.screen->depth(), 0);
}

TEST(Delivery, SystemPrinterWithoutDestinationFails) {
    // A CUPS server that does not exist: there is no default destination, whatever this
    // machine has configured.
    ::setenv("CUPS_SERVER", "/nonexistent/cups.sock", 1);
    SystemPrinter printer;
    Sheet s;
    EXPECT_THROW(printer.print(s, "x"), PrintError);
    ::unsetenv("CUPS_SERVER");
}

TEST(Delivery, FileModeSavesTheBitmapAndTouchesNoPrinter) {
    ReportFixture f;
    f.settings.Print_in_file = true;
    std::filesystem::remove_all(f.work() / "Temp");
    std::filesystem::create_directories(f.work() / "TEMP"); // one folder for either spelling
    f.reports->drawSpringResultPage(f.spring("0010-09122026", 105.0F));
    f.host.script = "*";
    EXPECT_TRUE(f.reports->printSpringSheet());
    EXPECT_TRUE(f.printer->jobs.empty());
    ASSERT_EQ(f.opened.size(), 1U);
    EXPECT_EQ(f.opened[0], f.work() / "TEMP" / "printpage.bmp");
    const auto bytes = files::readFile(f.opened[0]);
    ASSERT_TRUE(bytes.has_value());
    ASSERT_GT(bytes->size(), 30U);
    EXPECT_EQ(bytes->substr(0, 2), "BM");
    EXPECT_EQ(static_cast<unsigned char>((*bytes)[28]), 24); // bits per pixel
    const QImage saved(QString::fromStdString(f.opened[0].string()));
    EXPECT_EQ(saved.size(), QSize(4000, 5600));
    EXPECT_EQ(saved.pixel(10, 10), qRgb(255, 255, 255));
    // The table's frame is drawn.
    EXPECT_EQ(saved.pixel(1000, 2369), qRgb(0, 0, 0));
}

TEST(Delivery, FileModeWithoutViewerIsAPrintError) {
    ReportFixture f;
    f.settings.Print_in_file = true;
    f.reports->output().openFile = [](const std::filesystem::path&) { return false; };
    f.reports->drawSpringResultPage(f.spring("0011-09122026", 105.0F));
    f.host.script = "*";
    EXPECT_FALSE(f.reports->printSpringSheet());
    EXPECT_NE(f.logText().find("Ошибка печати 0011-09122026"), std::string::npos);
}

TEST(Delivery, PdfCopyNamedAfterTheMeasurement) {
    ReportFixture f;
    const std::filesystem::path folder = f.root / "pdf";
    files::writeFileAtomic(f.root / "bin" / "setup.ini", "[Global]\r\nEmul=1\r\n[Veltron]\r\nPdfFolder=pdf\r\n");
    f.reports->output().pdfFolder = readPdfFolder(f.root / "bin" / "setup.ini", f.root);
    EXPECT_EQ(f.reports->output().pdfFolder, folder);
    f.reports->drawSetResultPage(f.set("K0006-09122026", 1, 101.0F));
    f.host.script = "*";
    EXPECT_TRUE(f.reports->printSetSheet());
    const auto pdf = files::readFile(folder / "K0006-09122026.pdf");
    ASSERT_TRUE(pdf.has_value());
    EXPECT_EQ(pdf->substr(0, 5), "%PDF-");
    EXPECT_EQ(f.printer->jobs.size(), 1U);
}

TEST(Delivery, PdfFolderSettingAndFileNames) {
    ReportFixture f;
    files::writeFileAtomic(f.root / "a.ini", "[Global]\r\nEmul=1\r\n");
    EXPECT_TRUE(readPdfFolder(f.root / "a.ini", f.root).empty());
    files::writeFileAtomic(f.root / "b.ini", "[veltron]\r\npdffolder=\r\n");
    EXPECT_TRUE(readPdfFolder(f.root / "b.ini", f.root).empty());
    files::writeFileAtomic(f.root / "c.ini", "[Veltron]\r\nPdfFolder=/srv/sheets\r\n");
    EXPECT_EQ(readPdfFolder(f.root / "c.ini", f.root), std::filesystem::path("/srv/sheets"));
    EXPECT_EQ(pdfCopyFile("/x", "K0001-09122026"), std::filesystem::path("/x/K0001-09122026.pdf"));
    EXPECT_EQ(pdfCopyFile("/x", "../a/b:c"), std::filesystem::path("/x/.._a_b_c.pdf"));
    EXPECT_EQ(pdfCopyFile("/x", ""), std::filesystem::path("/x/_.pdf"));
}

TEST(Delivery, UnwritablePdfFolderStillPrints) {
    ReportFixture f;
    files::writeFileAtomic(f.root / "blocker", "x");
    f.reports->output().pdfFolder = f.root / "blocker" / "sub";
    f.reports->drawSetResultPage(f.set("K0007-09122026", 1, 101.0F));
    f.host.script = "*";
    EXPECT_TRUE(f.reports->printSetSheet());
    EXPECT_EQ(f.printer->jobs.size(), 1U);
    EXPECT_NE(f.logText().find("Копия листа в PDF не записана"), std::string::npos);
}

} // namespace
} // namespace veltron::testing
