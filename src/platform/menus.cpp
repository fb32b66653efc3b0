#include "platform/menus.h"

#include <algorithm>
#include <utility>

TMenuItem::~TMenuItem() {
  if (menu_) menu_->Remove(this);
}

void TMenuItem::SetCaption(std::string caption) {
  if (caption == caption_) return;
  caption_ = std::move(caption);
  Changed(TChange::Caption);
}

void TMenuItem::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  Changed(TChange::Enabled);
}

void TMenuItem::SetVisible(bool visible) {
  if (visible == visible_) return;
  visible_ = visible;
  Changed(TChange::Visible);
}

void TMenuItem::SetDefault(bool isDefault) {
  if (isDefault == default_) return;
  default_ = isDefault;
  Changed(TChange::Appearance);
}

void TMenuItem::Click() {
  if (OnClick) OnClick(*this);
}

TPopupMenu::~TPopupMenu() {
  for (TMenuItem* item : items_) item->menu_ = nullptr;
}

void TPopupMenu::Add(TMenuItem* item) {
  if (!item || item->menu_ == this) return;
  if (item->menu_) item->menu_->Remove(item);
  item->menu_ = this;
  items_.push_back(item);
  Changed(TChange::Items);
}

void TPopupMenu::Remove(TMenuItem* item) {
  auto it = std::find(items_.begin(), items_.end(), item);
  if (it == items_.end()) return;
  items_.erase(it);
  item->menu_ = nullptr;
  Changed(TChange::Items);
}

TMenuItem* TPopupMenu::DefaultItem() const {
  for (TMenuItem* item : items_) {
    if (item->Default()) return item;
  }
  return nullptr;
}
