#include "player/PlayTarget.h"

PlayTarget PlayTarget::read(const QString &address, const QStringList &options, bool afterStop) {
    if (address.trimmed().isEmpty())
        throw PlayerOptionError(QStringLiteral("Adresse du flux vide"));
    PlayTarget target{address, PlayerOptions::parse(options)};
    if (target.options.sout)
        target.origin = TuneOrigin::Recording;
    else if (afterStop)
        target.origin = TuneOrigin::Row;
    return target;
}
