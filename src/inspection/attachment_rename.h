#pragma once
// The line rewrites of the rename action and of the notice insertion, on a mail held as lines.
//
// Both look for a part boundary the same way: a line that begins with "----" followed by a
// line that begins with "Content-Type:" (exactly that case). Only boundaries whose value itself
// begins with two dashes are found that way; parts behind other boundaries are left alone.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Within the boundary line and the six lines after it, every line that contains `name`
// (case-sensitive) is cut after its first occurrence and ends in name + "BLOCKED" + a double
// quote. An empty name occurs nowhere. Returns the number of lines rewritten.
int RenameAttachmentLines(std::vector<std::string>& lines, std::string_view name);

// Opens every text/plain and text/html part found in the range scanned with the notice: an
// empty line ends the part header early, the notice lines follow, then the part's own empty
// line and its body as before. A part gets the notice only when its header ends within six
// lines after the boundary line. Returns the number of parts that got the notice, or nullopt
// when a part needs a notice that is missing (the lines are then partly rewritten: work on a
// copy).
std::optional<int> InsertNoticeLines(std::vector<std::string>& lines,
                                     const std::optional<std::vector<std::string>>& textNotice,
                                     const std::optional<std::vector<std::string>>& htmlNotice);
