#include "forms/GuideGridWindow.h"

#include "channels/ChannelLineup.h"
#include "channels/ProgrammeMarks.h"
#include "forms/GuideGridView.h"
#include "forms/ProgrammeDetailsDialog.h"
#include "forms/Unit2.h"
#include "forms/WindowFont.h"

#include <QDateTime>
#include <QKeyEvent>
#include <QScreen>
#include <QVBoxLayout>
#include <QWindow>

namespace {

qint64 systemNow() {
    return QDateTime::currentSecsSinceEpoch();
}

} // namespace

GuideGridWindow::GuideGridWindow(const ChannelLineup &lineup, QWidget *parent, GuideGrid::Clock clock)
    : QWidget(parent, Qt::Window), m_lineup(lineup),
      m_view(new GuideGridView(lineup, clock ? std::move(clock) : GuideGrid::Clock(systemNow), this)),
      m_details(new ProgrammeDetailsDialog(this)) {
    setObjectName(QStringLiteral("GuideDesProgrammes"));
    setWindowTitle(QStringLiteral("Guide des programmes"));
    setFont(windowFont());
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);
    resize(980, 600);
    connect(m_view, &GuideGridView::detailsRequested, this, &GuideGridWindow::showDetails);
    connect(&m_lineup, &ChannelLineup::programmesChanged, m_view, qOverload<>(&QWidget::update));
    m_minute.setInterval(30000);
    connect(&m_minute, &QTimer::timeout, m_view, qOverload<>(&QWidget::update));
}

void GuideGridWindow::setListWindow(TForm2 *list) {
    m_list = list;
}

void GuideGridWindow::setMarks(ProgrammeMarks *marks) {
    m_marks = marks;
    m_view->setMarks(marks);
}

void GuideGridWindow::openAbove(QWidget *owner) {
    GuideGrid &grid = m_view->grid();
    grid.setRows(m_lineup.count(), [this](int row) { return m_lineup.programmes(row); });
    grid.setViewSize(m_view->size());
    grid.openAt(m_lineup.current());
    if (!windowHandle())
        create();
    QWindow *above = owner ? owner->windowHandle() : nullptr;
    if (windowHandle()->transientParent() != above) {
        // The window system reads whom a window belongs to when it is mapped.
        hide();
        windowHandle()->setTransientParent(above);
    }
    if (!isVisible() && owner && owner->screen()) {
        const QRect area = owner->screen()->availableGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
    m_minute.start();
    show();
    raise();
    activateWindow();
    m_view->setFocus();
    m_view->update();
}

void GuideGridWindow::keyPressEvent(QKeyEvent *event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        watchSelected();
        return;
    case Qt::Key_R:
        if (!event->isAutoRepeat())
            toggleMark();
        return;
    case Qt::Key_I:
        showDetails();
        return;
    case Qt::Key_Escape:
        m_minute.stop();
        close();
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

void GuideGridWindow::watchSelected() {
    const GuideGrid &grid = m_view->grid();
    if (!m_list || !grid.selectionIsOnNow())
        return;
    m_list->chooseRow(grid.selectedRow());
}

void GuideGridWindow::toggleMark() {
    const GuideGrid &grid = m_view->grid();
    if (!m_marks || grid.selectedIndex() < 0)
        return;
    m_marks->toggle(grid.selectedRow(), grid.selectedProgramme());
}

void GuideGridWindow::showDetails() {
    const GuideGrid &grid = m_view->grid();
    if (grid.selectedIndex() < 0)
        return;
    m_details->showProgramme(m_lineup.rowText(grid.selectedRow()), grid.selectedProgramme());
}
