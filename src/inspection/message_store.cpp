#include "inspection/message_store.h"

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
