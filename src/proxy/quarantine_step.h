#pragma once
// The delete action's copy of a mail before DELE goes upstream: nothing the guard deletes is
// lost unless the user turned the quarantine off. A mail whose copy cannot be written is not
// deleted; the mail program does not get it either.

#include <ctime>
#include <string>
#include <vector>

#include "quarantine/quarantine_settings.h"

class TFormVazireRevivo;
struct TNachricht;

enum class TCopyOutcome {
  coNotWanted,  // the quarantine is off: delete as without it
  coKept,       // the copy is on disk: DELE may go
  coFailed      // no copy: no DELE, and the mail is not served
};

struct TCopyBeforeDelete {
  TCopyOutcome Outcome = TCopyOutcome::coNotWanted;
  std::string FileName;  // of a kept copy
  std::string Path;
};

// Writes the entry's content (the mail as the server sent it, unstuffed: under the delete
// action nothing has rewritten it) with its blocked names to the quarantine folder. A kept
// copy is logged; a failed one is logged and reported on the results page with its reason.
TCopyBeforeDelete CopyBeforeDelete(TFormVazireRevivo& form, const TNachricht& entry,
                                   const std::vector<std::string>& blockedNames,
                                   const TQuarantineSettings& settings, std::time_t now);

// The server refused DELE and keeps the mail, which the mail program now gets: its copy goes.
void DropCopyOfUndeletedMail(TFormVazireRevivo& form, const TCopyBeforeDelete& copy);
