#include "platform/canvas.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>

#include <cstdlib>
#include <stdexcept>

namespace veltron {
namespace {

constexpr int kDotsPerMeter96 = 3780; // 96 dpi, the screen resolution the layouts assume

QColor toQ(Rgb c) {
    return QColor(c.r, c.g, c.b);
}

QFont makeFont(const FontSpec& spec) {
    const FamilyChoice choice = fontFamily(spec.name);
    QFont f(QString::fromUtf8(choice.family));
    f.setPointSize(spec.size > 0 ? spec.size : 1);
    f.setBold(spec.bold || choice.forceBold);
    f.setStyleStrategy(QFont::PreferAntialias);
    return f;
}

} // namespace

FamilyChoice fontFamily(const std::string& name) {
    // "Сourier" below starts with the Cyrillic С, as one of the screens asks for it.
    if (name == "Impact") {
        return {"PT Sans Narrow", true};
    }
    if (name == "Courier" || name == "CourierNew" || name == "Courier New" || name == "Сourier") {
        return {"Liberation Mono", false};
    }
    if (name == "Times New Roman" || name == "Times new roman") {
        return {"Liberation Serif", false};
    }
    return {"Liberation Sans", false}; // Tahoma, Arial and anything else
}

Canvas::Canvas(int width, int height) {
    resize(width, height);
}

void Canvas::resize(int width, int height) {
    QImage next(width > 0 ? width : 1, height > 0 ? height : 1, QImage::Format_RGB32);
    next.fill(Qt::white);
    if (!image_.isNull()) {
        QPainter p(&next);
        p.drawImage(0, 0, image_);
    }
    next.setDotsPerMeterX(kDotsPerMeter96);
    next.setDotsPerMeterY(kDotsPerMeter96);
    image_ = std::move(next);
    touch(image_.rect());
}

void Canvas::touch(const QRect& r) {
    const QRect clipped = r.intersected(image_.rect());
    if (!clipped.isEmpty()) {
        dirty_ = dirty_.united(clipped);
        ++generation_;
    }
}

QRect Canvas::takeDirty() {
    const QRect d = dirty_;
    dirty_ = QRect();
    return d;
}

void Canvas::fillRect(int x1, int y1, int x2, int y2, Rgb color) {
    if (x2 <= x1 || y2 <= y1) {
        return;
    }
    const QRect r = QRect(x1, y1, x2 - x1, y2 - y1).intersected(image_.rect());
    if (r.isEmpty()) {
        return;
    }
    QPainter p(&image_);
    p.fillRect(r, toQ(color));
    touch(r);
}

void Canvas::line(int x1, int y1, int x2, int y2, Rgb color, PenStyle style) {
    // Bresenham, leaving out the end point. Dashes are 18 on / 6 off, dots 3 on / 3 off,
    // counted along the line as the original pens did.
    const int dx = std::abs(x2 - x1);
    const int dy = -std::abs(y2 - y1);
    const int sx = x1 < x2 ? 1 : -1;
    const int sy = y1 < y2 ? 1 : -1;
    int err = dx + dy;
    int x = x1;
    int y = y1;
    const QRgb value = qRgb(color.r, color.g, color.b);
    int step = 0;
    QRect touched;
    while (x != x2 || y != y2) {
        bool on = true;
        if (style == PenStyle::Dash) {
            on = step % 24 < 18;
        } else if (style == PenStyle::Dot) {
            on = step % 6 < 3;
        }
        if (on && image_.rect().contains(x, y)) {
            image_.setPixel(x, y, value);
            touched = touched.united(QRect(x, y, 1, 1));
        }
        ++step;
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y += sy;
        }
    }
    touch(touched);
}

void Canvas::text(int x, int y, const std::string& utf8) {
    if (utf8.empty()) {
        return;
    }
    const QFont f = makeFont(font_);
    const QString s = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
    QPainter p(&image_);
    p.setFont(f);
    p.setPen(toQ(font_.color));
    const QFontMetrics m(f, &image_);
    p.drawText(x, y + m.ascent(), s);
    touch(QRect(x - 2, y - 2, m.horizontalAdvance(s) + 6, m.height() + 4));
}

int Canvas::textWidth(const std::string& utf8) const {
    const QFontMetrics m(makeFont(font_), &image_);
    return m.horizontalAdvance(QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())));
}

int Canvas::textHeight(const std::string&) const {
    const QFontMetrics m(makeFont(font_), &image_);
    return m.height();
}

Rgb Canvas::pixel(int x, int y) const {
    if (!image_.rect().contains(x, y)) {
        return {};
    }
    const QRgb v = image_.pixel(x, y);
    return Rgb{static_cast<std::uint8_t>(qRed(v)), static_cast<std::uint8_t>(qGreen(v)),
               static_cast<std::uint8_t>(qBlue(v))};
}

void Canvas::setPixel(int x, int y, Rgb color) {
    if (image_.rect().contains(x, y)) {
        image_.setPixel(x, y, qRgb(color.r, color.g, color.b));
        touch(QRect(x, y, 1, 1));
    }
}

void Canvas::replaceColor(int x1, int y1, int x2, int y2, Rgb from, Rgb to) {
    const QRect r = QRect(QPoint(x1, y1), QPoint(x2, y2)).intersected(image_.rect());
    const QRgb f = qRgb(from.r, from.g, from.b);
    const QRgb t = qRgb(to.r, to.g, to.b);
    for (int y = r.top(); y <= r.bottom(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image_.scanLine(y));
        for (int x = r.left(); x <= r.right(); ++x) {
            if ((row[x] & 0xFFFFFFU) == (f & 0xFFFFFFU)) {
                row[x] = t;
            }
        }
    }
    touch(r);
}

bool Canvas::drawPicture(const std::filesystem::path& file, int x, int y) {
    QImage picture;
    if (!picture.load(QString::fromStdString(file.string()))) {
        return false;
    }
    QPainter p(&image_);
    p.drawImage(x, y, picture);
    touch(QRect(x, y, picture.width(), picture.height()));
    return true;
}

void Canvas::save(const std::filesystem::path& file) const {
    if (!image_.save(QString::fromStdString(file.string()), "BMP")) {
        throw std::runtime_error("Не удалось сохранить изображение " + file.string());
    }
}

void Canvas::load(const std::filesystem::path& file) {
    QImage picture;
    if (!picture.load(QString::fromStdString(file.string()), "BMP")) {
        throw std::runtime_error("Не удалось загрузить изображение " + file.string());
    }
    QImage next = picture.convertToFormat(QImage::Format_RGB32);
    next.setDotsPerMeterX(kDotsPerMeter96);
    next.setDotsPerMeterY(kDotsPerMeter96);
    image_ = std::move(next);
    touch(image_.rect());
}

} // namespace veltron
