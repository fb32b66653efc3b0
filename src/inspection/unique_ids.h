#pragma once
// The server's unique-id listing (UIDL), which the mailbox check keeps with each stored mail,
// so that a mail program that leaves its mail on the server knows it again in a later session.

#include <optional>
#include <string>
#include <string_view>

struct TUidlLine {
  int Number = 0;
  std::string Id;
};

// One data line of the server's UIDL reply: the message number, blanks, and the id (1 to 70
// characters from "!" to "~"). nullopt for anything else, so that no id which a mail program
// could not take back is ever passed on.
std::optional<TUidlLine> ParseUidlLine(std::string_view line);
