// Draws every picture the operator screens load from the BMP folder: the sixteen keypad keys
// in their three states, the keypad backing, the main screen background and the pictures of
// the measurement, result, check and shutdown screens. All are our own drawings.
//
// bmpgen OUTPUT_DIR
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <cmath>
#include <cstdio>
#include <string>

namespace {

QString outDir;

bool save(const QImage& img, const char* name) {
    const QString path = outDir + "/" + name;
    if (!img.convertToFormat(QImage::Format_RGB888).save(path, "BMP")) {
        std::fprintf(stderr, "bmpgen: cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

QImage canvas(int w, int h, QColor fill) {
    QImage img(w, h, QImage::Format_RGB32);
    img.setDotsPerMeterX(3780);
    img.setDotsPerMeterY(3780);
    img.fill(fill);
    return img;
}

QFont boldFont(int points, const char* family = "Liberation Sans") {
    QFont f(family);
    f.setPointSize(points);
    f.setBold(true);
    return f;
}

// One keypad key: 0 dead, 1 live, 2 pressed. The keypad face behind the keys is silver.
QImage key(int w, int h, const QString& symbol, int state, int points) {
    QImage img = canvas(w, h, QColor(192, 192, 192));
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r(1.5, 1.5, w - 4.0, h - 4.0);
    if (state != 2) {
        // drop shadow
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(120, 120, 120));
        p.drawRoundedRect(r.translated(2, 2), 9, 9);
    }
    QLinearGradient g(0, 0, 0, h);
    if (state == 0) {
        g.setColorAt(0, QColor(214, 214, 214));
        g.setColorAt(1, QColor(196, 196, 196));
    } else if (state == 1) {
        g.setColorAt(0, QColor(255, 255, 255));
        g.setColorAt(1, QColor(214, 222, 232));
    } else {
        g.setColorAt(0, QColor(150, 186, 230));
        g.setColorAt(1, QColor(196, 220, 250));
    }
    const QRectF face = state == 2 ? r.translated(2, 2) : r;
    p.setBrush(g);
    p.setPen(QPen(state == 0 ? QColor(160, 160, 160) : QColor(60, 70, 90), state == 0 ? 1.0 : 2.0));
    p.drawRoundedRect(face, 9, 9);
    p.setFont(boldFont(points));
    p.setPen(state == 0 ? QColor(168, 168, 168) : QColor(20, 24, 40));
    p.drawText(face, Qt::AlignCenter, symbol);
    return img;
}

bool keys() {
    struct K {
        char letter;
        const char* symbol;
        int w, h;
    };
    // Picture letters as the keypad names them; sizes follow the hit boxes.
    const K all[] = {
        {'1', "1", 78, 78},      {'2', "2", 78, 78},  {'3', "3", 78, 78},       {'4', "4", 78, 78},
        {'5', "5", 78, 78},      {'6', "6", 78, 78},  {'7', "7", 78, 78},       {'8', "8", 78, 78},
        {'9', "9", 78, 78},      {'0', "0", 170, 78}, {'z', "*", 78, 78},       {'#', "/", 78, 78},
        {'a', "\u2212", 78, 78}, {'b', "+", 78, 191}, {'c', "\u21B5", 78, 191}, {'d', ".", 78, 78},
    };
    bool ok = true;
    for (const K& k : all) {
        const QString sym = QString::fromUtf8(k.symbol);
        const std::string l(1, k.letter);
        ok &= save(key(k.w, k.h, sym, 0, 30), ("_" + l + "np.bmp").c_str());
        ok &= save(key(k.w, k.h, sym, 1, 30), (l + "np.bmp").c_str());
        ok &= save(key(k.w, k.h, sym, 2, 30), (l + "p.bmp").c_str());
    }
    // Backing of the key field, under the keys, from (998, 225) to the keypad's inner frame.
    QImage back = canvas(358, 536, QColor(176, 180, 188));
    {
        QPainter p(&back);
        p.setPen(QColor(140, 144, 152));
        p.drawRect(0, 0, back.width() - 1, back.height() - 1);
    }
    ok &= save(back, "_nnp.bmp");
    return ok;
}

void drawSpring(QPainter& p, QRectF box, int coils, QColor steel) {
    // A side view of a coil spring: ellipse arcs for the front of each turn.
    p.setRenderHint(QPainter::Antialiasing);
    const double pitch = box.height() / coils;
    QPen back(steel.darker(160), box.width() / 14.0, Qt::SolidLine, Qt::RoundCap);
    QPen front(steel, box.width() / 12.0, Qt::SolidLine, Qt::RoundCap);
    for (int i = 0; i < coils; ++i) {
        const double y = box.top() + i * pitch;
        QRectF turn(box.left(), y, box.width(), pitch);
        p.setPen(back);
        p.drawArc(turn, 0, 180 * 16);
        p.setPen(front);
        p.drawArc(turn.translated(0, pitch / 2), 180 * 16, 180 * 16);
    }
    p.setPen(QPen(steel.darker(130), box.width() / 12.0));
    p.drawLine(QPointF(box.left() + 4, box.top() + pitch / 2), QPointF(box.right() - 4, box.top() + pitch / 2));
    p.drawLine(QPointF(box.left() + 4, box.bottom() + pitch / 2), QPointF(box.right() - 4, box.bottom() + pitch / 2));
}

QImage framed(int w, int h) {
    QImage img = canvas(w, h, Qt::white);
    QPainter p(&img);
    p.setPen(QColor(200, 206, 214));
    p.drawRect(0, 0, w - 1, h - 1);
    return img;
}

bool background() {
    QImage img = canvas(1366, 768, Qt::white);
    QPainter p(&img);
    QLinearGradient g(0, 0, 0, 768);
    g.setColorAt(0, QColor(28, 58, 112));
    g.setColorAt(1, QColor(70, 118, 178));
    p.fillRect(img.rect(), g);
    // faint rails across the lower part of the free area
    p.setPen(QPen(QColor(255, 255, 255, 40), 6));
    p.drawLine(0, 610, 980, 610);
    p.drawLine(0, 640, 980, 640);
    p.setOpacity(0.22);
    drawSpring(p, QRectF(380, 170, 220, 380), 7, QColor(230, 236, 245));
    return save(img, "fon1.bmp");
}

bool pictures() {
    bool ok = true;
    {
        // Power symbol for the shutdown screen, on the striped background at (50, 140).
        QImage img = framed(300, 300);
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(QColor(200, 30, 30), 26, Qt::SolidLine, Qt::RoundCap));
        p.drawArc(QRectF(55, 60, 190, 190), 120 * 16, 300 * 16);
        p.drawLine(150, 40, 150, 140);
        ok &= save(img, "poweroff.bmp");
    }
    const struct {
        const char* name;
        int w, h, coils;
    } springs[] = {{"zamer.bmp", 240, 300, 7},
                   {"zamerco.bmp", 300, 300, 6},
                   {"PRUGINA.bmp", 200, 260, 7},
                   {"komplect.bmp", 260, 250, 6},
                   {"bigspring.bmp", 900, 1400, 8}};
    for (const auto& s : springs) {
        QImage img = framed(s.w, s.h);
        QPainter p(&img);
        if (std::string(s.name) == "zamerco.bmp" || std::string(s.name) == "komplect.bmp") {
            // a set: two springs side by side
            drawSpring(p, QRectF(s.w * 0.08, s.h * 0.1, s.w * 0.38, s.h * 0.72), s.coils, QColor(60, 90, 150));
            drawSpring(p, QRectF(s.w * 0.54, s.h * 0.1, s.w * 0.38, s.h * 0.72), s.coils, QColor(60, 90, 150));
        } else {
            drawSpring(p, QRectF(s.w * 0.2, s.h * 0.08, s.w * 0.6, s.h * 0.76), s.coils, QColor(60, 90, 150));
        }
        ok &= save(img, s.name);
    }
    {
        QImage img = framed(260, 260); // magnifier of the system check
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(QColor(40, 60, 110), 16));
        p.drawEllipse(QRectF(40, 40, 130, 130));
        p.setPen(QPen(QColor(40, 60, 110), 24, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(158, 158, 220, 220);
        ok &= save(img, "lupa.bmp");
    }
    {
        QImage img = framed(340, 200); // rig initialisation: arrows to the home positions
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(QColor(40, 110, 60), 14, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(60, 100, 280, 100);
        p.drawLine(60, 100, 110, 60);
        p.drawLine(60, 100, 110, 140);
        p.drawLine(170, 170, 170, 30);
        ok &= save(img, "init.bmp");
    }
    {
        QImage img = framed(340, 160); // operator warning: hands off the rig
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        QPainterPath tri;
        tri.moveTo(170, 14);
        tri.lineTo(300, 146);
        tri.lineTo(40, 146);
        tri.closeSubpath();
        p.fillPath(tri, QColor(250, 200, 0));
        p.setPen(QPen(Qt::black, 6));
        p.drawPath(tri);
        p.setFont(boldFont(54));
        p.drawText(QRectF(40, 40, 260, 106), Qt::AlignCenter, "!");
        ok &= save(img, "notremor.bmp");
    }
    for (int good = 0; good < 2; ++good) {
        QImage img = framed(120, 120);
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(good != 0 ? QColor(20, 150, 40) : QColor(200, 30, 30), 16, Qt::SolidLine, Qt::RoundCap));
        if (good != 0) {
            p.drawLine(24, 62, 50, 90);
            p.drawLine(50, 90, 98, 30);
        } else {
            p.drawLine(30, 30, 90, 90);
            p.drawLine(90, 30, 30, 90);
        }
        ok &= save(img, good != 0 ? "allok.bmp" : "noallok.bmp");
    }
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: bmpgen OUTPUT_DIR\n");
        return 2;
    }
    outDir = QString::fromLocal8Bit(argv[1]);
    const bool ok = keys() && background() && pictures();
    return ok ? 0 : 1;
}
