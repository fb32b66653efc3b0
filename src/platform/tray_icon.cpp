#include "platform/tray_icon.h"

#include <utility>

void TTrayIcon::SetVisible(bool visible) {
  if (visible == visible_) return;
  visible_ = visible;
  Changed(TChange::Visible);
}

void TTrayIcon::SetHint(std::string hint) {
  if (hint == hint_) return;
  hint_ = std::move(hint);
  Changed(TChange::Caption);
}

void TTrayIcon::SetPopupMenu(TPopupMenu* menu) {
  if (menu == popupMenu_) return;
  popupMenu_ = menu;
  Changed(TChange::PopupMenu);
}

void TTrayIcon::DoubleClick() {
  if (!popupMenu_) return;
  TMenuItem* item = popupMenu_->DefaultItem();
  if (item && item->Enabled()) item->Click();
}
