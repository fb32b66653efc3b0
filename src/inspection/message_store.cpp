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

std::vector<std::int32_t> NumbersTakenOut(const TNachrichten& store,
                                          const std::vector<std::int32_t>& sizesByNumber) {
  std::vector<bool> held(sizesByNumber.size(), false);
  for (const auto& entry : store) {
    if (entry.Number >= 1 && static_cast<std::size_t>(entry.Number) < held.size()) {
      held[static_cast<std::size_t>(entry.Number)] = true;
    }
  }
  std::vector<std::int32_t> out;
  for (std::size_t n = 1; n < sizesByNumber.size(); ++n) {
    if (sizesByNumber[n] >= 0 && !held[n]) out.push_back(static_cast<std::int32_t>(n));
  }
  return out;
}
