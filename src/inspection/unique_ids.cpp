#include "inspection/unique_ids.h"

#include <charconv>
#include <cstdint>

namespace {
constexpr std::size_t kLongestId = 70;
}  // namespace

std::optional<TUidlLine> ParseUidlLine(std::string_view line) {
  while (!line.empty() && line.back() == ' ') line.remove_suffix(1);
  const std::size_t blank = line.find(' ');
  if (blank == 0 || blank == std::string_view::npos) return std::nullopt;
  std::int32_t number = 0;
  const auto [end, ec] = std::from_chars(line.data(), line.data() + blank, number);
  if (ec != std::errc() || end != line.data() + blank || number < 1) return std::nullopt;
  std::string_view id = line.substr(blank);
  while (!id.empty() && id.front() == ' ') id.remove_prefix(1);
  if (id.empty() || id.size() > kLongestId) return std::nullopt;
  for (char c : id) {
    if (c < '!' || c > '~') return std::nullopt;
  }
  return TUidlLine{number, std::string(id)};
}
