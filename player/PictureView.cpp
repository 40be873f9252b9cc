#include "player/PictureView.h"

#include "player/OverlayPainter.h"
#include "player/StartupTrace.h"
#include "programmes/NowNext.h"

#include <QDateTime>
#include <QPainter>

PictureView::PictureView(QWidget *parent) : QWidget(parent) {
    // Every pixel is painted here: no background fill, no system flicker between frames.
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_clock.start();
    m_overlayExpiry.setSingleShot(true);
    connect(&m_overlayExpiry, &QTimer::timeout, this, &PictureView::overlayChanged);
}

void PictureView::showPicture(const QImage &frame, qreal pixelAspectRatio) {
    m_frame = frame;
    m_pixelAspectRatio = pixelAspectRatio > 0 ? pixelAspectRatio : 1.0;
    update();
}

void PictureView::clearPicture() {
    m_frame = QImage();
    update();
}

void PictureView::setStatusLine(const QString &text) {
    if (text == m_statusLine)
        return;
    m_statusLine = text;
    update();
}

void PictureView::showBanner(const PictureOverlay::Banner &banner) {
    m_overlay.showBanner(banner, m_clock.elapsed());
    overlayChanged();
}

void PictureView::showFacts(const QStringList &lines) {
    m_overlay.showFacts(lines, m_clock.elapsed());
    overlayChanged();
}

void PictureView::showNotice(const QString &text, qint64 durationMs) {
    m_overlay.showNotice(text, m_clock.elapsed(), durationMs);
    overlayChanged();
}

void PictureView::setTypedDigits(const QString &digits) {
    m_overlay.setTypedDigits(digits);
    overlayChanged();
}

void PictureView::watchShift(ShiftControl *control) {
    if (control == m_shiftControl)
        return;
    if (m_shiftControl)
        m_shiftControl->disconnect(this);
    m_shiftControl = control;
    if (control) {
        connect(control, &ShiftControl::changed, this, [this] {
            m_shift.moved(m_clock.elapsed());
            overlayChanged();
        });
        connect(control, &ShiftControl::wentLive, this, [this] {
            m_shift.wentLive(m_clock.elapsed());
            overlayChanged();
        });
        connect(control, &ShiftControl::unavailable, this, [this](const QString &why) {
            m_shift.unavailable(why, m_clock.elapsed());
            overlayChanged();
        });
    }
    overlayChanged();
}

void PictureView::shiftKeyPressed() {
    m_shift.moved(m_clock.elapsed());
    overlayChanged();
}

ShiftControl::Position PictureView::shiftPosition() const {
    return m_shiftControl ? m_shiftControl->position() : ShiftControl::Position{};
}

ShiftIndicator::Shown PictureView::shiftShown(qint64 nowMs) const {
    if (!m_shiftControl)
        return {};
    return m_shift.shown(m_shiftControl->position(), nowMs);
}

QStringList PictureView::overlayTexts() const {
    const qint64 now = m_clock.elapsed();
    QStringList texts;
    if (const auto banner = m_overlay.banner(now)) {
        texts << banner->number << banner->name;
        const NowNext guide = nowAndNext(banner->programmes, QDateTime::currentSecsSinceEpoch());
        if (guide.now)
            texts << programmeLine(*guide.now);
        if (guide.next)
            texts << programmeLine(*guide.next);
    }
    texts << m_overlay.notice(now) << m_overlay.typedDigits() << shiftShown(now).text << m_overlay.facts(now);
    texts.removeAll(QString());
    return texts;
}

void PictureView::overlayChanged() {
    const qint64 now = m_clock.elapsed();
    qint64 next = m_overlay.nextExpiryMs(now);
    if (m_shiftControl) {
        const qint64 shift = m_shift.nextChangeMs(shiftPosition(), now);
        if (shift >= 0 && (next < 0 || shift < next))
            next = shift;
    }
    if (next < 0)
        m_overlayExpiry.stop();
    else
        m_overlayExpiry.start(int(next - now));
    update();
}

QRect PictureView::pictureRect() const {
    const QSizeF shown(m_frame.width() * m_pixelAspectRatio, m_frame.height());
    QSize fitted = shown.scaled(QSizeF(size()), Qt::KeepAspectRatio).toSize();
    fitted = fitted.boundedTo(size());
    const QPoint topLeft((width() - fitted.width()) / 2, (height() - fitted.height()) / 2);
    return QRect(topLeft, fitted);
}

// Sets the painter's font for the line and says where it goes, with a margin the overlay keeps off.
QRect PictureView::statusRect(QPainter &painter) const {
    QFont font = painter.font();
    font.setPixelSize(16);
    font.setBold(true);
    painter.setFont(font);
    if (m_statusLine.isEmpty())
        return QRect();
    const QRect textRect = rect().adjusted(8, 8, -8, -8);
    return painter.boundingRect(textRect, Qt::AlignCenter | Qt::TextWordWrap, m_statusLine)
        .adjusted(-8, -8, 8, 8);
}

void PictureView::paintEvent(QPaintEvent *) {
    StartupTrace::mark("player control painted");
    QPainter painter(this);
    const bool hasPicture = !m_frame.isNull();
    if (hasPicture) {
        const QRect target = pictureRect();
        // Fill only the bars: the picture covers the rest.
        QRegion bars(rect());
        bars -= target;
        for (const QRect &bar : bars)
            painter.fillRect(bar, Qt::black);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(target, m_frame);
    } else {
        painter.fillRect(rect(), Qt::black);
    }

    const QRect keepClear = statusRect(painter);
    const qint64 now = m_clock.elapsed();
    const ShiftIndicator::Shown shift = shiftShown(now);
    OverlayPainter::paint(painter, hasPicture ? pictureRect() : rect(), keepClear,
                          {m_overlay.banner(now), m_overlay.notice(now), m_overlay.typedDigits(),
                           QDateTime::currentSecsSinceEpoch(), shift.text, shift.barFraction,
                           m_overlay.facts(now)});
    if (!m_statusLine.isEmpty()) {
        const int flags = Qt::AlignCenter | Qt::TextWordWrap;
        const QRect textRect = rect().adjusted(8, 8, -8, -8);
        painter.setPen(Qt::black);
        painter.drawText(textRect.translated(1, 1), flags, m_statusLine);
        painter.setPen(Qt::white);
        painter.drawText(textRect, flags, m_statusLine);
    }
    if (hasPicture) {
        StartupTrace::mark("first picture painted");
        emit framePainted();
    }
}
