#pragma once

#include "shaping/ShapingImage.h"

#include <QImage>
#include <QLabel>
#include <QPointer>

#include <QMovie>

// The skin's image component: a picture with a click, and no window of its own in spirit
// (a press on it counts as a press on the form, see the shaping component's hook).
// The picture is either a bitmap or another kind of graphic (an animation).
class TImage : public QLabel, public ShapingImage {
    Q_OBJECT
public:
    explicit TImage(QWidget *parent = nullptr);

    // A bitmap picture; with autoSize the image takes the bitmap's size.
    void setBitmap(const QImage &bitmap);
    // A graphic that is not a bitmap; bitmap() is then null.
    void setAnimation(QMovie *movie);
    void clearPicture();

    QWidget *widget() override { return this; }
    bool hasGraphic() const override { return !m_bitmap.isNull() || m_movie; }
    bool isBitmap() const { return !m_bitmap.isNull(); }
    QImage bitmap() const override { return m_bitmap; }
    // Gives an empty picture a blank bitmap of the image's own size so it can be read.
    QImage &editableBitmap();
    QImage canvasBitmap() override { return editableBitmap(); }

    void setAutoSize(bool on);
    bool autoSize() const { return m_autoSize; }
    int tag() const { return m_tag; }
    void setTag(int tag) { m_tag = tag; }

signals:
    void clicked();
    void mouseMoved(const QPoint &pos);
    void pictureChanged();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    QImage m_bitmap;
    QPointer<QMovie> m_movie;
    bool m_autoSize = false;
    bool m_pressed = false;
    int m_tag = 0;
};
