#include "inspection/attachment_name.h"

#include <cctype>

namespace {

std::string Upper(std::string_view s) {
  std::string out(s);
  for (auto& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

}  // namespace

std::optional<std::string> AttachmentNameFromPartHeaderLine(std::string_view line) {
  const std::string upper = Upper(line);
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
