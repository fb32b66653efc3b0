// The attachment policy applied to every stored mail, and the report mail it may prepare.

#include <ctime>
#include <optional>

#include "app/text_table.h"
#include "app/user_folders.h"
#include "inspection/block_settings.h"
#include "inspection/file_extension.h"
#include "inspection/mail_attachments.h"
#include "inspection/mail_files.h"
#include "inspection/message_store.h"
#include "inspection/strict_names.h"
#include "pop3/sync_pop3_client.h"
#include "proxy/block_settings_reading.h"
#include "proxy/download_state.h"
#include "proxy/quarantine_step.h"

namespace {

const char kWorkFileName[] = "dummy.dummy";

// The names the policy judges: those the download found (or, after a rewrite, those the same
// rule finds now), or in strict mode every name a mail program may take, decoded, at any depth.
std::vector<TStrictName> NamesToJudge(const TNachricht& entry, bool strict, bool afresh) {
  if (strict) return StrictAttachmentNames(entry.Content.DataString());
  std::vector<TStrictName> names;
  for (const auto& name :
       afresh ? AttachmentNamesOf(entry.Content.DataString()) : entry.Attachments) {
    names.push_back({name, std::string(), false});
  }
  return names;
}

}  // namespace

void TFormVazireRevivo::CheckAttachments() {
  if (MessageStore.empty()) return;
  auto log = [this](const std::string& line) { Memo_LOG->Lines().Add(line); };
  log("Checking now if blocking of mails necessary.");
  const TBlockPolicy policy = ReadBlockPolicy();
  // Read once per run, like the policy, and only where a mail may be deleted.
  TQuarantineSettings quarantine;
  quarantine.Enabled = false;
  if (policy.Action == baDelete) {
    quarantine = ReadQuarantineSettings();
    if (!quarantine.Problem.empty()) log("Quarantine settings: " + quarantine.Problem);
  }
  const TNameTest blocked = [&policy](const std::string& name) {
    return IsBlockedAttachment(name, policy.BlockedExtensions);
  };

  const auto& state = DownloadState(*this);
  std::size_t i = 0;
  // A mail program that has gone needs no more checking (and no more deleting), nor does a
  // check the user has cancelled.
  while (i < MessageStore.size() && !state.ClearRequested && !AbortRequested) {
    bool deleted = false;
    bool rewritten = false;
    bool removed = false;
    bool renamed = false;
    std::string from, subject, to;
    const std::vector<TStrictName> found = NamesToJudge(MessageStore[i], policy.StrictNames, false);
    for (std::size_t j = 0; j < found.size() && !deleted; ++j) {
      TNachricht& entry = MessageStore[i];
      const std::string& name = found[j].Name;
      if (!StrictNameBlocked(found[j], blocked)) continue;
      log("Blocking Attachment: " + name);
      if (policy.StrictNames) log("Found in: " + found[j].Where);
      from = entry.FromHeader;
      subject = entry.SubjectHeader;
      to = entry.ToHeader;
      if (policy.Action == baRename) {
        log("RENAMING Attachment: " + name);
        renamed = true;
        // Strict mode rewrites every blocked name of the mail at once, after this loop.
        if (policy.StrictNames) continue;
        std::string error;
        int lines = 0;
        if (!RenameAttachment(entry, name, WorkFile(kWorkFileName), error, &lines)) {
          log("Renaming failed, mail left as it was: " + error);
        } else if (lines > 0) {
          rewritten = true;
        }
      } else if (policy.Action == baDelete) {
        log("DELETING Mail - Reason: Attachment :" + name);
        deleted = true;
        std::vector<std::string> blockedNames;
        for (const auto& each : found) {
          if (StrictNameBlocked(each, blocked)) blockedNames.push_back(each.Name);
        }
        // Nothing is deleted that is not safely copied first; a mail that could not be copied
        // stays on the server and is not served either.
        const TCopyBeforeDelete copy =
            CopyBeforeDelete(*this, entry, blockedNames, quarantine, std::time(nullptr));
        if (copy.Outcome == TCopyOutcome::coFailed) {
          RemoveMessage(MessageStore, static_cast<int>(i));
          removed = true;
          continue;
        }
        Pop3Cli1->SetMsgNum(entry.Number);
        // A Cancel leaves "-ERR Canceled by User" here: the mail is not deleted.
        AskServer(&TCustomPop3Cli::Dele);
        const std::string position = std::to_string(i + 1);
        if (!LastReply.empty() && LastReply[0] == '+') {
          // RSET would undo it on the server: it is sent again then.
          SessionPolicyDeletions.push_back(entry.Number);
          log("Mail " + position + " blocked.");
          std::vector<std::string> lines = {
              GetTextById(300), GetTextById(301), GetTextById(302) + " " + entry.FromHeader,
              GetTextById(303) + " " + entry.SubjectHeader, GetTextById(304)};
          lines.insert(lines.end(), entry.Attachments.begin(), entry.Attachments.end());
          if (copy.Outcome == TCopyOutcome::coKept)
            lines.push_back(GetTextById(305) + " " + copy.FileName);
          AddResultLines(lines);
          RemoveMessage(MessageStore, static_cast<int>(i));
          removed = true;
        } else if (!LastReply.empty() && LastReply[0] == '-') {
          log("ERROR DURING blocking of Mail " + position + "!!!");
          std::vector<std::string> lines = {GetTextById(310),
                                            GetTextById(311),
                                            GetTextById(312) + " " + Pop3Cli1->LastResponse(),
                                            GetTextById(313) + " " + entry.FromHeader,
                                            GetTextById(314) + " " + entry.SubjectHeader,
                                            GetTextById(315)};
          lines.insert(lines.end(), entry.Attachments.begin(), entry.Attachments.end());
          AddResultLines(lines);
          DropCopyOfUndeletedMail(*this, copy);
        }
      }
    }
    if (renamed && policy.StrictNames) {
      std::string error;
      int lines = 0;
      if (!RenameStrictAttachments(MessageStore[i], blocked, WorkFile(kWorkFileName), error,
                                   &lines)) {
        log("Renaming failed, mail left as it was: " + error);
      } else if (lines > 0) {
        rewritten = true;
      }
    }
    // The report setting is read for every mail examined, deleted or not.
    const bool reportWanted = ReportMailWanted();
    if (deleted && reportWanted) SendReport(from, subject, to);
    // A renamed mail is served only when the rule finds no blocked name in it any more.
    if (renamed && !WithholdUnrenamed(i, policy)) {
      removed = true;
      rewritten = false;
    }
    if (rewritten) {
      std::string error;
      if (!InsertNotice(MessageStore[i], EditableFile("RenameTXT.txt"),
                        EditableFile("RenameHTML.txt"), WorkFile(kWorkFileName), error)) {
        log("Notice not inserted: " + error);
      }
    }
    if (!removed) ++i;
  }
  log("Checked for Attachments to be blocked.");
}

