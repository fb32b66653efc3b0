// The window itself: its frame and font, where and how it is on screen (shown, minimised or
// behind the tray icon), the keyboard order, and what the user does to the window.

#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <algorithm>
#include <climits>

#include "gui/display_text.h"
#include "gui/form_renderer.h"
#include "gui/form_tree.h"

void TQtFormRenderer::ApplyTabOrder() {
  // Keyboard order is kept per parent, as the model numbers it; a control's own children
  // (the controls on a page) follow it before its next sibling. The window walks this list
  // itself: Qt's one focus chain for the whole window does not keep nested orders apart.
  std::unordered_map<const TControl*, std::vector<TControl*>> children;
  ForEachOwned(*form_, [&](TComponent& c) {
    switch (c.Kind()) {
      case TComponentKind::Form:
      case TComponentKind::MenuItem:
      case TComponentKind::PopupMenu:
      case TComponentKind::TrayIcon:
      case TComponentKind::Timer:
      case TComponentKind::Component:
        return;
      default:
        break;
    }
    auto& control = static_cast<TControl&>(c);
    if (WidgetOf(&c)) children[control.Parent()].push_back(&control);
  });
  std::vector<QWidget*> chain;
  std::function<void(const TControl*)> walk = [&](const TControl* parent) {
    auto it = children.find(parent);
    if (it == children.end()) return;
    std::vector<TControl*> ordered = it->second;
    // Numbered controls first by number; the rest keep their creation order.
    std::stable_sort(ordered.begin(), ordered.end(), [](const TControl* a, const TControl* b) {
      auto key = [](const TControl* c) { return c->TabOrder() < 0 ? INT_MAX : c->TabOrder(); };
      return key(a) < key(b);
    });
    for (TControl* c : ordered) {
      chain.push_back(WidgetOf(c));
      walk(c);
    }
  };
  walk(nullptr);
  if (window_) window_->focusOrder = std::move(chain);
}

void TQtFormRenderer::ApplyFormLook() {
  if (!window_) return;
  Qt::WindowFlags flags = Qt::Window;
  const unsigned icons = form_->BorderIcons();
  if (form_->BorderStyle() != TBorderStyle::Sizeable ||
      icons != (biSystemMenu | biMinimize | biMaximize)) {
    // Only the title-bar buttons the form asks for.
    flags |= Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (icons & biSystemMenu) flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (icons & biMinimize) flags |= Qt::WindowMinimizeButtonHint;
    if (icons & biMaximize && form_->BorderStyle() == TBorderStyle::Sizeable) {
      flags |= Qt::WindowMaximizeButtonHint;
    }
  }
  if (form_->BorderStyle() == TBorderStyle::None) flags = Qt::Window | Qt::FramelessWindowHint;
  if (form_->FormStyle() == TFormStyle::StayOnTop) flags |= Qt::WindowStaysOnTopHint;
  if (window_->windowFlags() != flags) {
    const bool wasVisible = window_->isVisible();
    window_->applying = true;
    window_->setWindowFlags(flags);  // hides a shown window
    if (wasVisible) window_->show();
    window_->applying = false;
  }

  QFont font(DisplayText(form_->FontName()));
  // Pixel heights keep the designed positions fitting whatever the screen's font setting.
  font.setPixelSize(std::max(1, form_->FontHeight()));
  font.setStyleHint(QFont::SansSerif);
  window_->setFont(font);
  for (auto& [component, menu] : menus_) {
    if (menu) menu->setFont(font);
  }
}

void TQtFormRenderer::ApplyPresentation() {
  if (!window_ || building_) return;
  if (form_->BorderStyle() == TBorderStyle::Sizeable) {
    window_->setMinimumSize(0, 0);
    window_->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    window_->resize(form_->Width(), form_->Height());
  } else {
    window_->setFixedSize(form_->Width(), form_->Height());
  }
  TTrayFacts facts{tray_ != nullptr, trayAvailable_, tray_ && tray_->MinimizeToTray()};
  presentation_ = DecideWindowPresentation(form_->Visible(), form_->WindowState(), facts);
  if (!centred_ && presentation_ != TWindowPresentation::Hidden) {
    // Placed once, before it is first put on screen (minimised or not), so that restoring a
    // window that started minimised brings it up where it belongs.
    QPoint place(form_->Left(), form_->Top());
    if (form_->Position() != TPosition::Designed) {
      if (QScreen* screen = QGuiApplication::primaryScreen()) {
        place = screen->availableGeometry().center() - window_->rect().center();
      }
    }
    window_->move(place);
    centred_ = true;
  }
  window_->applying = true;
  switch (presentation_) {
    case TWindowPresentation::Hidden:
      window_->hide();
      break;
    case TWindowPresentation::Shown:
      window_->showNormal();
      window_->raise();
      window_->activateWindow();
      break;
    case TWindowPresentation::Minimized:
      window_->showMinimized();
      break;
  }
  window_->applying = false;
}

void TQtFormRenderer::SetTrayAvailable(bool available) {
  if (available == trayAvailable_) return;
  trayAvailable_ = available;
  ApplyTray();
  ApplyPresentation();
}

void TQtFormRenderer::UserMinimize() {
  if (tray_ && trayAvailable_ && tray_->MinimizeToTray()) {
    // To the tray: the icon comes, the window goes.
    tray_->SetVisible(true);
  }
  form_->SetWindowState(TWindowState::Minimized);
  ApplyPresentation();
}

void TQtFormRenderer::UserRestore() {
  // Back from the task bar: as if the icon's default entry was chosen, which brings the
  // window back the way the program does it.
  if (tray_ && (!form_->Visible() || tray_->Visible())) tray_->DoubleClick();
  form_->SetWindowState(TWindowState::Normal);
  form_->Show();
  ApplyPresentation();
}
