#pragma once
// The program's icon in the notification area, with its menu. A front end shows the icon
// while Visible is set and opens PopupMenu on it; a double click chooses the menu's default
// entry.

#include <string>

#include "platform/component.h"
#include "platform/menus.h"

class TTrayIcon : public TComponent {
 public:
  explicit TTrayIcon(TComponent* owner) : TComponent(owner, TComponentKind::TrayIcon) {}

  bool Visible() const { return visible_; }
  void SetVisible(bool visible);
  const std::string& Hint() const { return hint_; }
  void SetHint(std::string hint);
  // The menu must be created before the icon, so that it outlives it.
  TPopupMenu* PopupMenu() const { return popupMenu_; }
  void SetPopupMenu(TPopupMenu* menu);

  // Minimising the window sends it to the tray; starting minimised shows only the icon.
  bool MinimizeToTray() const { return minimizeToTray_; }
  bool StartMinimized() const { return startMinimized_; }
  void SetMinimizeToTray(bool on) { minimizeToTray_ = on; }
  void SetStartMinimized(bool on) { startMinimized_ = on; }

  // A front end calls this for a double click: the default entry of the menu runs.
  void DoubleClick();

 private:
  bool visible_ = false;
  std::string hint_;
  TPopupMenu* popupMenu_ = nullptr;
  bool minimizeToTray_ = false;
  bool startMinimized_ = false;
};
