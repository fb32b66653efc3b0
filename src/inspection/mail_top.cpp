#include "inspection/mail_top.h"

#include <charconv>
#include <cstdint>
#include <vector>

namespace {

int ToCount(std::string_view text) {
  std::int32_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || value < 0) return -1;
  return value;
}

}  // namespace

TTopArguments ParseTopArguments(std::string_view command) {
  while (!command.empty() && (command.back() == '\n' || command.back() == '\r')) {
    command.remove_suffix(1);
  }
  // The keyword and the blank that must follow it.
  if (command.size() < 4 || command[3] != ' ') return {};
  std::vector<std::string_view> words;
  std::size_t at = 4;
  while (at < command.size()) {
    if (command[at] == ' ') {
      ++at;
      continue;
    }
    const std::size_t end = std::min(command.find(' ', at), command.size());
    words.push_back(command.substr(at, end - at));
    at = end;
  }
  if (words.size() != 2) return {};
  return {ToCount(words[0]), ToCount(words[1])};
}

std::string_view TopOfMail(std::string_view content, int bodyLines) {
  std::size_t end = 0;
  if (content.substr(0, 2) == "\r\n") {
    end = 2;  // no header lines at all: the blank line comes first
  } else {
    const std::size_t blank = content.find("\r\n\r\n");
    if (blank == std::string_view::npos) return content;
    end = blank + 4;
  }
  for (int line = 0; line < bodyLines && end < content.size(); ++line) {
    const std::size_t lineEnd = content.find("\r\n", end);
    if (lineEnd == std::string_view::npos) return content;
    end = lineEnd + 2;
  }
  return content.substr(0, end);
}
