#include "quarantine/copy_record.h"

#include <cstdio>

#include "platform/ascii_text.h"
#include "platform/line_splitter.h"

namespace {

bool NeedsEscape(unsigned char c) {
  return c < 0x20 || c == 0x7f || c == '%';
}

std::string Escape(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  for (char c : value) {
    const auto byte = static_cast<unsigned char>(c);
    if (!NeedsEscape(byte)) {
      out += c;
      continue;
    }
    char hex[4];
    std::snprintf(hex, sizeof hex, "%%%02X", byte);
    out += hex;
  }
  return out;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::string Unescape(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] == '%' && i + 2 < value.size() && HexDigit(value[i + 1]) >= 0 &&
        HexDigit(value[i + 2]) >= 0) {
      out += static_cast<char>(HexDigit(value[i + 1]) * 16 + HexDigit(value[i + 2]));
      i += 2;
    } else {
      out += value[i];
    }
  }
  return out;
}

std::string Line(std::string_view name, std::string_view value) {
  return std::string(name) + ": " + Escape(value) + "\n";
}

// Lines split at LF, a CR before it dropped; `each` returns false to stop.
template <typename Each>
void ForEachLine(std::string_view text, Each each) {
  TLineSplitter lines(text, TLineEnds::leLf);
  std::string_view line;
  while (lines.Next(line)) {
    if (!each(line)) return;
  }
}

}  // namespace

std::string FormatCopyRecord(const TCopyRecord& record, std::time_t copied) {
  std::tm utc{};
  ::gmtime_r(&copied, &utc);
  char moment[64];
  std::snprintf(moment, sizeof moment, "%04d-%02d-%02d %02d:%02d:%02d UTC", utc.tm_year + 1900,
                utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec);
  std::string text = "Copied: " + std::string(moment) + "\n";
  text += Line("Mailbox", record.Mailbox);
  text += Line("From", record.From);
  text += Line("To", record.To);
  text += Line("Subject", record.Subject);
  for (const auto& name : record.Blocked) text += Line("Blocked", name);
  return text;
}

TCopyRecord ParseCopyRecord(std::string_view text) {
  TCopyRecord record;
  ForEachLine(text, [&record](std::string_view line) {
    const auto colon = line.find(':');
    if (colon == std::string_view::npos) return true;
    const std::string_view name = line.substr(0, colon);
    std::string_view value = line.substr(colon + 1);
    if (value.starts_with(' ')) value.remove_prefix(1);
    if (name == "Mailbox") record.Mailbox = Unescape(value);
    if (name == "From") record.From = Unescape(value);
    if (name == "To") record.To = Unescape(value);
    if (name == "Subject") record.Subject = Unescape(value);
    if (name == "Blocked") record.Blocked.push_back(Unescape(value));
    return true;
  });
  return record;
}

TCopyRecord RecordFromMailHeader(std::string_view mail) {
  TCopyRecord record;
  bool haveFrom = false, haveTo = false, haveSubject = false;
  std::string* current = nullptr;  // the field a continuation line belongs to
  ForEachLine(mail, [&](std::string_view line) {
    if (line.empty()) return false;  // the header ends
    if (line[0] == ' ' || line[0] == '\t') {
      if (current != nullptr) *current += line;
      return true;
    }
    current = nullptr;
    const auto colon = line.find(':');
    if (colon == std::string_view::npos) return true;
    const std::string_view name = line.substr(0, colon);
    std::string_view value = line.substr(colon + 1);
    while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) {
      value.remove_prefix(1);
    }
    auto take = [&](bool& have, std::string& field) {
      if (have) return;
      have = true;
      field = value;
      current = &field;
    };
    if (ascii::EqualsNoCase(name, "From")) take(haveFrom, record.From);
    if (ascii::EqualsNoCase(name, "To")) take(haveTo, record.To);
    if (ascii::EqualsNoCase(name, "Subject")) take(haveSubject, record.Subject);
    return true;
  });
  return record;
}
