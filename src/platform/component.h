#pragma once
// The component tree of the form model: every component belongs to an owner that destroys it,
// carries a name and a numeric tag, and reports each change to the observers of the tree's
// root (a front end that draws the form, or a test that watches it).

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

enum class TComponentKind {
  Component,  // plain non-visual component
  Form,
  Label,
  Button,
  CheckBox,
  RadioButton,
  GroupBox,
  TabSheet,
  PageControl,
  ProgressBar,
  Memo,
  Image,
  Bevel,
  GradientBand,
  MenuItem,
  PopupMenu,
  TrayIcon,
  Timer,
};

// What changed on a component. The observer reads the new value from the component itself.
enum class TChange {
  Created,     // the component is fully built (sent by NewComponent)
  Destroying,  // only the component's address is still valid
  Name,
  Caption,
  Bounds,
  Visible,
  Enabled,
  Parent,
  TabOrder,
  Appearance,  // alignment, colours, picture, font, border and similar looks
  LineAdded,   // a memo got one more line at its end
  LinesReset,  // a memo's lines were cleared or replaced
  Position,    // a progress bar's range or position
  ActivePage,
  Checked,
  Items,  // a popup menu's entries
  WindowState,
  PopupMenu,  // a tray icon's menu
  Interval,   // a timer's interval or enabled state
};

class TComponent;

// Implemented by a front end (and by tests). Calls arrive on the thread that changes the model.
class TFormObserver {
 public:
  virtual ~TFormObserver() = default;
  virtual void ComponentChanged(TComponent& component, TChange change) = 0;
};

class TComponent;
using TNotifyEvent = std::function<void(TComponent& sender)>;

class TComponent {
 public:
  explicit TComponent(TComponent* owner, TComponentKind kind = TComponentKind::Component);
  virtual ~TComponent();
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  TComponentKind Kind() const { return kind_; }
  TComponent* Owner() const { return owner_; }
  const std::string& Name() const { return name_; }
  void SetName(std::string name);
  int Tag() const { return tag_; }
  void SetTag(int tag) { tag_ = tag; }

  // Owned components in the order they were created.
  const std::vector<TComponent*>& Components() const { return components_; }
  int ComponentCount() const { return static_cast<int>(components_.size()); }
  // An owned component by name (exact comparison), or nullptr.
  TComponent* FindComponent(std::string_view name) const;

  // Observers belong to the root of the tree (the component without an owner); a change of
  // any component of the tree reaches them.
  void AddObserver(TFormObserver* observer);
  void RemoveObserver(TFormObserver* observer);
  TComponent& Root();

 protected:
  void Changed(TChange change);

 private:
  template <class T, class... Args>
  friend T* NewComponent(TComponent* owner, std::string name, Args&&... args);

  TComponentKind kind_;
  TComponent* owner_;
  std::string name_;
  int tag_ = 0;
  std::vector<TComponent*> components_;
  std::vector<TFormObserver*> observers_;
};

// Creates a component owned (and later destroyed) by `owner`, names it and announces it.
template <class T, class... Args>
T* NewComponent(TComponent* owner, std::string name, Args&&... args) {
  T* c = new T(owner, std::forward<Args>(args)...);
  c->name_ = std::move(name);
  c->Changed(TChange::Created);
  return c;
}
