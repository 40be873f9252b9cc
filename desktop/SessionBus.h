#pragma once

// Whether the desktop runs a session bus for this program: its address is in the environment, or
// its socket is where the user's session keeps it. Without either, asking for the bus would start
// one of its own for the display, which would outlive the program.
bool sessionBusExpected();
