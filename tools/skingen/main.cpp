// Draws the player window's skin and button bitmaps into assets/.
// Run: halcyon-skingen <assets folder>. The committed PNGs are its output, the desktop theme's
// icons under desktop/icons/ included.
//
// Colour conventions the window relies on: pure red (255,0,0) marks what lies outside the
// window's outline and appears only in rows 393-430; pure blue (0,0,255) fills the area behind
// the picture (columns 72-603, rows 36-359). Neither colour is used anywhere else, so the edges
// around them are drawn without anti-aliasing.
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cstdio>

namespace {

const QColor kKey(255, 0, 0);
const QColor kScreen(0, 0, 255);
// Behind the player control.
const QRect kScreenArea(72, 36, 532, 324);
const QColor kBodyTop(74, 78, 88);
const QColor kBodyBottom(34, 36, 42);
const QColor kBezel(18, 19, 23);
const QColor kChrome(178, 184, 194);

QImage newBitmap(int w, int h) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(kBodyBottom);
    return img;
}

// Keeps anti-aliasing from inventing the two reserved colours where they do not belong: red above
// firstKeyRow, blue outside the screen area (which stays pure blue).
void scrubReserved(QImage &img, int firstKeyRow, const QRect &screen = QRect()) {
    for (int y = 0; y < img.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            const QRgb c = line[x] & 0xFFFFFF;
            if (c == 0xFF0000 && y < firstKeyRow)
                line[x] = qRgb(254, 0, 0);
            if (c == 0x0000FF && !screen.contains(x, y))
                line[x] = qRgb(0, 0, 254);
        }
    }
}

void drawGrille(QPainter &p, const QRect &area) {
    p.setPen(Qt::NoPen);
    for (int y = area.top(); y + 3 <= area.bottom(); y += 6) {
        for (int x = area.left() + ((y / 6) % 2) * 3; x + 3 <= area.right(); x += 6) {
            p.setBrush(QColor(14, 15, 18));
            p.drawEllipse(QRectF(x, y, 3.2, 3.2));
            p.setBrush(QColor(96, 100, 110));
            p.drawEllipse(QRectF(x + 0.6, y + 2.6, 1.6, 0.8));
        }
    }
}

QImage drawSkin() {
    const int w = 685, h = 431, bodyBottom = 393;
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(kKey);
    QPainter p(&img);

    // Cabinet: fills every row above the stand so the outline stays inside rows 393-430.
    QLinearGradient body(0, 0, 0, bodyBottom);
    body.setColorAt(0, kBodyTop);
    body.setColorAt(0.5, QColor(52, 55, 63));
    body.setColorAt(1, kBodyBottom);
    p.fillRect(0, 0, w, bodyBottom, body);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(120, 126, 138), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(1.5, 1.5, w - 3, bodyBottom - 3), 14, 14);

    // Bezel and the chrome ring around the picture.
    p.setPen(Qt::NoPen);
    p.setBrush(kBezel);
    p.drawRoundedRect(QRectF(62, 24, 557, 345), 12, 12);
    p.setPen(QPen(kChrome, 2));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(66, 28, 549, 337), 9, 9);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.fillRect(kScreenArea, kScreen);
    p.setRenderHint(QPainter::Antialiasing);

    // Speakers on both sides.
    drawGrille(p, QRect(12, 60, 42, 280));
    drawGrille(p, QRect(630, 60, 44, 280));

    // Lower control strip with an inset display for the channel number.
    QLinearGradient strip(0, 366, 0, 392);
    strip.setColorAt(0, QColor(60, 64, 72));
    strip.setColorAt(1, QColor(28, 30, 35));
    p.setPen(Qt::NoPen);
    p.setBrush(strip);
    p.drawRoundedRect(QRectF(60, 364, 565, 26), 6, 6);
    p.setBrush(QColor(8, 20, 10));
    p.setPen(QPen(QColor(90, 96, 104), 1));
    p.drawRoundedRect(QRectF(296, 362, 64, 28), 4, 4);

    // Brand plate behind the title label.
    p.setPen(QPen(QColor(140, 146, 158), 1));
    p.setBrush(QColor(40, 43, 50));
    p.drawRoundedRect(QRectF(98, 13, 128, 20), 5, 5);

    // Power light.
    QRadialGradient led(620, 380, 4);
    led.setColorAt(0, QColor(120, 255, 140));
    led.setColorAt(1, QColor(20, 90, 30));
    p.setPen(Qt::NoPen);
    p.setBrush(led);
    p.drawEllipse(QPointF(622, 376), 3, 3);

    // Stand: two feet and a neck, drawn hard-edged over the red outside area.
    p.setRenderHint(QPainter::Antialiasing, false);
    QLinearGradient foot(0, bodyBottom, 0, h);
    foot.setColorAt(0, QColor(40, 42, 48));
    foot.setColorAt(1, QColor(16, 17, 20));
    p.setBrush(foot);
    p.setPen(Qt::NoPen);
    p.drawRect(QRect(272, bodyBottom, 141, 18));
    QPolygon base;
    base << QPoint(190, 430) << QPoint(230, 411) << QPoint(455, 411) << QPoint(495, 430);
    p.drawPolygon(base);
    p.drawRect(QRect(60, bodyBottom, 40, 16));
    p.drawRect(QRect(585, bodyBottom, 40, 16));
    p.end();
    scrubReserved(img, bodyBottom, kScreenArea);
    return img;
}

