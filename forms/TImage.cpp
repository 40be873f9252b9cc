#include "forms/TImage.h"

#include <QMouseEvent>
#include <QMovie>
#include <QPixmap>

TImage::TImage(QWidget *parent) : QLabel(parent) {
    setScaledContents(false);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

void TImage::setBitmap(const QImage &bitmap) {
    m_movie = nullptr;
    m_bitmap = bitmap.convertToFormat(QImage::Format_RGB32);
    setPixmap(QPixmap::fromImage(m_bitmap));
    if (m_autoSize)
        resize(m_bitmap.size());
    emit pictureChanged();
}

void TImage::setAnimation(QMovie *movie) {
    m_bitmap = QImage();
    m_movie = movie;
    setMovie(movie);
    emit pictureChanged();
}

void TImage::clearPicture() {
    m_bitmap = QImage();
    m_movie = nullptr;
    clear();
    emit pictureChanged();
}

QImage &TImage::editableBitmap() {
    if (m_bitmap.isNull() && !m_movie) {
        m_bitmap = QImage(size(), QImage::Format_RGB32);
        m_bitmap.fill(Qt::white);
    }
    return m_bitmap;
}

void TImage::setAutoSize(bool on) {
    m_autoSize = on;
    if (on && !m_bitmap.isNull())
        resize(m_bitmap.size());
}

void TImage::mousePressEvent(QMouseEvent *event) {
    m_pressed = event->button() == Qt::LeftButton;
    QLabel::mousePressEvent(event);
}

void TImage::mouseReleaseEvent(QMouseEvent *event) {
    const bool click =
        m_pressed && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    m_pressed = false;
    QLabel::mouseReleaseEvent(event);
    if (click)
        emit clicked();
}

void TImage::mouseMoveEvent(QMouseEvent *event) {
    QLabel::mouseMoveEvent(event);
    emit mouseMoved(event->position().toPoint());
}
