#pragma once
// The file names of quarantine copies: the moment of the copy in UTC and a counter for copies
// made within the same second, e.g. 20261209-161530-001.eml. Names sort in the order the copies
// were made, and the moment survives a copy that lost its file times.

#include <ctime>
#include <optional>
#include <string>
#include <string_view>

inline constexpr std::string_view kCopyExtension = ".eml";
// The description of a copy beside it: the same stem with this extension.
inline constexpr std::string_view kRecordExtension = ".info";

// The stem (without extension) for the moment and counter (1 and up; three digits at least).
std::string CopyStem(std::time_t moment, unsigned counter);

struct TCopyName {
  std::time_t moment = 0;
  unsigned counter = 0;
};
// The moment and counter of a copy's file name (with its ".eml"); nullopt for any other name.
std::optional<TCopyName> ParseCopyName(std::string_view fileName);

// The stem of a file name: everything before its last ".".
std::string_view FileStem(std::string_view fileName);
