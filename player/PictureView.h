#pragma once

#include "player/PictureOverlay.h"
#include "player/ShiftIndicator.h"

#include <QElapsedTimer>
#include <QImage>
#include <QPointer>
#include <QTimer>
#include <QWidget>

// The picture of the player control: the stream's frames scaled with their shape kept and black
// bars around them, the overlays drawn over the picture, and a line of text in French over all.
class PictureView : public QWidget {
    Q_OBJECT
public:
    explicit PictureView(QWidget *parent = nullptr);

    void showPicture(const QImage &frame, qreal pixelAspectRatio);
    void clearPicture();
    // The line shown over the picture; empty for none.
    void setStatusLine(const QString &text);

    // Drawn over the picture, never over the line above: the channel banner for a few seconds, a
    // short notice for two, the digits being typed until cleared with an empty text.
    void showBanner(const PictureOverlay::Banner &banner);
    void showNotice(const QString &text, qint64 durationMs = PictureOverlay::kNoticeMs);
    void setTypedDigits(const QString &digits);
    // The stream's facts for five seconds: a title line, then one line each.
    void showFacts(const QStringList &lines);
    // Tells the pauses and moves of control over the picture (replacing the one told before; null
    // for none).
    void watchShift(ShiftControl *control);
    // A key asked control to pause or move: its place is shown, even where it could not move.
    void shiftKeyPressed();
    // What the overlay shows at this moment: banner number and name, the guide's programme now and
    // next ("10:30–11:00  Title"), notice, typed digits, pause or time behind live, the stream's
    // facts, in that order,
    // leaving out what is not shown.
    QStringList overlayTexts() const;

signals:
    // A paint put a picture of the stream on screen.
    void framePainted();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QRect pictureRect() const;
    QRect statusRect(QPainter &painter) const;
    void overlayChanged();
    ShiftControl::Position shiftPosition() const;
    ShiftIndicator::Shown shiftShown(qint64 nowMs) const;

    QImage m_frame;
    qreal m_pixelAspectRatio = 1.0;
    QString m_statusLine;
    PictureOverlay m_overlay;
    ShiftIndicator m_shift;
    QPointer<ShiftControl> m_shiftControl;
    QElapsedTimer m_clock;
    // Repaints when an overlay element goes away or changes by itself.
    QTimer m_overlayExpiry;
};
