#pragma once

#include "programmes/GuideProgramme.h"

#include <QDialog>

class QLabel;

// A programme's details, from the grid: its title, its channel, its day and times, its category
// and its description. Escape or a click on its close button closes it.
class ProgrammeDetailsDialog : public QDialog {
    Q_OBJECT
public:
    explicit ProgrammeDetailsDialog(QWidget *parent = nullptr);

    void showProgramme(const QString &channel, const GuideProgramme &programme);

    QLabel *Title = nullptr;
    QLabel *Channel = nullptr;
    QLabel *When = nullptr;
    QLabel *Category = nullptr;
    QLabel *Description = nullptr;
};
