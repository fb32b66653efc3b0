#include "quarantine/copy_names.h"

#include <cstdio>

namespace {

bool AllDigits(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

unsigned Number(std::string_view digits) {
  unsigned value = 0;
  for (char c : digits) value = value * 10 + static_cast<unsigned>(c - '0');
  return value;
}

}  // namespace

std::string CopyStem(std::time_t moment, unsigned counter) {
  std::tm utc{};
  ::gmtime_r(&moment, &utc);
  char text[64];
  std::snprintf(text, sizeof text, "%04d%02d%02d-%02d%02d%02d-%03u", utc.tm_year + 1900,
                utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, counter);
  return text;
}

std::optional<TCopyName> ParseCopyName(std::string_view fileName) {
  if (!fileName.ends_with(kCopyExtension)) return std::nullopt;
  std::string_view stem = fileName.substr(0, fileName.size() - kCopyExtension.size());
  // YYYYMMDD-HHMMSS-NNN, the counter three digits or more (at most nine, to stay a number).
  if (stem.size() < 19 || stem.size() > 25 || stem[8] != '-' || stem[15] != '-') {
    return std::nullopt;
  }
  std::string_view date = stem.substr(0, 8), time = stem.substr(9, 6), counter = stem.substr(16);
  if (!AllDigits(date) || !AllDigits(time) || !AllDigits(counter)) return std::nullopt;
  std::tm utc{};
  utc.tm_year = static_cast<int>(Number(date.substr(0, 4))) - 1900;
  utc.tm_mon = static_cast<int>(Number(date.substr(4, 2))) - 1;
  utc.tm_mday = static_cast<int>(Number(date.substr(6, 2)));
  utc.tm_hour = static_cast<int>(Number(time.substr(0, 2)));
  utc.tm_min = static_cast<int>(Number(time.substr(2, 2)));
  utc.tm_sec = static_cast<int>(Number(time.substr(4, 2)));
  const std::tm asked = utc;
  const std::time_t moment = ::timegm(&utc);
  // A day or hour out of range would be carried over by timegm: such a name is not ours.
  if (moment == static_cast<std::time_t>(-1) || utc.tm_mday != asked.tm_mday ||
      utc.tm_mon != asked.tm_mon || utc.tm_hour != asked.tm_hour || utc.tm_min != asked.tm_min ||
      utc.tm_sec != asked.tm_sec) {
    return std::nullopt;
  }
  return TCopyName{moment, Number(counter)};
}

std::string_view FileStem(std::string_view fileName) {
  const auto dot = fileName.rfind('.');
  return dot == std::string_view::npos ? fileName : fileName.substr(0, dot);
}
