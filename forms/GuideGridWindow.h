#pragma once

#include "channels/GuideGrid.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>

class ChannelLineup;
class GuideGridView;
class ProgrammeDetailsDialog;
class ProgrammeMarks;
class TForm2;

// The window "Guide des programmes": the grid of every channel's programmes. Enter on a programme
// on now watches its channel as a click on its row of the list does; R marks it for recording or
// unmarks it (when there are marks); I or a double-click shows its details; Escape closes it.
class GuideGridWindow : public QWidget {
    Q_OBJECT
public:
    // clock gives the time now in seconds since the epoch (none: the system's).
    GuideGridWindow(const ChannelLineup &lineup, QWidget *parent = nullptr, GuideGrid::Clock clock = {});

    // The list whose rows Enter chooses.
    void setListWindow(TForm2 *list);
    // What R toggles and the cells show; none: R does nothing.
    void setMarks(ProgrammeMarks *marks);

    // Opens on the channel watched at the time now, above owner (the window or the full screen the
    // picture is in), and takes the keyboard.
    void openAbove(QWidget *owner);

    GuideGridView *view() const { return m_view; }
    ProgrammeDetailsDialog *details() const { return m_details; }

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void watchSelected();
    void toggleMark();
    void showDetails();

    const ChannelLineup &m_lineup;
    GuideGridView *m_view;
    ProgrammeDetailsDialog *m_details;
    QPointer<TForm2> m_list;
    QPointer<ProgrammeMarks> m_marks;
    // The line at now moves on while the grid is open.
    QTimer m_minute;
};
