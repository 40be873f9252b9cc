#include "player/OverlayPainter.h"

#include "programmes/NowNext.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>

namespace OverlayPainter {

namespace {

const QColor kBackdrop(0, 0, 0, 170);
const QColor kNumberColour(0, 255, 0);
const QColor kGuideColour(200, 200, 200);
const QColor kBarTrack(255, 255, 255, 60);
const QColor kMarkColour(230, 40, 40);

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

// The programme now with how far it has got, and the next one under it, in the guide's part of
// the banner.
// A red dot before the title of a programme marked for recording; the room left for the title.
QRect markIfMarked(QPainter &painter, QRect line, const GuideProgramme &programme,
                   const QList<qint64> &markedStarts, const QFont &font) {
    if (!markedStarts.contains(programme.start))
        return line;
    const QString dot = QStringLiteral("● ");
    drawLabel(painter, line, dot, font, kMarkColour, Qt::AlignLeft | Qt::AlignVCenter);
    line.setLeft(line.left() + QFontMetrics(font).horizontalAdvance(dot));
    return line;
}

void paintGuide(QPainter &painter, const QRect &area, const QRect &guideBox, const NowNext &shown,
                const QList<qint64> &markedStarts) {
    const int u = unit(area);
    const QFont font = fontOf(painter, 0.85, area, false);
    const QRect nowLine(guideBox.left(), guideBox.top(), guideBox.width(), guideBox.height() / 2);
    const QRect nextLine(guideBox.left(), nowLine.bottom() + 1, guideBox.width(),
                         guideBox.height() - nowLine.height());
    QRect nowText = nowLine;
    if (shown.now) {
        // The bar at the line's right end, a quarter of the banner wide.
        const int barWidth = guideBox.width() / 4;
        const int barHeight = std::max(3, u / 4);
        const QRect bar(nowLine.right() + 1 - barWidth, nowLine.center().y() - barHeight / 2, barWidth,
                        barHeight);
        painter.fillRect(bar, kBarTrack);
        painter.fillRect(QRect(bar.topLeft(), QSize(int(bar.width() * shown.elapsed), bar.height())),
                         kNumberColour);
        nowText.setRight(bar.left() - u / 2);
        nowText = markIfMarked(painter, nowText, *shown.now, markedStarts, font);
        drawLabel(painter, nowText, programmeLine(*shown.now), font, Qt::white,
                  Qt::AlignLeft | Qt::AlignVCenter);
    }
    if (shown.next)
        drawLabel(painter, markIfMarked(painter, nextLine, *shown.next, markedStarts, font),
                  QStringLiteral("▸ ") + programmeLine(*shown.next), font, kGuideColour,
                  Qt::AlignLeft | Qt::AlignVCenter);
}

void paintBanner(QPainter &painter, const QRect &area, const PictureOverlay::Banner &banner,
                 qint64 guideTime) {
    const NowNext shown = nowAndNext(banner.programmes, guideTime);
    const bool withGuide = shown.now || shown.next;
    const QRect box = bannerRect(area, withGuide);
    const int u = unit(area);
    fillBackdrop(painter, box, u / 3);
    const QRect inner = box.adjusted(u / 2, u / 4, -u / 2, -u / 4);
    // First line: the number, then the name; below it the guide's lines, or room kept for them.
    const int titleHeight = withGuide ? u * 2 : inner.height() * 3 / 5;
    const QRect titleLine(inner.left(), inner.top(), inner.width(), titleHeight);
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
    if (withGuide)
        paintGuide(
            painter, area,
            QRect(inner.left(), titleLine.bottom() + 1, inner.width(), inner.bottom() - titleLine.bottom()),
            shown, banner.markedStarts);
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

// A notice's font, smaller for a long notice (a recording's, naming its programme) down to a size
// still read at a glance, so that its end is shown rather than cut.
QFont fittedFont(const QPainter &painter, const QRect &area, const QRect &slot, const QString &text) {
    const int room = slot.width() - 3 * (slot.height() / 4);
    QFont font;
    for (double units = 1.0; units >= 0.6; units -= 0.1) {
        font = fontOf(painter, units, area, true);
        if (QFontMetrics(font).horizontalAdvance(text) <= room)
            break;
    }
    return font;
}

// The time behind live over the bar of the kept span: green up to the point played, a white mark
// on it.
void paintShift(QPainter &painter, const QRect &area, const QRect &box, const QString &text, double bar) {
    const int u = unit(area);
    const QFont font = fontOf(painter, 1.1, area, true);
    if (bar < 0) {
        paintTag(painter, box, text, font, Qt::white, Qt::AlignLeft);
        return;
    }
    fillBackdrop(painter, box, u / 3);
    const QRect inner = box.adjusted(u / 2, u / 4, -u / 2, -u / 4);
    const int barHeight = std::max(4, u / 3);
    const QRect textLine(inner.left(), inner.top(), inner.width(), inner.height() - barHeight - u / 4);
    drawLabel(painter, textLine, text, font, Qt::white, Qt::AlignLeft | Qt::AlignVCenter);
    const QRect track(inner.left(), inner.bottom() + 1 - barHeight, inner.width(), barHeight);
    painter.fillRect(track, kBarTrack);
    const int played = int(track.width() * std::clamp(bar, 0.0, 1.0));
    painter.fillRect(QRect(track.topLeft(), QSize(played, track.height())), kNumberColour);
    const int markWidth = std::max(3, u / 5);
    const QRect mark(track.left() + played - markWidth / 2, track.top() - barHeight / 2, markWidth,
                     barHeight * 2);
    painter.fillRect(mark.intersected(track.adjusted(0, -barHeight, 0, barHeight)), Qt::white);
}

// The title in the channel number's colour, each fact under it in white.
void paintFacts(QPainter &painter, const QRect &area, const QStringList &lines) {
    const int u = unit(area);
    const QFont titleFont = fontOf(painter, 1.0, area, true);
    const QFont lineFont = fontOf(painter, 0.8, area, false);
    int textWidth = QFontMetrics(titleFont).horizontalAdvance(lines.value(0));
    for (qsizetype i = 1; i < lines.size(); ++i)
        textWidth = std::max(textWidth, QFontMetrics(lineFont).horizontalAdvance(lines[i]));
    const QRect box = factsRect(area, int(lines.size()), textWidth);
    fillBackdrop(painter, box, u / 3);
    const QRect inner = box.adjusted(u / 2, u / 4, -u / 2, -u / 4);
    const int lineHeight = inner.height() / std::max<qsizetype>(1, lines.size());
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QRect line(inner.left(), inner.top() + int(i) * lineHeight, inner.width(), lineHeight);
        drawLabel(painter, line, lines[i], i == 0 ? titleFont : lineFont, i == 0 ? kNumberColour : Qt::white,
                  Qt::AlignLeft | Qt::AlignVCenter);
    }
}

} // namespace

QRect factsRect(const QRect &area, int lines, int textWidth) {
    const int u = unit(area);
    const int width = std::min(area.width() - u, textWidth + u + u / 2);
    return QRect(area.left() + u / 2, area.top() + u * 3, width, lines * (u * 6 / 5) + u / 2);
}

QRect shiftRect(const QRect &area, bool withBar, const QRect &bannerShown) {
    const int u = unit(area);
    const int height = withBar ? u * 3 : u * 2;
    const int bottom = bannerShown.isEmpty() ? area.bottom() + 1 - u / 2 : bannerShown.top() - u / 4;
    return QRect(area.left() + u / 2, bottom - height, area.width() - u, height);
}

QRect bannerRect(const QRect &area, bool withGuide) {
    const int u = unit(area);
    const int height = withGuide ? u * 5 : u * 7 / 2;
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
    QRect bannerShown;
    if (shown.banner && clear(bannerRect(area, !shown.banner->programmes.isEmpty()))) {
        paintBanner(painter, area, *shown.banner, shown.guideTimeSecs);
        bannerShown = bannerRect(area, !shown.banner->programmes.isEmpty());
    }
    const QRect shift = shiftRect(area, shown.shiftBar >= 0, bannerShown);
    if (!shown.shiftText.isEmpty() && clear(shift))
        paintShift(painter, area, shift, shown.shiftText, shown.shiftBar);
    // Drawn even where it would cross the failure line: it tells what the stream is, failing or not.
    if (!shown.facts.isEmpty())
        paintFacts(painter, area, shown.facts);
    if (!shown.notice.isEmpty() && clear(noticeRect(area)))
        paintTag(painter, noticeRect(area), shown.notice,
                 fittedFont(painter, area, noticeRect(area), shown.notice), Qt::white, Qt::AlignLeft);
    if (!shown.typedDigits.isEmpty() && clear(digitsRect(area)))
        paintTag(painter, digitsRect(area), shown.typedDigits, fontOf(painter, 1.6, area, true),
                 kNumberColour, Qt::AlignRight);
    painter.restore();
}

} // namespace OverlayPainter
