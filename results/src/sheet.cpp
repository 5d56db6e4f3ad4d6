#include "results/sheet.h"

#include "platform/canvas.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>

namespace veltron {

namespace {

QFont makeSheetFont(const SheetFont& spec) {
    const FamilyChoice choice = fontFamily(spec.name);
    QFont f(QString::fromUtf8(choice.family));
    f.setPixelSize(sheetPixelSize(spec.points));
    f.setBold(spec.bold || choice.forceBold);
    return f;
}

QString qtext(const std::string& s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

std::vector<std::string> splitLines(const std::string& s) {
    std::vector<std::string> lines;
    std::string current;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(current);
            current.clear();
            if (c == '\r' && i + 1 < s.size() && s[i + 1] == '\n') {
                ++i;
            }
        } else {
            current += c;
        }
    }
    lines.push_back(current);
    return lines;
}

} // namespace

int sheetPixelSize(int points) {
    return points > 0 ? (points * 96 + 36) / 72 : 1;
}

void Sheet::text(int x, int y, const std::string& utf8) {
    SheetItem item;
    item.kind = SheetItem::Kind::Text;
    item.x = x;
    item.y = y;
    item.font = font_;
    item.text = utf8;
    items_.push_back(std::move(item));
}

void Sheet::line(int x1, int y1, int x2, int y2) {
    SheetItem item;
    item.kind = SheetItem::Kind::Line;
    item.x = x1;
    item.y = y1;
    item.x2 = x2;
    item.y2 = y2;
    items_.push_back(std::move(item));
}

void Sheet::picture(int x, int y, const QImage& image) {
    if (image.isNull()) {
        return;
    }
    SheetItem item;
    item.kind = SheetItem::Kind::Picture;
    item.x = x;
    item.y = y;
    item.picture = image;
    items_.push_back(std::move(item));
}

int Sheet::textWidth(const std::string& utf8) const {
    return QFontMetrics(makeSheetFont(font_)).horizontalAdvance(qtext(utf8));
}

int Sheet::textHeight() const {
    return QFontMetrics(makeSheetFont(font_)).height();
}

int Sheet::centredLines(int y, const std::string& utf8) {
    for (const std::string& l : splitLines(utf8)) {
        text(width() / 2 - textWidth(l) / 2, y, l);
        y += textHeight();
    }
    return y;
}

int Sheet::leftLines(int x, int y, const std::string& utf8) {
    for (const std::string& l : splitLines(utf8)) {
        text(x, y, l);
        y += textHeight();
    }
    return y;
}

const SheetItem* Sheet::findText(const std::string& utf8) const {
    for (const SheetItem& item : items_) {
        if (item.kind == SheetItem::Kind::Text && item.text == utf8) {
            return &item;
        }
    }
    return nullptr;
}

void renderSheet(const Sheet& sheet, QPainter& painter) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    QPen pen(Qt::black);
    pen.setWidth(1);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    for (const SheetItem& item : sheet.items()) {
        switch (item.kind) {
        case SheetItem::Kind::Text: {
            const QFont f = makeSheetFont(item.font);
            painter.setFont(f);
            painter.drawText(item.x, item.y + QFontMetrics(f).ascent(), qtext(item.text));
            break;
        }
        case SheetItem::Kind::Line:
            painter.drawLine(item.x, item.y, item.x2, item.y2);
            break;
        case SheetItem::Kind::Picture:
            painter.drawImage(item.x, item.y, item.picture);
            break;
        }
    }
    painter.restore();
}

QImage renderSheetImage(const Sheet& sheet) {
    QImage image(sheet.width(), sheet.height(), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    renderSheet(sheet, painter);
    painter.end();
    return image;
}

} // namespace veltron
