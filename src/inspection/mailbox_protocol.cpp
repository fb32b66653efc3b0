#include "inspection/mailbox_protocol.h"

#include <charconv>
#include <cstdint>

namespace {

std::optional<int> ToInt(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  text.remove_prefix(i);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return std::nullopt;
  std::int32_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::string_view ArgumentOf(std::string_view command) {
  while (!command.empty() && (command.back() == '\n' || command.back() == '\r')) {
    command.remove_suffix(1);
  }
  return command.size() > 5 ? command.substr(5) : std::string_view();
}

}  // namespace

int ParseNumberArgument(std::string_view command) {
  return ToInt(ArgumentOf(command)).value_or(-1);
}

std::optional<int> ParseListArgument(std::string_view command) {
  std::string_view arg = command;
  while (!arg.empty() && (arg.back() == '\n' || arg.back() == '\r')) arg.remove_suffix(1);
  arg = arg.size() > 4 ? arg.substr(4) : std::string_view();
  if (arg.find_first_not_of(' ') == std::string_view::npos) return std::nullopt;
  // "LISTx" is not a LIST with an argument: the argument follows a blank.
  if (arg.front() != ' ') return -1;
  return ToInt(arg.substr(1)).value_or(-1);
}

std::optional<TListLine> ParseListLine(std::string_view line) {
  const std::size_t blank = line.find(' ');
  if (line.empty() || blank == std::string_view::npos) return std::nullopt;
  const auto number = ToInt(line.substr(0, blank));
  const auto size = ToInt(line.substr(blank));
  if (!number || !size || *size < 0) return std::nullopt;
  return TListLine{*number, *size};
}

namespace {

// Blanks, then one or more digits read into `value`; false when there are none or too many.
template <typename T>
bool TakeDecimal(std::string_view& text, T& value) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  if (i == 0) return false;
  text.remove_prefix(i);
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end == text.data() || text.front() == '-') return false;
  text.remove_prefix(static_cast<std::size_t>(end - text.data()));
  return text.empty() || text.front() == ' ';
}

}  // namespace

std::optional<TStatReply> ParseStatReply(std::string_view line) {
  const std::size_t blank = line.find(' ');
  if (blank == std::string_view::npos) return std::nullopt;
  line.remove_prefix(blank);
  TStatReply reply;
  if (!TakeDecimal(line, reply.Count) || !TakeDecimal(line, reply.Size)) return std::nullopt;
  return reply;
}

void TByteStuffer::Append(std::string_view data, std::string& out) {
  std::size_t start = 0;
  while (start < data.size()) {
    if (atLineStart_ && data[start] == '.') out += '.';
    atLineStart_ = false;
    const std::size_t lf = data.find('\n', start);
    if (lf == std::string_view::npos) {
      out.append(data.substr(start));
      lastWasCr_ = data.back() == '\r';
      return;
    }
    const bool lineBreak = lf > start ? data[lf - 1] == '\r' : lastWasCr_;
    out.append(data.substr(start, lf + 1 - start));
    start = lf + 1;
    atLineStart_ = lineBreak;
    lastWasCr_ = false;
  }
}
