#include "desktop/MprisRootAdaptor.h"

MprisRootAdaptor::MprisRootAdaptor(QObject *service, const QString &desktopEntry)
    : QDBusAbstractAdaptor(service), m_desktopEntry(desktopEntry) {}
