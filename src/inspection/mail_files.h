#pragma once
// The steps of the attachment policy that work through files in the program folder: the
// rename and notice steps (working file "dummy.dummy") and the report mail ("response.eml" in,
// "mail.eml" out). Each step either completes or leaves the mail's content as it was; the
// result says which, and `error` tells why not.

#include <string>
#include <string_view>

#include "inspection/message_store.h"
#include "inspection/strict_names.h"

enum class TReportResult { Opened, EmptyTemplate, Failed };

// Rewrites the blocked name inside the entry's content (see RenameAttachmentLines); when
// given, `rewritten` receives the number of lines rewritten (0 when the step fails).
bool RenameAttachment(TNachricht& entry, std::string_view name, const std::string& workFile,
                      std::string& error, int* rewritten = nullptr);

// Strict mode: rewrites every form of every name `blocked` accepts (see RenameStrictNames).
bool RenameStrictAttachments(TNachricht& entry, const TNameTest& blocked,
                             const std::string& workFile, std::string& error, int* rewritten);

// Inserts the notice files' lines at the start of the entry's text parts (see
// InsertNoticeLines). A notice file that a part needs but that cannot be read fails the step.
bool InsertNotice(TNachricht& entry, const std::string& textNoticePath,
                  const std::string& htmlNoticePath, const std::string& workFile,
                  std::string& error);

// Fills the template with the blocked mail's header values, writes the report and asks the
// desktop to open it. An empty template writes and opens nothing.
TReportResult SendReport(std::string_view fromHeader, std::string_view subjectHeader,
                         std::string_view toHeader, const std::string& templatePath,
                         const std::string& reportPath, std::string& error);

// The whole file, or nothing when it cannot be read (error says why).
bool ReadWholeFile(const std::string& path, std::string& content, std::string& error);
// Creates or truncates the file with exactly these bytes.
bool WriteWholeFile(const std::string& path, std::string_view content, std::string& error);
