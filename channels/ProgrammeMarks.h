#pragma once

#include "programmes/GuideProgramme.h"

#include <QObject>

// The programmes marked for recording, as the grid and the banner show them and as R sets them:
// a programme is known by its channel's row in the lineup and its start.
class ProgrammeMarks : public QObject {
    Q_OBJECT
public:
    enum class Mark {
        None,
        Planned,   // set; its recording has not begun
        Recording, // its recording runs now
        Failed,    // its recording could not be made (or broke)
    };

    using QObject::QObject;

    virtual Mark mark(int row, const GuideProgramme &programme) const = 0;
    // Marks the programme, or unmarks it (a recording under way ends).
    virtual void toggle(int row, const GuideProgramme &programme) = 0;

signals:
    void changed();
};
