#pragma once
// The line rewrites of the rename action and of the notice insertion, on a mail held as lines.
//
// Both work on the part headers the MIME decoder reads (see FindPartHeaders): whatever the
// order and the letter case of their fields, folded or not.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Within every part header, every line that contains `name` (case-sensitive) is cut after its
// first occurrence and ends in name + "BLOCKED" + a double quote. An empty name stands where a
// "filename=" parameter has an empty value. Returns the number of lines rewritten.
int RenameAttachmentLines(std::vector<std::string>& lines, std::string_view name);

// Opens every text/plain and text/html part with the notice: an empty line ends the part
// header early, the notice lines follow, then the part's own empty line and its body as
// before. A part gets the notice only when its header ends within six lines after its
// boundary line. Returns the number of parts that got the notice, or nullopt when a part needs
// a notice that is missing (the lines are then partly rewritten: work on a copy).
std::optional<int> InsertNoticeLines(std::vector<std::string>& lines,
                                     const std::optional<std::vector<std::string>>& textNotice,
                                     const std::optional<std::vector<std::string>>& htmlNotice);
