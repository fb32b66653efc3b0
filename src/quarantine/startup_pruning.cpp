#include "quarantine/startup_pruning.h"

#include "quarantine/quarantine_settings.h"
#include "quarantine/quarantine_store.h"

void PruneQuarantineAtStart(const std::string& folder, std::time_t now, const TLogLine& log) {
  const TQuarantineSettings settings = ReadQuarantineSettings();
  if (!settings.Problem.empty()) log("Quarantine settings: " + settings.Problem);
  // Copies are removed by age even while new ones are not made: they were kept for that long.
  const TPruneResult pruned = TQuarantine(folder).RemoveOlderThan(settings.Days, now);
  for (const std::string& name : pruned.Removed) {
    log("Quarantine copy removed (older than " + std::to_string(settings.Days) +
        " days): " + folder + "/" + name);
  }
  for (const std::string& error : pruned.Errors) {
    log("Quarantine copy could not be removed: " + error);
  }
}
