// GIO's headers first: Qt's keyword macros clash with their names.
#include <gio/gio.h>

#include "desktop/GlibSessionBus.h"

namespace {

void connected(GObject *, GAsyncResult *result, gpointer) {
    // The reference is kept for the program's life: GLib hands every later asker the same
    // connection for as long as it is open.
    if (GDBusConnection *bus = g_bus_get_finish(result, nullptr))
        g_dbus_connection_set_exit_on_close(bus, FALSE);
}

} // namespace

void keepGlibFromEndingWithSessionBus() {
    g_bus_get(G_BUS_TYPE_SESSION, nullptr, connected, nullptr);
}
