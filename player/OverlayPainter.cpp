#include "player/OverlayPainter.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>

namespace OverlayPainter {

namespace {

const QColor kBackdrop(0, 0, 0, 170);
const QColor kNumberColour(0, 255, 0);
const QColor kGuideColour(200, 200, 200);

// One unit of the layout: a line of text a little taller than a twentieth of the picture.
int unit(const QRect &area) {
    return std::clamp(area.height() / 20, 12, 64);
}

QFont fontOf(const QPainter &painter, double units, const QRect &area, bool bold) {
    QFont font = painter.font();
    font.setPixelSize(std::max(8, int(units * unit(area))));
    font.setBold(bold);
    return font;
}

void fillBackdrop(QPainter &painter, const QRect &box, int radius) {
    QPainterPath path;
    path.addRoundedRect(QRectF(box), radius, radius);
    painter.fillPath(path, kBackdrop);
}

void drawLabel(QPainter &painter, const QRect &box, const QString &text, const QFont &font,
               const QColor &colour, int flags) {
    painter.setFont(font);
    painter.setPen(colour);
    painter.drawText(box, flags, painter.fontMetrics().elidedText(text, Qt::ElideRight, box.width()));
}

void paintBanner(QPainter &painter, const QRect &area, const PictureOverlay::Banner &banner) {
    const QRect box = bannerRect(area);
    const int u = unit(area);
    fillBackdrop(painter, box, u / 3);
    const QRect inner = box.adjusted(u / 2, u / 4, -u / 2, -u / 4);
    // First line: the number, then the name; the second line is the guide's, kept even when empty.
    const QRect titleLine(inner.left(), inner.top(), inner.width(), inner.height() * 3 / 5);
    const QRect guideLine(inner.left(), titleLine.bottom() + 1, inner.width(),
                          inner.height() - titleLine.height());
    int nameLeft = titleLine.left();
    if (!banner.number.isEmpty()) {
        const QFont numberFont = fontOf(painter, 1.5, area, true);
        const int numberWidth = QFontMetrics(numberFont).horizontalAdvance(banner.number);
        drawLabel(painter, titleLine, banner.number, numberFont, kNumberColour,
                  Qt::AlignLeft | Qt::AlignVCenter);
        nameLeft += numberWidth + u;
    }
    const QRect nameBox(nameLeft, titleLine.top(), std::max(0, titleLine.right() - nameLeft),
                        titleLine.height());
    drawLabel(painter, nameBox, banner.name, fontOf(painter, 1.1, area, true), Qt::white,
              Qt::AlignLeft | Qt::AlignVCenter);
    const QString guide =
        banner.next.isEmpty() ? banner.now : banner.now + QStringLiteral("   ▸ ") + banner.next;
    if (!guide.isEmpty())
        drawLabel(painter, guideLine, guide, fontOf(painter, 0.85, area, false), kGuideColour,
                  Qt::AlignLeft | Qt::AlignVCenter);
}

// A short line in a box of its own, placed in slot, as wide as its text.
void paintTag(QPainter &painter, const QRect &slot, const QString &text, const QFont &font,
              const QColor &colour, Qt::Alignment side) {
    painter.setFont(font);
    const int pad = slot.height() / 4;
    // A little more than the text's advance: eliding measures it a shade wider.
    const int width = std::min(slot.width(), painter.fontMetrics().horizontalAdvance(text) + 3 * pad);
    QRect box(slot.topLeft(), QSize(width, slot.height()));
    if (side & Qt::AlignRight)
        box.moveRight(slot.right());
    fillBackdrop(painter, box, pad);
    drawLabel(painter, box.adjusted(pad / 2, 0, -pad / 2, 0), text, font, colour, Qt::AlignCenter);
}

} // namespace

QRect bannerRect(const QRect &area) {
    const int u = unit(area);
    const int height = u * 7 / 2;
    return QRect(area.left() + u / 2, area.bottom() + 1 - u / 2 - height, area.width() - u, height);
}

QRect noticeRect(const QRect &area) {
    const int u = unit(area);
    return QRect(area.left() + u / 2, area.top() + u / 2, area.width() * 2 / 3 - u, u * 2);
}

QRect digitsRect(const QRect &area) {
    const int u = unit(area);
    const int width = area.width() / 3;
    return QRect(area.right() + 1 - u / 2 - width, area.top() + u / 2, width, u * 5 / 2);
}

void paint(QPainter &painter, const QRect &area, const QRect &keepClear, const Shown &shown) {
    const auto clear = [&](const QRect &box) { return keepClear.isEmpty() || !box.intersects(keepClear); };
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    if (shown.banner && clear(bannerRect(area)))
        paintBanner(painter, area, *shown.banner);
    if (!shown.notice.isEmpty() && clear(noticeRect(area)))
        paintTag(painter, noticeRect(area), shown.notice, fontOf(painter, 1.0, area, true), Qt::white,
                 Qt::AlignLeft);
    if (!shown.typedDigits.isEmpty() && clear(digitsRect(area)))
        paintTag(painter, digitsRect(area), shown.typedDigits, fontOf(painter, 1.6, area, true),
                 kNumberColour, Qt::AlignRight);
    painter.restore();
}

} // namespace OverlayPainter
