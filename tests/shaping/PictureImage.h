#pragma once

// A skin image for the shaping tests, apart from the windows' own: a label with a bitmap or an
// animation that reports a click (a left press and release on it).

#include "shaping/ShapingImage.h"

#include <QLabel>
#include <QMouseEvent>
#include <QMovie>
#include <QPixmap>

class PictureImage : public QLabel, public ShapingImage {
    Q_OBJECT
public:
    using QLabel::QLabel;

    void setBitmap(const QImage &bitmap, bool autoSize = false) {
        m_animated = false;
        m_bitmap = bitmap.convertToFormat(QImage::Format_RGB32);
        setPixmap(QPixmap::fromImage(m_bitmap));
        if (autoSize)
            resize(m_bitmap.size());
    }
    void setAnimation(QMovie *movie) {
        m_bitmap = QImage();
        m_animated = true;
        setMovie(movie);
    }

    QWidget *widget() override { return this; }
    QImage bitmap() const override { return m_bitmap; }
    bool hasGraphic() const override { return m_animated || !m_bitmap.isNull(); }
    QImage canvasBitmap() override {
        if (m_bitmap.isNull() && !m_animated) {
            m_bitmap = QImage(size(), QImage::Format_RGB32);
            m_bitmap.fill(Qt::white);
        }
        return m_bitmap;
    }

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent *event) override {
        m_pressed = event->button() == Qt::LeftButton;
        QLabel::mousePressEvent(event);
    }
    void mouseReleaseEvent(QMouseEvent *event) override {
        const bool click =
            m_pressed && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
        m_pressed = false;
        QLabel::mouseReleaseEvent(event);
        if (click)
            emit clicked();
    }

private:
    QImage m_bitmap;
    bool m_animated = false;
    bool m_pressed = false;
};
