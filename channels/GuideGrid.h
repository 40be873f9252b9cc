#pragma once

#include "programmes/GuideProgramme.h"

#include <QPoint>
#include <QRect>
#include <QSize>

#include <functional>

// The programme grid without its window: one row per channel, time running left to right, the
// programme selected and the part of the grid in view. The window paints what this says is in view
// and hands it the keys and the pointer; a test drives it with a fixed clock.
//
// The selection is a row and a moment (the focus): the programme selected is the one of the row
// that covers the focus, so moving up and down keeps roughly the same time of day.
class GuideGrid {
public:
    using Clock = std::function<qint64()>;
    using ProgrammesOfRow = std::function<ChannelProgrammes(int row)>;

    static constexpr int kAxisHeight = 28;
    static constexpr int kChannelWidth = 180;
    static constexpr int kRowHeight = 44;
    // Half an hour is 120 pixels: a 20-minute programme still has room for a word or two.
    static constexpr int kSecondsPerPixel = 15;
    static constexpr qint64 kHalfHour = 1800;

    // What is under a point of the view: a row (-1: none, the axis or below the last row) and the
    // index of its programme there (-1: none).
    struct Hit {
        int row = -1;
        int programme = -1;
    };

    // clock gives the time now, in seconds since the epoch.
    explicit GuideGrid(Clock clock);

    // The channels shown: count rows, each row's programmes in order of start read when needed.
    void setRows(int count, ProgrammesOfRow programmesOf);
    int rowCount() const { return m_rowCount; }
    ChannelProgrammes programmes(int row) const;

    // The size of the whole view in pixels, axis and channel column included.
    void setViewSize(QSize size);
    QSize viewSize() const { return m_viewSize; }

    // Shows row (none: the first) at the time now, its programme on now selected.
    void openAt(int row);

    // The selection.
    int selectedRow() const { return m_row; }
    // The index of the selected programme in its row; -1 when the row has none.
    int selectedIndex() const;
    // The selected programme; a default one when the row has none.
    GuideProgramme selectedProgramme() const;
    // True when the selection is on the time now: its programme is on, or its row has none.
    bool selectionIsOnNow() const;

    // The keys: Left/Right a programme, Up/Down a row, Page Up/Down a screen of rows, Home now.
    void moveProgramme(int delta);
    void moveRow(int delta);
    void movePage(int delta);
    void backToNow();
    // A click: the programme (or the row without any) under the point, if any.
    bool selectAt(QPoint point);
    // The wheel: the view moves, the selection stays.
    void scrollRows(int delta);
    void scrollTime(qint64 seconds);

    // The view.
    int topRow() const { return m_topRow; }
    // Rows that fit whole or in part below the axis.
    int visibleRowCount() const;
    // Rows that fit whole: what a page moves.
    int pageRowCount() const;
    qint64 viewStart() const { return m_viewStart; }
    qint64 viewEnd() const;
    // The programmes of row that show in view, as indices [first, last).
    std::pair<int, int> visibleProgrammes(const ChannelProgrammes &programmes) const;
    // The half-hour marks in view.
    QList<qint64> halfHourMarks() const;
    qint64 now() const { return m_clock(); }

    // Where things are drawn.
    int xOfTime(qint64 time) const;
    int yOfRow(int row) const;
    // A programme's cell, cut to the programme area (right of the channel column).
    QRect cellRect(int row, const GuideProgramme &programme) const;
    // A row's cell when it has no programme: the whole programme area.
    QRect emptyRowRect(int row) const;
    Hit hitAt(QPoint point) const;

    static qint64 halfHourBefore(qint64 time);

private:
    // Moves the view so that the selection shows.
    void follow();
    void clampTopRow();
    int indexAt(const ChannelProgrammes &programmes, qint64 time) const;

    Clock m_clock;
    ProgrammesOfRow m_programmesOf;
    int m_rowCount = 0;
    QSize m_viewSize{800, 500};
    int m_topRow = 0;
    qint64 m_viewStart = 0;
    int m_row = 0;
    qint64 m_focus = 0;
};
