#pragma once

#include "channels/GuideGrid.h"
#include "channels/ProgrammeMarks.h"

#include <QPointer>
#include <QWidget>

class ChannelLineup;

// The grid itself: the time axis, the channels down the left and their programmes, painted from
// the model, only what is in view. Takes the moving keys, the wheel and clicks; the keys that act
// on a programme (Enter, R, I, Escape) go on to the window.
class GuideGridView : public QWidget {
    Q_OBJECT
public:
    GuideGridView(const ChannelLineup &lineup, GuideGrid::Clock clock, QWidget *parent = nullptr);

    GuideGrid &grid() { return m_grid; }
    // Marked programmes carry a mark in their cell; none: no marks.
    void setMarks(ProgrammeMarks *marks);

signals:
    // A double-click on a programme.
    void detailsRequested();
    // A picture of the grid has been painted.
    void painted();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;

private:
    void paintAxis(QPainter &painter) const;
    void paintRow(QPainter &painter, int row) const;
    void paintCell(QPainter &painter, const QRect &cell, const GuideProgramme &programme, bool selected,
                   int row) const;
    static void paintMark(QPainter &painter, const QRect &cell, ProgrammeMarks::Mark mark);

    const ChannelLineup &m_lineup;
    GuideGrid m_grid;
    QPointer<ProgrammeMarks> m_marks;
    QFont m_boldFont;
    QFont m_smallFont;
    // Wheel turns finer than a notch add up to one.
    QPoint m_wheelAngle;
};