bool TFormVazireRevivo::WithholdUnrenamed(std::size_t Index, const TBlockPolicy& Policy) {
  TNachricht& entry = MessageStore[Index];
  std::optional<std::string> left;
  const TNameTest blocked = [&Policy](const std::string& name) {
    return IsBlockedAttachment(name, Policy.BlockedExtensions);
  };
  for (auto& name : NamesToJudge(entry, Policy.StrictNames, true)) {
    if (StrictNameBlocked(name, blocked)) {
      left = std::move(name.Name);
      break;
    }
  }
  if (!left) return true;
  Memo_LOG->Lines().Add("Mail " + std::to_string(Index + 1) + " not served: the blocked name \"" +
                        *left + "\" could not be rewritten in its part header.");
  std::vector<std::string> lines = {GetTextById(390), GetTextById(391),
                                    GetTextById(392) + " " + entry.FromHeader,
                                    GetTextById(393) + " " + entry.SubjectHeader, GetTextById(394)};
  lines.insert(lines.end(), entry.Attachments.begin(), entry.Attachments.end());
  AddResultLines(lines);
  RemoveMessage(MessageStore, static_cast<int>(Index));
  return false;
}

void TFormVazireRevivo::SendReport(const std::string& From, const std::string& Subject,
                                   const std::string& To) {
  std::string error;
  if (::SendReport(From, Subject, To, EditableFile("response.eml"), WorkFile("mail.eml"), error) ==
      TReportResult::Failed) {
    Memo_LOG->Lines().Add("Report mail not prepared: " + error);
  }
}
