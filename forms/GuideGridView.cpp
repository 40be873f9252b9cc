#include "forms/GuideGridView.h"

#include "channels/ChannelLineup.h"
#include "channels/ProgrammeTimes.h"
#include "forms/WindowFont.h"

#include <QKeyEvent>
#include <QPainter>
#include <QWheelEvent>

namespace {

const QColor kBackground(0x10, 0x16, 0x1e);
const QColor kAxis(0x08, 0x0c, 0x12);
const QColor kChannelColumn(0x18, 0x22, 0x2e);
const QColor kCell(0x22, 0x30, 0x42);
const QColor kCellOnNow(0x2c, 0x42, 0x5c);
const QColor kSelected(0x2f, 0x6f, 0xc0);
const QColor kLines(0x0a, 0x0f, 0x15);
const QColor kText(0xf0, 0xf0, 0xf0);
const QColor kDimText(0xa8, 0xb4, 0xc4);
const QColor kNowLine(0xff, 0xc8, 0x30);
const QColor kRecordRed(0xe0, 0x20, 0x20);
constexpr int kPadding = 6;
constexpr int kRowsPerNotch = 3;

} // namespace

GuideGridView::GuideGridView(const ChannelLineup &lineup, GuideGrid::Clock clock, QWidget *parent)
    : QWidget(parent), m_lineup(lineup), m_grid(std::move(clock)) {
    setObjectName(QStringLiteral("GuideGridView"));
    setFocusPolicy(Qt::StrongFocus);
    // Every pixel is painted each time: nothing behind needs erasing first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFont(windowFont(13));
    m_boldFont = font();
    m_boldFont.setBold(true);
    m_smallFont = windowFont(11);
}

void GuideGridView::setMarks(ProgrammeMarks *marks) {
    if (m_marks)
        disconnect(m_marks, nullptr, this, nullptr);
    m_marks = marks;
    if (marks)
        connect(marks, &ProgrammeMarks::changed, this, qOverload<>(&QWidget::update));
    update();
}

void GuideGridView::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.fillRect(rect(), kBackground);
    const int last = std::min(m_grid.rowCount(), m_grid.topRow() + m_grid.visibleRowCount());
    for (int row = m_grid.topRow(); row < last; ++row)
        paintRow(painter, row);
    const qint64 now = m_grid.now();
    if (now >= m_grid.viewStart() && now < m_grid.viewEnd()) {
        const int x = m_grid.xOfTime(now);
        painter.fillRect(QRect(x - 1, GuideGrid::kAxisHeight - 6, 2, height()), kNowLine);
    }
    paintAxis(painter);
    emit painted();
}

void GuideGridView::paintAxis(QPainter &painter) const {
    const int axis = GuideGrid::kAxisHeight;
    painter.fillRect(QRect(0, 0, width(), axis), kAxis);
    painter.setFont(m_boldFont);
    painter.setPen(kText);
    // The day of the view's left edge, above the channels.
    const GuideProgramme day{m_grid.viewStart(), m_grid.viewStart(), {}, {}, {}};
    painter.drawText(QRect(kPadding, 0, GuideGrid::kChannelWidth - kPadding, axis),
                     Qt::AlignVCenter | Qt::AlignLeft, ProgrammeTimes::dayAndTimes(day).section(u',', 0, 0));
    painter.setFont(font());
    for (const qint64 mark : m_grid.halfHourMarks()) {
        const int x = m_grid.xOfTime(mark);
        painter.fillRect(QRect(x, axis - 8, 1, 8), kDimText);
        painter.drawText(QRect(x + 4, 0, 80, axis - 2), Qt::AlignVCenter | Qt::AlignLeft,
                         ProgrammeTimes::timeOfDay(mark));
    }
}

void GuideGridView::paintRow(QPainter &painter, int row) const {
    const int y = m_grid.yOfRow(row);
    const ChannelTitle title = m_lineup.title(row);
    const QRect channel(0, y, GuideGrid::kChannelWidth, GuideGrid::kRowHeight);
    painter.fillRect(channel, kChannelColumn);
    painter.setPen(kText);
    painter.setFont(m_boldFont);
    painter.drawText(channel.adjusted(kPadding, 0, -kPadding, 0), Qt::AlignVCenter | Qt::AlignLeft,
                     title.number.trimmed());
    const int numberWidth = 44;
    painter.setFont(font());
    painter.drawText(channel.adjusted(kPadding + numberWidth, 0, -kPadding, 0),
                     Qt::AlignVCenter | Qt::AlignLeft, title.name);
    painter.fillRect(QRect(0, y + GuideGrid::kRowHeight - 1, width(), 1), kLines);

    const ChannelProgrammes programmes = m_grid.programmes(row);
    const bool rowSelected = row == m_grid.selectedRow();
    if (programmes.isEmpty()) {
        const QRect cell = m_grid.emptyRowRect(row);
        paintCell(painter, cell, GuideProgramme{0, 0, QStringLiteral("Pas d'information"), {}, {}},
                  rowSelected, -1);
        return;
    }
    const auto [first, last] = m_grid.visibleProgrammes(programmes);
    const int selected = rowSelected ? m_grid.selectedIndex() : -1;
    for (int i = first; i < last; ++i)
        paintCell(painter, m_grid.cellRect(row, programmes[i]), programmes[i], i == selected, row);
}

