#include "channels/GuideGrid.h"

#include <algorithm>

GuideGrid::GuideGrid(Clock clock) : m_clock(std::move(clock)) {
    m_viewStart = halfHourBefore(m_clock());
    m_focus = m_clock();
}

void GuideGrid::setRows(int count, ProgrammesOfRow programmesOf) {
    m_rowCount = std::max(0, count);
    m_programmesOf = std::move(programmesOf);
    m_row = std::clamp(m_row, 0, std::max(0, m_rowCount - 1));
    clampTopRow();
}

ChannelProgrammes GuideGrid::programmes(int row) const {
    if (row < 0 || row >= m_rowCount || !m_programmesOf)
        return {};
    return m_programmesOf(row);
}

void GuideGrid::setViewSize(QSize size) {
    m_viewSize = size;
    clampTopRow();
}

void GuideGrid::openAt(int row) {
    m_row = std::clamp(row, 0, std::max(0, m_rowCount - 1));
    m_focus = now();
    m_viewStart = halfHourBefore(m_focus);
    // The watched channel sits a little below the top, with the channels before it in sight.
    m_topRow = m_row - visibleRowCount() / 3;
    clampTopRow();
}

qint64 GuideGrid::halfHourBefore(qint64 time) {
    qint64 rest = time % kHalfHour;
    if (rest < 0)
        rest += kHalfHour;
    return time - rest;
}

int GuideGrid::indexAt(const ChannelProgrammes &programmes, qint64 time) const {
    if (programmes.isEmpty())
        return -1;
    const auto after = std::upper_bound(programmes.begin(), programmes.end(), time,
                                        [](qint64 t, const GuideProgramme &p) { return t < p.start; });
    if (after != programmes.begin() && std::prev(after)->stop > time)
        return int(std::prev(after) - programmes.begin());
    // In a gap, or past the last: the nearest one after, else the last.
    return after != programmes.end() ? int(after - programmes.begin()) : int(programmes.size()) - 1;
}

int GuideGrid::selectedIndex() const {
    return indexAt(programmes(m_row), m_focus);
}

GuideProgramme GuideGrid::selectedProgramme() const {
    const ChannelProgrammes list = programmes(m_row);
    const int index = indexAt(list, m_focus);
    return index < 0 ? GuideProgramme() : list[index];
}

bool GuideGrid::selectionIsOnNow() const {
    if (m_rowCount == 0)
        return false;
    const ChannelProgrammes list = programmes(m_row);
    if (list.isEmpty())
        return true;
    const int index = indexAt(list, m_focus);
    const qint64 t = now();
    return list[index].start <= t && t < list[index].stop;
}

void GuideGrid::moveProgramme(int delta) {
    const ChannelProgrammes list = programmes(m_row);
    if (list.isEmpty()) {
        m_focus += delta * kHalfHour;
    } else {
        const int index = std::clamp(indexAt(list, m_focus) + delta, 0, int(list.size()) - 1);
        const GuideProgramme &p = list[index];
        // A programme already in sight keeps the view where it is; one begun long before starts it.
        m_focus = (p.stop > m_viewStart && p.start < m_viewStart) ? m_viewStart : p.start;
    }
    follow();
}

void GuideGrid::moveRow(int delta) {
    m_row = std::clamp(m_row + delta, 0, std::max(0, m_rowCount - 1));
    follow();
}

void GuideGrid::movePage(int delta) {
    const int page = std::max(1, pageRowCount());
    m_row = std::clamp(m_row + delta * page, 0, std::max(0, m_rowCount - 1));
    m_topRow += delta * page;
    clampTopRow();
    follow();
}

void GuideGrid::backToNow() {
    m_focus = now();
    m_viewStart = halfHourBefore(m_focus);
    follow();
}

bool GuideGrid::selectAt(QPoint point) {
    const Hit hit = hitAt(point);
    if (hit.row < 0)
        return false;
    m_row = hit.row;
    if (hit.programme >= 0) {
        const GuideProgramme p = programmes(hit.row)[hit.programme];
        m_focus = std::max(p.start, m_viewStart);
    } else {
        m_focus = std::max(m_viewStart, m_viewStart + qint64(point.x() - kChannelWidth) * kSecondsPerPixel);
    }
    follow();
    return true;
}

