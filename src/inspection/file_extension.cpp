#include "inspection/file_extension.h"

#include "platform/ascii_text.h"

namespace {

constexpr std::string_view kScriptExtensions[] = {"JS", "WSH", "VBS", "WSC", "VBE", "VB", "SCT"};
constexpr std::string_view kProgramExtensions[] = {"EXE", "COM", "BAT"};

std::optional<std::size_t> SeparatorPosition(std::string_view name, char separator) {
  if (name.size() < 2) return std::nullopt;
  for (std::size_t i = name.size() - 1; i-- > 0;) {
    if (name[i] == separator) return i;
  }
  return std::nullopt;
}

}  // namespace

std::string FileExtension(std::string_view name, char separator) {
  const auto pos = SeparatorPosition(name, separator);
  if (!pos) return {};
  return std::string(name.substr(*pos + 1));
}

bool HasFileExtension(std::string_view name, char separator) {
  return SeparatorPosition(name, separator).has_value();
}

std::vector<std::string> ParseOthersList(std::string_view others) {
  std::string text(others);
  text += ',';
  std::vector<std::string> entries;
  std::size_t comma;
  while (!text.empty() && (comma = text.find(',')) != std::string::npos) {
    entries.push_back(text.substr(0, comma));
    text.erase(0, comma + 1);
  }
  return entries;
}

std::vector<std::string> BuildBlockedExtensions(const TBlockSettings& settings) {
  std::vector<std::string> blocked;
  if (settings.Scripts)
    blocked.insert(blocked.end(), std::begin(kScriptExtensions), std::end(kScriptExtensions));
  if (settings.Programs)
    blocked.insert(blocked.end(), std::begin(kProgramExtensions), std::end(kProgramExtensions));
  if (settings.Others) {
    for (auto& entry : ParseOthersList(settings.OthersText)) blocked.push_back(std::move(entry));
  }
  return blocked;
}

bool IsBlockedAttachment(std::string_view name, const std::vector<std::string>& blocked) {
  // An empty name has the empty extension (it matches the empty entry of an empty user
  // list); any other name needs a real extension to match anything.
  if (!name.empty() && !HasFileExtension(name, '.')) return false;
  const std::string ext = FileExtension(name, '.');
  for (const auto& entry : blocked) {
    if (ascii::EqualsNoCase(ext, entry)) return true;
  }
  return false;
}
