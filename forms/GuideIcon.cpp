#include "forms/GuideIcon.h"

#include <QPainter>
#include <QPixmap>

QIcon guideWindowIcon() {
    QPixmap pixmap(48, 48);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);

    // The page of listings, slightly behind and to the right of the screen.
    painter.setPen(QPen(QColor(90, 90, 90), 1));
    painter.setBrush(Qt::white);
    painter.drawRect(QRectF(20.5, 4.5, 24, 34));
    painter.setPen(QPen(QColor(0, 70, 160), 2));
    for (int y = 11; y <= 33; y += 5)
        painter.drawLine(QPointF(24, y), QPointF(41, y));

    // The television: a dark cabinet with a blue screen and a stand.
    painter.setPen(QPen(QColor(30, 30, 30), 1));
    painter.setBrush(QColor(60, 60, 60));
    painter.drawRoundedRect(QRectF(3.5, 16.5, 30, 23), 3, 3);
    painter.setBrush(QColor(40, 120, 220));
    painter.drawRect(QRectF(6.5, 19.5, 24, 17));
    painter.setBrush(QColor(60, 60, 60));
    painter.drawRect(QRectF(13.5, 40.5, 10, 3));
    painter.drawRect(QRectF(8.5, 43.5, 20, 2));
    painter.end();
    return QIcon(pixmap);
}