void GuideGrid::scrollRows(int delta) {
    m_topRow += delta;
    clampTopRow();
}

void GuideGrid::scrollTime(qint64 seconds) {
    m_viewStart += seconds;
}

int GuideGrid::visibleRowCount() const {
    const int height = std::max(0, m_viewSize.height() - kAxisHeight);
    return (height + kRowHeight - 1) / kRowHeight;
}

int GuideGrid::pageRowCount() const {
    return std::max(1, (m_viewSize.height() - kAxisHeight) / kRowHeight);
}

qint64 GuideGrid::viewEnd() const {
    return m_viewStart + qint64(std::max(0, m_viewSize.width() - kChannelWidth)) * kSecondsPerPixel;
}

std::pair<int, int> GuideGrid::visibleProgrammes(const ChannelProgrammes &programmes) const {
    // The first whose end is after the view's start: ends are in order as starts are.
    const auto first = std::upper_bound(programmes.begin(), programmes.end(), m_viewStart,
                                        [](qint64 t, const GuideProgramme &p) { return t < p.stop; });
    const auto last = std::lower_bound(first, programmes.end(), viewEnd(),
                                       [](const GuideProgramme &p, qint64 t) { return p.start < t; });
    return {int(first - programmes.begin()), int(last - programmes.begin())};
}

QList<qint64> GuideGrid::halfHourMarks() const {
    QList<qint64> marks;
    for (qint64 t = halfHourBefore(m_viewStart); t < viewEnd(); t += kHalfHour)
        if (t >= m_viewStart)
            marks.append(t);
    return marks;
}

int GuideGrid::xOfTime(qint64 time) const {
    const qint64 x = kChannelWidth + (time - m_viewStart) / kSecondsPerPixel;
    // Far programmes land just outside the view rather than overflowing.
    return int(std::clamp<qint64>(x, kChannelWidth - 1, m_viewSize.width() + 1));
}

int GuideGrid::yOfRow(int row) const {
    return kAxisHeight + (row - m_topRow) * kRowHeight;
}

QRect GuideGrid::cellRect(int row, const GuideProgramme &programme) const {
    const int left = std::max(kChannelWidth, xOfTime(programme.start));
    const int right = xOfTime(programme.stop);
    return QRect(left, yOfRow(row), std::max(0, right - left), kRowHeight);
}

QRect GuideGrid::emptyRowRect(int row) const {
    return QRect(kChannelWidth, yOfRow(row), std::max(0, m_viewSize.width() - kChannelWidth), kRowHeight);
}

GuideGrid::Hit GuideGrid::hitAt(QPoint point) const {
    Hit hit;
    if (point.y() < kAxisHeight)
        return hit;
    const int row = m_topRow + (point.y() - kAxisHeight) / kRowHeight;
    if (row < 0 || row >= m_rowCount)
        return hit;
    hit.row = row;
    if (point.x() < kChannelWidth)
        return hit;
    const qint64 time = m_viewStart + qint64(point.x() - kChannelWidth) * kSecondsPerPixel;
    const ChannelProgrammes list = programmes(row);
    const int index = indexAt(list, time);
    if (index >= 0 && list[index].start <= time && time < list[index].stop)
        hit.programme = index;
    return hit;
}

void GuideGrid::follow() {
    if (m_row < m_topRow)
        m_topRow = m_row;
    else if (m_row >= m_topRow + pageRowCount())
        m_topRow = m_row - pageRowCount() + 1;
    clampTopRow();
    const ChannelProgrammes list = programmes(m_row);
    const int index = indexAt(list, m_focus);
    // What must show: the start of the programme selected, or the focus inside it.
    const qint64 shown =
        index < 0 ? m_focus : std::max(list[index].start, std::min(m_focus, list[index].stop - 1));
    if (shown < m_viewStart)
        m_viewStart = halfHourBefore(shown);
    else if (shown >= viewEnd() - kHalfHour)
        m_viewStart = std::max(m_viewStart, halfHourBefore(shown) - kHalfHour);
}

void GuideGrid::clampTopRow() {
    const int maxTop = std::max(0, m_rowCount - pageRowCount());
    m_topRow = std::clamp(m_topRow, 0, maxTop);
}
