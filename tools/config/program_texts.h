#pragma once
// The texts the proxy reads from its program folder and the user maintains: the two notices
// put in front of a mail's text parts when an attachment was renamed, and the template of the
// report mail prepared when a mail was deleted.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

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
std::string ProgramTextPath(const std::string& programFolder, TProgramText kind);

// The folder of the running program file.
std::string CurrentProgramFolder();

// A whole file; EConfigError when it is missing, a folder or cannot be read to its end.
std::string ReadWholeFile(const std::string& path);

// EConfigError when the file is missing or unreadable.
std::string ReadProgramText(const std::string& programFolder, TProgramText kind);
// Checks the new contents (a text file: no zero bytes, at most 1 MiB) and replaces the file
// atomically. Returns notes for the user about contents that are allowed but probably not
// meant, e.g. a report template without any placeholder.
std::vector<std::string> ReplaceProgramText(const std::string& programFolder, TProgramText kind,
                                            std::string_view contents);