void GuideGridView::paintCell(QPainter &painter, const QRect &cell, const GuideProgramme &programme,
                              bool selected, int row) const {
    const qint64 now = m_grid.now();
    const bool onNow = programme.start <= now && now < programme.stop;
    const QRect box = cell.adjusted(1, 1, -1, -2);
    painter.fillRect(box, selected ? kSelected : (onNow ? kCellOnNow : kCell));
    if (box.width() < 2 * kPadding)
        return;
    const QRect text = box.adjusted(kPadding, 3, -kPadding, -3);
    painter.setPen(kText);
    painter.setFont(m_boldFont);
    painter.drawText(text, Qt::AlignTop | Qt::AlignLeft | Qt::TextSingleLine, programme.title);
    if (row < 0)
        return;
    painter.setPen(selected ? kText : kDimText);
    painter.setFont(m_smallFont);
    painter.drawText(text, Qt::AlignBottom | Qt::AlignLeft | Qt::TextSingleLine,
                     ProgrammeTimes::timeOfDay(programme.start) + QStringLiteral(" – ") +
                         ProgrammeTimes::timeOfDay(programme.stop));
    if (m_marks)
        paintMark(painter, box, m_marks->mark(row, programme));
}

void GuideGridView::paintMark(QPainter &painter, const QRect &cell, ProgrammeMarks::Mark mark) {
    if (mark == ProgrammeMarks::Mark::None)
        return;
    constexpr int kSize = 10;
    const QRect place(cell.right() - kSize - 4, cell.bottom() - kSize - 4, kSize, kSize);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    if (mark == ProgrammeMarks::Mark::Failed) {
        // A cross: it could not be recorded.
        painter.setPen(QPen(kRecordRed, 2.5));
        painter.drawLine(place.topLeft(), place.bottomRight());
        painter.drawLine(place.topRight(), place.bottomLeft());
    } else {
        painter.setPen(mark == ProgrammeMarks::Mark::Recording ? QPen(Qt::white, 1.5) : Qt::NoPen);
        painter.setBrush(kRecordRed);
        painter.drawEllipse(place);
    }
    painter.restore();
}

void GuideGridView::resizeEvent(QResizeEvent *) {
    m_grid.setViewSize(size());
}

void GuideGridView::keyPressEvent(QKeyEvent *event) {
    switch (event->key()) {
    case Qt::Key_Left:
        m_grid.moveProgramme(-1);
        break;
    case Qt::Key_Right:
        m_grid.moveProgramme(1);
        break;
    case Qt::Key_Up:
        m_grid.moveRow(-1);
        break;
    case Qt::Key_Down:
        m_grid.moveRow(1);
        break;
    case Qt::Key_PageUp:
        m_grid.movePage(-1);
        break;
    case Qt::Key_PageDown:
        m_grid.movePage(1);
        break;
    case Qt::Key_Home:
        m_grid.backToNow();
        break;
    default:
        event->ignore();
        return;
    }
    update();
}

void GuideGridView::mousePressEvent(QMouseEvent *event) {
    if (event->button() == Qt::LeftButton && m_grid.selectAt(event->position().toPoint()))
        update();
}

void GuideGridView::mouseDoubleClickEvent(QMouseEvent *event) {
    if (event->button() != Qt::LeftButton || !m_grid.selectAt(event->position().toPoint()))
        return;
    update();
    emit detailsRequested();
}

void GuideGridView::wheelEvent(QWheelEvent *event) {
    m_wheelAngle += event->angleDelta();
    // Shift turns the wheel into a scroll through time, as a tilt of the wheel does.
    const bool throughTime = event->modifiers() & Qt::ShiftModifier;
    const int rows = m_wheelAngle.y() / 120;
    const int halfHours = m_wheelAngle.x() / 120;
    m_wheelAngle -= QPoint(halfHours * 120, rows * 120);
    if (throughTime)
        m_grid.scrollTime(-qint64(rows) * GuideGrid::kHalfHour);
    else
        m_grid.scrollRows(-rows * kRowsPerNotch);
    m_grid.scrollTime(-qint64(halfHours) * GuideGrid::kHalfHour);
    if (rows != 0 || halfHours != 0)
        update();
}
