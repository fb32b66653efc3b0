#include "inspection/message_store.h"

#include <algorithm>

TNachrichten MessageStore;
int CurrentMessage = 0;
std::vector<TListedMail> MessageListing;

void RemoveMessage(TNachrichten& store, int index) {
  if (index < 0 || index >= static_cast<int>(store.size())) return;
  store.erase(store.begin() + index);
}

std::int64_t TotalSize(const TNachrichten& store) {
  std::int64_t total = 0;
  for (const auto& entry : store) total += entry.Size;
  return total;
}

std::int64_t ServedSize(const TNachricht& entry) {
  return static_cast<std::int64_t>(entry.Content.DataString().size());
}

std::int64_t ServedTotalSize(const TNachrichten& store) {
  std::int64_t total = 0;
  for (const auto& entry : store) total += ServedSize(entry);
  return total;
}

std::vector<std::int32_t> NumbersTakenOut(const TNachrichten& store, std::int32_t mailboxCount) {
  std::vector<bool> held(static_cast<std::size_t>(std::max(mailboxCount, 0)) + 1, false);
  for (const auto& entry : store) {
    if (entry.Number >= 1 && entry.Number <= mailboxCount) {
      held[static_cast<std::size_t>(entry.Number)] = true;
    }
  }
  std::vector<std::int32_t> out;
  for (std::int32_t n = 1; n <= mailboxCount; ++n) {
    if (!held[static_cast<std::size_t>(n)]) out.push_back(n);
  }
  return out;
}
