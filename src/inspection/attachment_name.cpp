#include "inspection/attachment_name.h"

#include <cctype>

#include "platform/ascii_text.h"

std::optional<std::string> AttachmentNameFromPartHeaderLine(std::string_view line) {
  const std::string upper = ascii::UpperCopy(line);
  if (upper.find("ATTACHMENT") == std::string::npos) return std::nullopt;
  const std::size_t key = upper.find("FILENAME=");
  if (key == std::string::npos) return std::nullopt;

  std::string_view rest = line.substr(key + 9);
  if (!rest.empty() && rest.front() == '"') {
    rest.remove_prefix(1);
    const std::size_t quote = rest.find('"');
    if (quote != std::string_view::npos) rest = rest.substr(0, quote);
    return std::string(rest);
  }
  std::size_t end = 0;
  while (end < rest.size() && rest[end] != ';' && rest[end] != '"' &&
         !std::isspace(static_cast<unsigned char>(rest[end]))) {
    ++end;
  }
  return std::string(rest.substr(0, end));
}
