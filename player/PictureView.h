#pragma once

#include "player/PictureOverlay.h"

#include <QElapsedTimer>
#include <QImage>
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
    void showNotice(const QString &text);
    void setTypedDigits(const QString &digits);
    // What the overlay shows at this moment: banner number and name, the guide's programme now and
    // next ("10:30–11:00  Title"), notice, typed digits, in that order, leaving out what is not shown.
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

    QImage m_frame;
    qreal m_pixelAspectRatio = 1.0;
    QString m_statusLine;
    PictureOverlay m_overlay;
    QElapsedTimer m_clock;
    // Repaints when an overlay element goes away by itself.
    QTimer m_overlayExpiry;
};
