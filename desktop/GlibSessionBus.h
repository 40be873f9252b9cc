#pragma once

// GLib's shared connection to the session bus, which parts of GStreamer and GIO open in this
// process, ends the process (it raises SIGTERM) when the bus goes away; the program goes on without
// the bus instead. Asks for that connection without waiting: the answer comes through GLib's main
// context, which Qt's event loop runs.
void keepGlibFromEndingWithSessionBus();
