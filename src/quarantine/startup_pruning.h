#pragma once
// At start-up the proxy removes quarantine copies older than "QuarantineDays" days and says so
// in its log.

#include <ctime>
#include <functional>
#include <string>

using TLogLine = std::function<void(const std::string& line)>;

// Reads the settings, removes what has grown too old from `folder`, and logs one line per copy
// removed or that could not be removed.
void PruneQuarantineAtStart(const std::string& folder, std::time_t now, const TLogLine& log);
