#pragma once
// What the log says, after "***Error in Server!", when the service could not listen: without
// it a user who started the program from a menu sees only that something failed.

#include <string>

// One line: the port, the system's reason, and how to choose another port. `errorNumber` is
// the socket layer's number of the failure (0 when unknown). When the port came from
// BRINDLECAP_LISTEN_PORT, a setting would not count, so the line names the variable instead.
std::string ListenFailureLine(const std::string& port, int errorNumber, bool portFromEnvironment);
