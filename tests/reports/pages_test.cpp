// The result pages at their coordinates, read back from the canvas.
#include "fixture.h"

#include <gtest/gtest.h>

namespace veltron::testing {
namespace {

constexpr Rgb kNavy{0, 0, 128};

FontSpec page(Rgb color, bool bold = false) {
    return FontSpec{"Times New Roman", 14, color, bold};
}

TEST(SpringResultPage, HeaderValuesVerdictsAndNorms) {
    ReportFixture f;
    _xZamer r = f.spring("0007-09122026", 105.0F);
    r.List[kSlotDiameter] = 111.0F;         // 0.9 above Max: fails
    r.List[kSlotDeflection] = 60.0F;        // below Min 100: fails
    r.List[kSlotHeight] = 300.0F;           // inside 250..320
    r.List[kSlotPitchDifference] = 110.05F; // within the margin above Max
    f.reports->drawSpringResultPage(r);
    const Canvas& c = f.canvas;

    EXPECT_EQ(c.pixel(420, 176), colors::green);
    EXPECT_EQ(c.pixel(934, 719), colors::green);
    EXPECT_EQ(c.pixel(933, 718), colors::white);
    EXPECT_EQ(textMismatch(c, 440, 184, "Результат замера пружины : ", page(colors::blue, true)), 0);
    EXPECT_EQ(textMismatch(c, 440, 216, "№ 0007-09122026", page(kNavy)), 0);
    EXPECT_EQ(textMismatch(c, 550, 238, "09.12.2026 Время: 14:05:07", page(kNavy)), 0);
    EXPECT_EQ(textMismatch(c, 550, 260, "Моторная", page(kNavy)), 0);
    EXPECT_EQ(textMismatch(c, 550, 282, "Пружина наружная 1", page(kNavy)), 0);
    EXPECT_EQ(textMismatch(c, 550, 304, "ЭП2Д", page(kNavy)), 0);
    EXPECT_EQ(textMismatch(c, 550, 326, "017", page(kNavy)), 0);

    EXPECT_EQ(textMismatch(c, 440, 380, "Диаметр наружный", page(kNavy)), 0);
    EXPECT_EQ(textMismatch(c, 670, 380, "111.0", page(colors::red)), 0);
    EXPECT_EQ(textMismatch(c, 790, 380, "Брак", page(colors::red)), 0);
    EXPECT_EQ(textMismatch(c, 670, 402, "300.0", page(kNavy)), 0);
    EXPECT_EQ(textMismatch(c, 790, 402, "Норма", page(colors::green)), 0);
    EXPECT_EQ(textMismatch(c, 790, 424, "Норма", page(colors::green)), 0);
    // The deflection row: 60.0 followed directly by height minus deflection in parentheses.
    EXPECT_EQ(textMismatch(c, 670, 468, " 60.0(240.0)", page(colors::red)), 0);
    EXPECT_EQ(f.reports->printTexts().value[kSlotDeflection], " 60.0(240.0)");
    EXPECT_EQ(textMismatch(c, 440, 512, "Толщина прутка", page(kNavy)), 0);
    EXPECT_EQ(textMismatch(c, 670, 512, " 12.5", page(kNavy)), 0);

    // Norm table: Min, Max and the deviation (red where the slot fails).
    EXPECT_EQ(textMismatch(c, 440, 566, "Диаметр наружный", page(kNavy)), 0);
    EXPECT_EQ(textMismatch(c, 670, 566, "100.0", page(kNavy)), 0);
    EXPECT_EQ(textMismatch(c, 790, 566, "110.0", page(kNavy)), 0);
    EXPECT_EQ(textMismatch(c, 860, 566, "  1.0", page(colors::red)), 0);
    EXPECT_EQ(textMismatch(c, 670, 588, "250.0", page(kNavy)), 0);
    EXPECT_EQ(textMismatch(c, 860, 588, "  0.0", page(kNavy)), 0);
    EXPECT_EQ(textMismatch(c, 860, 654, " 40.0", page(colors::red)), 0);

    // Grid: grey rows 380..534 and 566..698, the norm table with its extra column at 845.
    EXPECT_EQ(c.pixel(500, 380), colors::grey);
    EXPECT_EQ(c.pixel(500, 534), colors::grey);
    EXPECT_EQ(c.pixel(845, 600), colors::grey);
    EXPECT_EQ(c.pixel(845, 450), colors::white);

    const PrintTexts& t = f.reports->printTexts();
    EXPECT_FALSE(t.pass);
    EXPECT_EQ(t.name, "0007-09122026");
    EXPECT_EQ(t.dateTime, "09.12.2026 Время: 14:05:07");
    EXPECT_EQ(t.verdict[kSlotDiameter], "Брак");
    EXPECT_EQ(t.verdict[kSlotPitchDifference], "Норма");
    EXPECT_EQ(t.parameter[kSlotResidualDeformation], "Остаточная деформация");
    // Outside the archive no count is written.
    EXPECT_NE(textMismatch(c, 100, 555, "Всего замеров:", page(kNavy)), 0);
}

TEST(SpringResultPage, PictureFollowsTheSpringCheck) {
    ReportFixture f;
    f.reports->drawSpringResultPage(f.spring("0001-09122026", 105.0F));
    EXPECT_TRUE(f.reports->printTexts().pass);
    QImage ok(QString::fromStdString((f.root / "bin" / "BMP" / "allok.bmp").string()));
    ASSERT_FALSE(ok.isNull());
    const QRgb px = ok.pixel(ok.width() / 2, ok.height() / 2);
    EXPECT_EQ(f.canvas.pixel(120 + ok.width() / 2, 630 + ok.height() / 2),
              (Rgb{static_cast<std::uint8_t>(qRed(px)), static_cast<std::uint8_t>(qGreen(px)),
                   static_cast<std::uint8_t>(qBlue(px))}));
}

TEST(SetResultPage, GroupTableFollowsNgr) {
    for (const int ngr : {3, 4, 5}) {
        ReportFixture f;
        const int type = ngr - 2;
        f.reports->drawSetResultPage(f.set("K0003-09122026", type, 102.5F));
        const Canvas& c = f.canvas;
        EXPECT_EQ(textMismatch(c, 440, 184, "Результат замера комплекта : ", page(colors::blue, true)), 0);
        EXPECT_EQ(textMismatch(c, 550, 282, "Комплект " + std::to_string(ngr) + " групп", page(kNavy)), 0);
        EXPECT_EQ(textMismatch(c, 440, 468, "Разбивка по группам (высота под давлением):", page(kNavy)), 0);
        EXPECT_EQ(textMismatch(c, 670, 380, "102.5", page(kNavy)), 0);
        EXPECT_EQ(textMismatch(c, 670, 402, " 60.0", page(kNavy)), 0);
        EXPECT_EQ(textMismatch(c, 670, 424, "4500.0", page(kNavy)), 0);
        EXPECT_EQ(textMismatch(c, 440, 556, "№ 3", page(kNavy)), 0);
        EXPECT_EQ(textMismatch(c, 670, 556, "102.0", page(kNavy)), 0);
        EXPECT_EQ(textMismatch(c, 790, 556, "103.0", page(kNavy)), 0);
        EXPECT_EQ(textMismatch(c, 440, 578, "№ 4", page(kNavy)) == 0, ngr > 3) << ngr;
        EXPECT_EQ(textMismatch(c, 440, 600, "№ 5", page(kNavy)) == 0, ngr > 4) << ngr;
        // Ngr + 2 horizontal lines from y 491 on.
        for (int i = 1; i <= 7; ++i) {
            EXPECT_EQ(c.pixel(500, 469 + 22 * i) == colors::grey, i <= ngr + 2) << "Ngr " << ngr << " line " << i;
        }
        EXPECT_EQ(c.pixel(660, 513 + 22 * ngr), colors::grey);
        EXPECT_EQ(c.pixel(660, 514 + 22 * ngr), colors::white);
        EXPECT_EQ(textMismatch(c, 440, 644, "Группа комплекта:№ 3", FontSpec{"Impact", 18, colors::green}), 0);
        EXPECT_EQ(f.records.printCopy.Name, "K0003-09122026");
    }
}

TEST(SetResultPage, RejectedSetIsRed) {
    ReportFixture f;
    f.reports->drawSetResultPage(f.set("K0004-09122026", 1, 98.0F));
    const Canvas& c = f.canvas;
    EXPECT_EQ(textMismatch(c, 670, 380, " 98.0", page(colors::red)), 0);
    EXPECT_EQ(textMismatch(c, 790, 380, "Брак", page(colors::red)), 0);
    EXPECT_EQ(textMismatch(c, 790, 402, "Брак", page(colors::red)), 0);
    EXPECT_EQ(textMismatch(c, 440, 644, "Группа комплекта:не определена", FontSpec{"Impact", 18, colors::red}), 0);
    EXPECT_EQ(textMismatch(c, 440, 676, "Комплект забракован", FontSpec{"Impact", 18, colors::red}), 0);
}

} // namespace
} // namespace veltron::testing

