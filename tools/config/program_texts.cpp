#include "config/program_texts.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "app/program_folder.h"
#include "app/user_folders.h"
#include "config/autostart.h"
#include "config/settings_edit.h"
#include "platform/ascii_text.h"
#include "platform/registry_file.h"

namespace {

// The notices go into every blocked mail and the template is read whole at every report; a
// larger file is surely the wrong one.
constexpr std::size_t kMaxTextSize = 1u << 20;

std::vector<std::string> TemplateNotes(std::string_view contents) {
  std::vector<std::string> notes;
  if (contents.empty()) {
    notes.push_back("the report template is empty, so no report mail will be prepared");
    return notes;
  }
  bool any = false;
  for (const char* placeholder : {"XXX%1", "XXX%2", "XXX%3"})
    any = any || contents.find(placeholder) != std::string_view::npos;
  if (!any)
    notes.push_back(
        "the report template holds none of the placeholders XXX%1 (recipient), XXX%2 "
        "(subject), XXX%3 (sender); every report will be the same text");
  return notes;
}

}  // namespace

const std::vector<TProgramTextInfo>& ProgramTexts() {
  static const std::vector<TProgramTextInfo> texts = {
      {TProgramText::TextNotice, "RenameTXT.txt", "notice-text",
       "notice put in front of plain-text parts of a mail whose attachment was renamed"},
      {TProgramText::HtmlNotice, "RenameHTML.txt", "notice-html",
       "notice put in front of HTML parts of a mail whose attachment was renamed"},
      {TProgramText::ReportTemplate, "response.eml", "report-template",
       "template of the report mail for a deleted mail (XXX%1 recipient, XXX%2 subject, XXX%3 "
       "sender)"},
  };
  return texts;
}

std::optional<TProgramText> FindProgramText(std::string_view name) {
  for (const TProgramTextInfo& info : ProgramTexts())
    if (ascii::EqualsNoCase(name, info.fileName) || ascii::EqualsNoCase(name, info.alias))
      return info.kind;
  return std::nullopt;
}

const TProgramTextInfo& ProgramTextInfo(TProgramText kind) {
  for (const TProgramTextInfo& info : ProgramTexts())
    if (info.kind == kind) return info;
  return ProgramTexts().front();
}

std::string ProgramTextPath(const TConfigPlaces& places, TProgramText kind) {
  return EditableFileIn({places.programFolder, places.programFolder, places.userFolder},
                        ProgramTextInfo(kind).fileName);
}

TConfigPlaces CurrentConfigPlaces() {
  InitProgramFolder();
  const TUserFolders folders = UserFolders();
  return {RegistryFilePath(), folders.program, folders.config,
          AutostartEntryPath([](const char* name) { return std::getenv(name); })};
}

std::string ReadWholeFile(const std::string& path) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                       &std::fclose);
  if (!file) throw EConfigError("cannot read " + path + ": " + std::strerror(errno));
  std::string contents;
  char buf[8192];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, file.get())) > 0) contents.append(buf, n);
  // A folder opens, but reading it fails; it must not pass for an empty file.
  if (std::ferror(file.get()))
    throw EConfigError("cannot read " + path + ": " + std::strerror(errno));
  return contents;
}

std::string ReadProgramText(const TConfigPlaces& places, TProgramText kind) {
  return ReadWholeFile(ProgramTextPath(places, kind));
}

std::vector<std::string> ReplaceProgramText(const TConfigPlaces& places, TProgramText kind,
                                            std::string_view contents) {
  const char* name = ProgramTextInfo(kind).fileName;
  if (contents.find('\0') != std::string_view::npos)
    throw EConfigError(std::string("the new ") + name +
                       " holds zero bytes; it must be a text file");
  if (contents.size() > kMaxTextSize)
    throw EConfigError(std::string("the new ") + name + " is larger than 1 MiB");
  std::vector<std::string> notes;
  if (kind == TProgramText::ReportTemplate) notes = TemplateNotes(contents);
  try {
    ReplaceFileAtomically(
        EditableFileToWrite({places.programFolder, places.programFolder, places.userFolder}, name),
        contents);
  } catch (const ERegistryFileError& e) {
    throw EConfigError(std::string(e.what()) + ". Nothing was changed.");
  }
  return notes;
}
