#pragma once
// Draws a form of the model with Qt widgets. The widgets are built from the component tree by
// kind, so any form can be shown; every change the model reports is applied at once. What the
// user does (clicks, checks, page changes, tray menu) goes back to the model, whose handlers
// decide what happens.

#include <QPointer>
#include <QSystemTrayIcon>
#include <functional>
#include <optional>
#include <unordered_map>
#include <vector>

#include "gui/form_window.h"
#include "gui/window_presentation.h"
#include "platform/forms.h"

class QAction;
class QMenu;

class TQtFormRenderer : public TFormObserver {
 public:
  struct TOptions {
    // Whether the desktop shows tray icons; asked from Qt when not given (tests force it).
    std::optional<bool> trayAvailable;
  };

  TQtFormRenderer(TForm& form, TOptions options);
  ~TQtFormRenderer() override;
  TQtFormRenderer(const TQtFormRenderer&) = delete;
  TQtFormRenderer& operator=(const TQtFormRenderer&) = delete;

  // Null once the form is gone.
  TFormWindow* Window() const { return window_; }
  QWidget* WidgetOf(const TComponent* component) const;
  QAction* ActionOf(const TMenuItem* item) const;
  QMenu* MenuOf(const TPopupMenu* menu) const;
  // The tray icon of the form's first tray component, or null.
  QSystemTrayIcon* TrayIcon() const { return trayIcon_; }
  bool TrayAvailable() const { return trayAvailable_; }
  // The desktop's tray came or went (a panel started late, or restarted): the icon and the
  // window follow, so that a window behind the icon never becomes unreachable.
  void SetTrayAvailable(bool available);
  // What the window is asked to look like now.
  TWindowPresentation Presentation() const { return presentation_; }

  // Called once when the form is destroyed; the renderer has then let go of everything.
  std::function<void()> OnFormDestroyed;

  void ComponentChanged(TComponent& component, TChange change) override;

 private:
  void BuildTree(TComponent& component);
  void Create(TComponent& component);
  void Place(TComponent& component);
  void ApplyAll(TComponent& component);
  void ApplyCaption(TComponent& component);
  void ApplyVisible(TComponent& component);
  void ApplyEnabled(TComponent& component);
  void ApplyAppearance(TComponent& component);
  void ApplyMemoLines(TMemo& memo, bool appended);
  void ApplyProgress(TProgressBar& bar);
  void ApplyChecked(TComponent& component);
  void ApplyActivePage(TPageControl& pageControl);
  void RebuildTabs(TPageControl& pageControl);
  void RebuildMenu(TPopupMenu& menu);
  void ApplyTray();
  void ApplyTabOrder();
  void ApplyFormLook();
  void ApplyPresentation();
  void Forget(TComponent& component);
  void FormGone();

  QWidget* ParentWidgetOf(const TControl& control) const;
  void UserMinimize();
  void UserRestore();
  void UserChecked(TComponent& component, bool checked);

  TForm* form_;
  bool trayAvailable_;
  QPointer<TFormWindow> window_;
  std::unordered_map<const TComponent*, QPointer<QWidget>> widgets_;
  std::unordered_map<const TComponent*, QPointer<QAction>> actions_;
  std::unordered_map<const TComponent*, QPointer<QMenu>> menus_;
  TTrayIcon* tray_ = nullptr;
  QPointer<QSystemTrayIcon> trayIcon_;
  TWindowPresentation presentation_ = TWindowPresentation::Hidden;
  bool centred_ = false;
  bool building_ = false;
};
