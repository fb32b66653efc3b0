#include "pop3/header_capture.h"

#include "pop3/reply_parsing.h"

bool CaptureHeaderLine(std::string_view line, TPop3HeaderValues& values) {
  if (line.empty()) return true;
  // A folded continuation line belongs to the field before it; its text is not captured.
  if (line[0] == '\t') return false;
  std::size_t colon = line.find(':');
  if (colon == std::string_view::npos) return false;

  std::string keyword = Pop3Trim(line.substr(0, colon));
  for (char& c : keyword) {
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  }
  values.Keyword = keyword;
  values.Data.assign(line.substr(colon + 1, kHeaderDataLimit));

  if (keyword == "from") {
    values.From = values.Data;
  } else if (keyword == "to") {
    values.To = values.Data;
  } else if (keyword == "subject") {
    values.Subject = values.Data;
  } else if (keyword == "date") {
    values.Date = values.Data;
  } else if (keyword == "message-id") {
    values.MessageId = values.Data;
  } else if (keyword == "reply-to") {
    values.ReplyTo = values.Data;
  } else if (keyword == "return-path") {
    values.ReturnPath = values.Data;
  }
  return false;
}
