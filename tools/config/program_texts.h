#pragma once
// The texts the proxy reads from its program folder and the user maintains: the two notices
// put in front of a mail's text parts when an attachment was renamed, and the template of the
// report mail prepared when a mail was deleted.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "config/command_line.h"

enum class TProgramText { TextNotice, HtmlNotice, ReportTemplate };

struct TProgramTextInfo {
  TProgramText kind;
  const char* fileName;  // in the program folder
  const char* alias;     // a second name accepted on the command line
  const char* role;      // one line for the user
};

const std::vector<TProgramTextInfo>& ProgramTexts();
// By file name or alias, letter case ignored.
std::optional<TProgramText> FindProgramText(std::string_view name);
const TProgramTextInfo& ProgramTextInfo(TProgramText kind);
// The file the proxy reads: the user's copy when there is one, else the program folder's.
std::string ProgramTextPath(const TConfigPlaces& places, TProgramText kind);

// The store file and the folders of the running program for the user who runs it.
TConfigPlaces CurrentConfigPlaces();

// A whole file; EConfigError when it is missing, a folder or cannot be read to its end.
std::string ReadWholeFile(const std::string& path);

// EConfigError when the file is missing or unreadable.
std::string ReadProgramText(const TConfigPlaces& places, TProgramText kind);
// Checks the new contents (a text file: no zero bytes, at most 1 MiB) and replaces the file
// atomically; the replacement goes into the user's folder when there is one, so that it is
// the copy the proxy reads from then on. Returns notes for the user about contents that are allowed
// but probably not meant, e.g. a report template without any placeholder.
std::vector<std::string> ReplaceProgramText(const TConfigPlaces& places, TProgramText kind,
                                            std::string_view contents);
