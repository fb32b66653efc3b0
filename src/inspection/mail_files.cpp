#include "inspection/mail_files.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>

#include "inspection/attachment_rename.h"
#include "inspection/mail_lines.h"
#include "inspection/report_template.h"
#include "platform/message_loop.h"
#include "platform/shell_open.h"

bool ReadWholeFile(const std::string& path, std::string& content, std::string& error) {
  try {
    TMemoryStream stream;
    stream.LoadFromFile(path);
    content = stream.DataString();
    return true;
  } catch (const std::exception& e) {
    error = e.what();
    return false;
  }
}

bool WriteWholeFile(const std::string& path, std::string_view content, std::string& error) {
  try {
    TFileStream file(path, TFileMode::fmCreate);
    file.WriteString(content);
    return true;
  } catch (const std::exception& e) {
    error = e.what();
    return false;
  }
}

namespace {

void DeleteFile(const std::string& path) {
  std::remove(path.c_str());
}

// Where the step pauses: the rename around reloading the content, the notice around writing
// it out.
enum class TWorkFilePauses { AroundReload, AroundFirstWrite };

// The content goes out to the working file and is read back from it, rewritten in between,
// and only a complete round trip replaces the entry's content.
template <typename Rewrite>
bool RewriteThroughWorkFile(TNachricht& entry, const std::string& workFile, std::string& error,
                            TWorkFilePauses pauses, Rewrite rewrite) {
  const std::uint32_t firstWritePause = pauses == TWorkFilePauses::AroundFirstWrite ? 10 : 0;
  const std::uint32_t reloadPause = pauses == TWorkFilePauses::AroundReload ? 10 : 0;
  DeleteFile(workFile);
  // The short pauses around the work file are kept from the rename's sequence: they give a
  // program that watches new files (a scanner, an indexer) a moment to let go of the work
  // file before it is written or read again. Only a mail that is rewritten pays them.
  Sleep(firstWritePause);
  std::string text;
  const bool written = WriteWholeFile(workFile, entry.Content.DataString(), error);
  Sleep(firstWritePause);
  if (!written || !ReadWholeFile(workFile, text, error)) {
    DeleteFile(workFile);
    return false;
  }
  TMailLines mail = SplitMailLines(text);
  if (!rewrite(mail.Lines)) {
    DeleteFile(workFile);
    return false;
  }
  if (!WriteWholeFile(workFile, JoinMailLines(mail), error)) {
    DeleteFile(workFile);
    return false;
  }
  TMemoryStream reloaded;
  try {
    reloaded.LoadFromFile(workFile);
  } catch (const std::exception& e) {
    error = e.what();
    DeleteFile(workFile);
    return false;
  }
  entry.Content.Clear();
  Sleep(reloadPause);
  entry.Content.LoadFromStream(reloaded);
  Sleep(reloadPause);
  DeleteFile(workFile);
  return true;
}

std::optional<std::vector<std::string>> ReadNotice(const std::string& path, std::string& error) {
  std::string text;
  if (!ReadWholeFile(path, text, error)) return std::nullopt;
  return SplitTextFileLines(text);
}

}  // namespace

bool RenameAttachment(TNachricht& entry, std::string_view name, const std::string& workFile,
                      std::string& error, int* rewritten) {
  int lines = 0;
  const bool done = RewriteThroughWorkFile(entry, workFile, error, TWorkFilePauses::AroundReload,
                                           [&](std::vector<std::string>& mail) {
                                             lines = RenameAttachmentLines(mail, name);
                                             return true;
                                           });
  if (rewritten) *rewritten = done ? lines : 0;
  return done;
}

bool RenameStrictAttachments(TNachricht& entry, const TNameTest& blocked,
                             const std::string& workFile, std::string& error, int* rewritten) {
  int lines = 0;
  const bool done = RewriteThroughWorkFile(entry, workFile, error, TWorkFilePauses::AroundReload,
                                           [&](std::vector<std::string>& mail) {
                                             lines = RenameStrictNames(mail, blocked);
                                             return true;
                                           });
  if (rewritten) *rewritten = done ? lines : 0;
  return done;
}

bool InsertNotice(TNachricht& entry, const std::string& textNoticePath,
                  const std::string& htmlNoticePath, const std::string& workFile,
                  std::string& error) {
  // Both notices are read before anything changes; one that cannot be read matters only
  // when a part of its kind is met.
  std::string textError, htmlError;
  const auto textNotice = ReadNotice(textNoticePath, textError);
  const auto htmlNotice = ReadNotice(htmlNoticePath, htmlError);
  return RewriteThroughWorkFile(entry, workFile, error, TWorkFilePauses::AroundFirstWrite,
                                [&](std::vector<std::string>& lines) {
                                  const auto inserted =
                                      InsertNoticeLines(lines, textNotice, htmlNotice);
                                  if (inserted) return true;
                                  error = !textNotice ? textError : htmlError;
                                  return false;
                                });
}

TReportResult SendReport(std::string_view fromHeader, std::string_view subjectHeader,
                         std::string_view toHeader, const std::string& templatePath,
                         const std::string& reportPath, std::string& error) {
  std::string text;
  if (!ReadWholeFile(templatePath, text, error)) return TReportResult::Failed;
  std::vector<std::string> lines = SplitTextFileLines(text);
  if (lines.empty()) return TReportResult::EmptyTemplate;
  FillReportTemplate(lines, fromHeader, subjectHeader, toHeader);
  std::string report;
  for (const auto& line : lines) {
    report += line;
    report += "\r\n";
  }
  if (!WriteWholeFile(reportPath, report, error)) return TReportResult::Failed;
  ShellOpen(reportPath);
  return TReportResult::Opened;
}
