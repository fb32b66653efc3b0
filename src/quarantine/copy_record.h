#pragma once
// The description kept beside each quarantine copy. The copy itself must stay byte for byte
// the mail the server sent, so what the guard knew about it (which names were blocked, from
// which mailbox it came) lives in a small text file of the same stem:
//
//   Copied: 2026-12-09 16:15:30 UTC
//   Mailbox: pop.example.org/alice
//   From: Mallory <mallory@example.net>
//   To: Alice <alice@example.org>
//   Subject: Invoice
//   Blocked: invoice.exe
//
// One "Name: value" per line, "Blocked" once per blocked name in the mail's order. The values
// are the raw header texts; a control character or "%" in them is written as "%" and two hex
// digits, so that no value can break a line. Unknown lines are skipped when reading.

#include <ctime>
#include <string>
#include <string_view>
#include <vector>

struct TCopyRecord {
  std::string Mailbox;  // the server and mailbox the mail program logged in with
  std::string From;
  std::string To;
  std::string Subject;
  std::vector<std::string> Blocked;

  bool operator==(const TCopyRecord&) const = default;
};

std::string FormatCopyRecord(const TCopyRecord& record, std::time_t copied);
TCopyRecord ParseCopyRecord(std::string_view text);

// For a copy without its description: the first From, To and Subject fields of the mail's
// header, unfolded. The blocked names are not known then.
TCopyRecord RecordFromMailHeader(std::string_view mail);
