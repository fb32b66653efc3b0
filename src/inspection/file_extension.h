#pragma once
// File extensions of attachment names and the list of blocked ones.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Everything after the last `separator`, looking backwards from the second-to-last character
// (so a final separator is never the one taken: "A.B." gives "B."). An empty name gives the
// empty text.
std::string FileExtension(std::string_view name, char separator);

// Whether FileExtension finds a separator at all. A non-empty name without one ("README",
// "A.") has no extension and is never blocked.
bool HasFileExtension(std::string_view name, char separator);

struct TBlockSettings {
  bool Scripts = true;
  bool Programs = true;
  bool Others = true;
  std::string OthersText;
};

// The script group, the program group and then the user's entries, in that order.
std::vector<std::string> BuildBlockedExtensions(const TBlockSettings& settings);

// The user's list: comma-separated entries, taken as written (not trimmed). An empty text
// gives one empty entry.
std::vector<std::string> ParseOthersList(std::string_view others);

// Looks the extension of `name` up in `blocked`, without regard to case.
bool IsBlockedAttachment(std::string_view name, const std::vector<std::string>& blocked);