QImage button(int w, int h, const QColor &glyphColour, void (*glyph)(QPainter &, const QRectF &)) {
    QImage img = newBitmap(w, h);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, 0, h);
    g.setColorAt(0, QColor(92, 97, 108));
    g.setColorAt(1, QColor(36, 38, 44));
    p.fillRect(img.rect(), QColor(40, 43, 50));
    p.setPen(QPen(QColor(150, 156, 168), 1));
    p.setBrush(g);
    p.drawRoundedRect(QRectF(0.5, 0.5, w - 1, h - 1), 4, 4);
    p.setPen(Qt::NoPen);
    p.setBrush(glyphColour);
    glyph(p, QRectF(0, 0, w, h));
    p.end();
    scrubReserved(img, h);
    return img;
}

void upGlyph(QPainter &p, const QRectF &r) {
    const QPointF c = r.center();
    p.drawPolygon(
        QPolygonF{QPointF(c.x() - 6, c.y() + 4), QPointF(c.x() + 6, c.y() + 4), QPointF(c.x(), c.y() - 5)});
}
void downGlyph(QPainter &p, const QRectF &r) {
    const QPointF c = r.center();
    p.drawPolygon(
        QPolygonF{QPointF(c.x() - 6, c.y() - 4), QPointF(c.x() + 6, c.y() - 4), QPointF(c.x(), c.y() + 5)});
}
void powerGlyph(QPainter &p, const QRectF &r) {
    const QPointF c = r.center();
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(255, 96, 80), 2, Qt::SolidLine, Qt::RoundCap));
    p.drawArc(QRectF(c.x() - 6, c.y() - 5, 12, 12), 120 * 16, 300 * 16);
    p.drawLine(QPointF(c.x(), c.y() - 7), QPointF(c.x(), c.y() - 1));
}
void listGlyph(QPainter &p, const QRectF &r) {
    for (int i = 0; i < 3; ++i) {
        p.drawRect(QRectF(r.left() + 9, r.top() + 8 + i * 5, 3, 3));
        p.drawRect(QRectF(r.left() + 15, r.top() + 8 + i * 5, 15, 3));
    }
}
void recordGlyph(QPainter &p, const QRectF &r) {
    p.setBrush(QColor(220, 30, 40));
    p.drawEllipse(r.center(), 4.5, 4.5);
}

// The application icon, designed on a 32 x 32 grid: drawn at 32 it is the window icon; the desktop
// theme takes it at its other sizes, drawn again from the same grid rather than blown up.
QImage drawIcon(int size = 32) {
    QImage img(size, size, QImage::Format_RGB32);
    img.fill(QColor(0, 0, 128));
    QPainter p(&img);
    p.scale(size / 32.0, size / 32.0);
    p.fillRect(QRect(3, 5, 26, 19), QColor(192, 192, 192));
    p.fillRect(QRect(5, 7, 22, 15), QColor(0, 128, 128));
    p.fillRect(QRect(12, 24, 8, 3), QColor(128, 128, 128));
    p.fillRect(QRect(8, 27, 16, 2), QColor(192, 192, 192));
    p.end();
    return img;
}

bool save(const QImage &img, const QDir &dir, const char *name) {
    if (img.save(dir.filePath(QString::fromLatin1(name)), "PNG"))
        return true;
    std::fprintf(stderr, "cannot write %s\n", name);
    return false;
}

} // namespace

int main(int argc, char **argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <assets folder>\n", argv[0]);
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    bool ok = save(drawSkin(), dir, "skin.png");
    ok &= save(button(25, 23, QColor(220, 226, 236), downGlyph), dir, "previous.png");
    ok &= save(button(25, 23, QColor(220, 226, 236), upGlyph), dir, "next.png");
    ok &= save(button(25, 23, QColor(255, 96, 80), powerGlyph), dir, "power.png");
    ok &= save(button(39, 28, QColor(220, 226, 236), listGlyph), dir, "list.png");
    ok &= save(button(15, 15, QColor(220, 30, 40), recordGlyph), dir, "record.png");
    ok &= save(drawIcon(), dir, "mainicon.png");
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString name = QStringLiteral("desktop/icons/%1x%1.png").arg(size);
        ok &= dir.mkpath(QStringLiteral("desktop/icons")) &&
              save(drawIcon(size), dir, name.toLatin1().constData());
    }
    return ok ? 0 : 1;
}
