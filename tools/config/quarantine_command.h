#pragma once
// "brindlecap-config quarantine ...": the copies the proxy kept of the mails its delete action
// removed, listed, written out for a mail program, or removed.

#include <iosfwd>
#include <stdexcept>
#include <string>
#include <vector>

#include "quarantine/quarantine_store.h"

// A quarantine command line that does not fit.
class EQuarantineUsage : public std::invalid_argument {
 public:
  using std::invalid_argument::invalid_argument;
};

// args[0] is "quarantine"; then list | export N FILE | remove N, N being a number from the list
// or a copy's file name. FILE "-" is standard output. Returns 0; throws EQuarantineUsage or
// EQuarantineError.
int RunQuarantineCommand(const std::vector<std::string>& args, const std::string& folder,
                         std::ostream& out);

// The list as the command prints it.
std::string DescribeQuarantine(const TQuarantine& quarantine);

// A copy's moment in local time, "2026-12-09 17:15:30".
std::string LocalMoment(std::time_t moment);
// A header text made safe for a terminal: control characters become "?".
std::string PrintableValue(const std::string& value);
// The blocked names joined by ", ", or a note when the copy's description is missing.
std::string BlockedNames(const TQuarantineCopy& copy);
