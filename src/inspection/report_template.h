#pragma once
// Filling the report mail template and reading addresses out of header values.

#include <string>
#include <string_view>
#include <vector>

// The text strictly between the first "<" and the first ">" when both occur (empty when ">"
// comes first or right after "<"); the whole value when either is missing.
std::string ExtractAddress(std::string_view headerValue);

// Three passes over all lines: "XXX%1" := the recipient's address, "XXX%2" := the raw
// subject, "XXX%3" := the sender's address. Each pass replaces the first occurrence per line
// only, and a later pass also sees what earlier ones inserted.
void FillReportTemplate(std::vector<std::string>& lines, std::string_view fromHeader,
                        std::string_view subjectHeader, std::string_view toHeader);
