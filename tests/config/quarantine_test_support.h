#pragma once
// Copies put into a test's own quarantine folder the way the proxy puts them there, for the
// tests of what the configuration program and its window show and do with them.

#include <ctime>
#include <string>
#include <utility>
#include <vector>

#include "quarantine/quarantine_store.h"

namespace config_test {

constexpr std::time_t kNow = 1796832930;  // 2026-12-09 16:15:30 UTC

// A copy of `mail` from Mallory with the subject and blocked names given; returns its file name.
inline std::string KeepCopy(const std::string& folder, const std::string& mail,
                            const std::string& subject, std::vector<std::string> blocked,
                            std::time_t moment) {
  TCopyRecord record;
  record.From = "Mallory <m@example.net>";
  record.Subject = subject;
  record.Blocked = std::move(blocked);
  return TQuarantine(folder).Keep(mail, record, moment);
}

}  // namespace config_test
