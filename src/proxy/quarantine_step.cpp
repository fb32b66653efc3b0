#include "proxy/quarantine_step.h"

#include "app/text_table.h"
#include "inspection/message_store.h"
#include "proxy/download_state.h"
#include "proxy/main_form.h"
#include "quarantine/data_folder.h"
#include "quarantine/quarantine_store.h"

TCopyBeforeDelete CopyBeforeDelete(TFormVazireRevivo& form, const TNachricht& entry,
                                   const std::vector<std::string>& blockedNames,
                                   const TQuarantineSettings& settings, std::time_t now) {
  TCopyBeforeDelete copy;
  if (!settings.Enabled) return copy;
  TCopyRecord record;
  record.Mailbox = form.UpstreamHost + "/" + form.UpstreamUser;
  record.From = entry.FromHeader;
  record.To = entry.ToHeader;
  record.Subject = entry.SubjectHeader;
  record.Blocked = blockedNames;
  const TQuarantine quarantine(QuarantineFolder());
  try {
    copy.FileName = quarantine.Keep(entry.Content.DataString(), record, now);
    copy.Path = quarantine.Folder() + "/" + copy.FileName;
    copy.Outcome = TCopyOutcome::coKept;
    form.Memo_LOG->Lines().Add("Quarantine copy written: " + copy.Path);
  } catch (const EQuarantineError& e) {
    copy.Outcome = TCopyOutcome::coFailed;
    form.Memo_LOG->Lines().Add(
        std::string("Quarantine copy not written, mail left on the server: ") + e.what());
    std::vector<std::string> lines = {GetTextById(370),
                                      GetTextById(371),
                                      GetTextById(372) + " " + e.what(),
                                      GetTextById(373) + " " + entry.FromHeader,
                                      GetTextById(374) + " " + entry.SubjectHeader,
                                      GetTextById(375)};
    lines.insert(lines.end(), entry.Attachments.begin(), entry.Attachments.end());
    form.AddResultLines(lines);
  }
  return copy;
}

void DropCopyOfUndeletedMail(TFormVazireRevivo& form, const TCopyBeforeDelete& copy) {
  if (copy.Outcome != TCopyOutcome::coKept) return;
  const TQuarantine quarantine(QuarantineFolder());
  try {
    quarantine.Remove(quarantine.Find(copy.FileName));
    form.Memo_LOG->Lines().Add("Quarantine copy removed, the server keeps the mail: " + copy.Path);
  } catch (const EQuarantineError& e) {
    form.Memo_LOG->Lines().Add(std::string("Quarantine copy could not be removed: ") + e.what());
  }
}
