#pragma once

#include "settopbox/BoxServer.h"

#include <string>

namespace halcyon::settopbox {

enum class CommandResult { Done, Refused, Quit, Empty };

// Carries out one line of the box's standard input on the server.
CommandResult runBoxCommand(BoxServer &server, const std::string &line);

bool parseTransports(const std::string &text, Transports *transports);

} // namespace halcyon::settopbox
