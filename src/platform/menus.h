#pragma once
// Menu entries and the popup menu that lists them. Entries are owned like every component
// (by the form) and listed in the menu in the order they were added.

#include <string>
#include <vector>

#include "platform/component.h"

class TPopupMenu;

class TMenuItem : public TComponent {
 public:
  explicit TMenuItem(TComponent* owner) : TComponent(owner, TComponentKind::MenuItem) {}
  ~TMenuItem() override;

  const std::string& Caption() const { return caption_; }
  void SetCaption(std::string caption);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  bool Visible() const { return visible_; }
  void SetVisible(bool visible);
  // The entry a double click on the tray icon chooses; shown in bold.
  bool Default() const { return default_; }
  void SetDefault(bool isDefault);
  TPopupMenu* Menu() const { return menu_; }

  void Click();
  TNotifyEvent OnClick;

 private:
  friend class TPopupMenu;
  std::string caption_;
  bool enabled_ = true;
  bool visible_ = true;
  bool default_ = false;
  TPopupMenu* menu_ = nullptr;
};

class TPopupMenu : public TComponent {
 public:
  explicit TPopupMenu(TComponent* owner) : TComponent(owner, TComponentKind::PopupMenu) {}
  ~TPopupMenu() override;

  const std::vector<TMenuItem*>& Items() const { return items_; }
  // Appends an entry; an entry of another menu moves here.
  void Add(TMenuItem* item);
  void Remove(TMenuItem* item);
  // The default entry, or nullptr.
  TMenuItem* DefaultItem() const;

 private:
  std::vector<TMenuItem*> items_;
};