namespace veltron::testing {
namespace {

TEST(ResultPages, NumbersOutsideTheCatalogueShowEmptyEntries) {
    ReportFixture f;
    _xZamer r = f.spring("0001-09122026", 105.0F);
    r.Nsping = 600; // beyond the capacity of spring types
    r.Ch = 0;
    f.reports->drawSpringResultPage(r);
    EXPECT_EQ(f.reports->printTexts().springType, "");
    EXPECT_EQ(f.reports->printTexts().bogie, "");
    EXPECT_FALSE(f.reports->printTexts().pass); // empty bands 0..0
    f.reports->drawSetResultPage(f.set("K0001-09122026", 0, 101.0F));
    EXPECT_EQ(textMismatch(f.canvas, 440, 644, "Группа комплекта:не определена", FontSpec{"Impact", 18, colors::red}),
              0);
}

} // namespace
} // namespace veltron::testing

namespace veltron::testing {
namespace {

TEST(ResultPages, LongNamesStayInsideThePanelAndThePage) {
    ReportFixture f;
    SetTypeRow row;
    row.Name = "Комплект центрального подвешивания прицепной тележки с длинным названием";
    row.NGR = 3;
    ASSERT_TRUE(f.catalogue.storeSetType(4, row));
    f.reports->drawSetResultPage(f.set("K0001-09122026", 4, 101.0F));
    for (int x = 935; x < 1100; ++x) {
        for (int y = 282; y < 304; ++y) {
            ASSERT_EQ(f.canvas.pixel(x, y), colors::white) << x << "," << y;
        }
    }
    const Sheet s = f.reports->setSheet();
    const SheetItem* line = nullptr;
    for (const SheetItem& item : s.items()) {
        if (item.kind == SheetItem::Kind::Text && item.y == 1800) {
            line = &item;
        }
    }
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->text.rfind("Комплект:Комплект центрального", 0), 0U);
    EXPECT_EQ(line->text.substr(line->text.size() - 3), "…");
    Sheet probe;
    probe.setFont(line->font.name, line->font.points, line->font.bold);
    EXPECT_LE(line->x + probe.textWidth(line->text), 3900);
}

} // namespace
} // namespace veltron::testing
