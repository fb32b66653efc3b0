// The renderer's life: building the widgets for a form, following the model's changes, and
// letting go of what the model destroys.

#include "gui/form_renderer.h"

#include <QAction>
#include <QMenu>

#include "gui/form_tree.h"

TQtFormRenderer::TQtFormRenderer(TForm& form, TOptions options)
    : form_(&form),
      trayAvailable_(options.trayAvailable.value_or(QSystemTrayIcon::isSystemTrayAvailable())) {
  building_ = true;
  window_ = new TFormWindow();
  window_->setObjectName(QString::fromStdString(form.Name()));
  widgets_[form_] = window_.data();
  window_->OnUserMinimize = [this] { UserMinimize(); };
  window_->OnUserRestore = [this] { UserRestore(); };
  window_->OnCloseRequest = [this] {
    // A window with a close box closes as the model says; one without goes where its
    // minimise button would send it.
    if (form_->BorderIcons() & biSystemMenu) {
      form_->Close();
    } else {
      UserMinimize();
    }
  };
  window_->OnHelpKey = [this] { form_->Help(0, 0); };

  BuildTree(form);
  building_ = false;
  form.AddObserver(this);
  ApplyFormLook();
  ApplyAll(form);
  ForEachOwned(form, [this](TComponent& c) { ApplyAll(c); });
  ApplyTabOrder();
  ApplyTray();
  ApplyPresentation();
}

TQtFormRenderer::~TQtFormRenderer() {
  if (form_) form_->RemoveObserver(this);
  delete window_.data();
}

QWidget* TQtFormRenderer::WidgetOf(const TComponent* component) const {
  auto it = widgets_.find(component);
  return it == widgets_.end() ? nullptr : it->second.data();
}

QAction* TQtFormRenderer::ActionOf(const TMenuItem* item) const {
  auto it = actions_.find(item);
  return it == actions_.end() ? nullptr : it->second.data();
}

QMenu* TQtFormRenderer::MenuOf(const TPopupMenu* menu) const {
  auto it = menus_.find(menu);
  return it == menus_.end() ? nullptr : it->second.data();
}

void TQtFormRenderer::BuildTree(TComponent& root) {
  // Every widget exists before any is placed: a control may name a parent created after it.
  ForEachOwned(root, [this](TComponent& c) { Create(c); });
  ForEachOwned(root, [this](TComponent& c) { Place(c); });
}

void TQtFormRenderer::Forget(TComponent& c) {
  if (&c == tray_) {
    delete trayIcon_.data();
    tray_ = nullptr;
  }
  if (auto it = actions_.find(&c); it != actions_.end()) {
    delete it->second.data();
    actions_.erase(it);
  }
  if (auto it = menus_.find(&c); it != menus_.end()) {
    delete it->second.data();
    menus_.erase(it);
  }
  if (auto it = widgets_.find(&c); it != widgets_.end()) {
    delete it->second.data();  // its child widgets go with it
    widgets_.erase(it);
  }
}

void TQtFormRenderer::FormGone() {
  form_->RemoveObserver(this);
  delete trayIcon_.data();
  delete window_.data();
  widgets_.clear();
  actions_.clear();
  menus_.clear();
  tray_ = nullptr;
  form_ = nullptr;
  if (OnFormDestroyed) OnFormDestroyed();
}

void TQtFormRenderer::ComponentChanged(TComponent& c, TChange change) {
  if (!form_) return;
  if (change == TChange::Destroying) {
    if (&c == form_) {
      FormGone();
    } else {
      Forget(c);
    }
    return;
  }
  switch (change) {
    case TChange::Created:
      Create(c);
      Place(c);
      ApplyAll(c);
      ApplyTabOrder();
      if (c.Kind() == TComponentKind::TrayIcon) ApplyTray();
      break;
    case TChange::Name:
      if (QWidget* w = WidgetOf(&c)) w->setObjectName(QString::fromStdString(c.Name()));
      break;
    case TChange::Caption:
      ApplyCaption(c);
      break;
    case TChange::Bounds:
      if (&c == form_) {
        ApplyPresentation();
      } else {
        Place(c);
        if (c.Kind() == TComponentKind::Image) ApplyAppearance(c);
      }
      break;
    case TChange::Visible:
      ApplyVisible(c);
      break;
    case TChange::Enabled:
      ApplyEnabled(c);
      break;
    case TChange::Parent:
      Place(c);
      ApplyTabOrder();
      break;
    case TChange::TabOrder:
      ApplyTabOrder();
      break;
    case TChange::Appearance:
      ApplyAppearance(c);
      break;
    case TChange::LineAdded:
      ApplyMemoLines(static_cast<TMemo&>(c), true);
      break;
    case TChange::LinesReset:
      ApplyMemoLines(static_cast<TMemo&>(c), false);
      break;
    case TChange::Position:
      ApplyProgress(static_cast<TProgressBar&>(c));
      break;
    case TChange::ActivePage:
      ApplyActivePage(static_cast<TPageControl&>(c));
      break;
    case TChange::Checked:
      ApplyChecked(c);
      break;
    case TChange::Items:
      if (c.Kind() == TComponentKind::PageControl) RebuildTabs(static_cast<TPageControl&>(c));
      if (c.Kind() == TComponentKind::PopupMenu) RebuildMenu(static_cast<TPopupMenu&>(c));
      break;
    case TChange::WindowState:
      if (&c == form_) ApplyPresentation();
      break;
    case TChange::PopupMenu:
      ApplyTray();
      break;
    case TChange::Interval:
    case TChange::Destroying:
      break;
  }
}
