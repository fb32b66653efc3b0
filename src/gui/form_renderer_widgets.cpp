// The widget for each kind of component, where the model puts it, and the user's input on
// it going back to the model.

#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "gui/form_renderer.h"
#include "gui/form_tree.h"
#include "gui/memo_widget.h"
#include "gui/painted_controls.h"
#include "gui/pictures.h"

void TQtFormRenderer::Create(TComponent& c) {
  if (widgets_.count(&c) || actions_.count(&c) || menus_.count(&c)) return;
  QWidget* w = nullptr;
  switch (c.Kind()) {
    case TComponentKind::Label: {
      auto* label = new QLabel(window_);
      label->setTextFormat(Qt::PlainText);
      w = label;
      break;
    }
    case TComponentKind::Button: {
      auto* button = new QPushButton(window_);
      auto* control = static_cast<TControl*>(&c);
      QObject::connect(button, &QPushButton::clicked, [control] { control->Click(); });
      w = button;
      break;
    }
    case TComponentKind::CheckBox:
    case TComponentKind::RadioButton: {
      QAbstractButton* box = c.Kind() == TComponentKind::CheckBox
                                 ? static_cast<QAbstractButton*>(new QCheckBox(window_))
                                 : new QRadioButton(window_);
      // The model keeps radio groups itself (see UserChecked).
      box->setAutoExclusive(false);
      TComponent* component = &c;
      QObject::connect(box, &QAbstractButton::clicked,
                       [this, component](bool checked) { UserChecked(*component, checked); });
      w = box;
      break;
    }
    case TComponentKind::GroupBox:
      w = new QGroupBox(window_);
      break;
    case TComponentKind::TabSheet:
      w = new QWidget(window_);
      break;
    case TComponentKind::PageControl: {
      auto* tabs = new QTabWidget(window_);
      auto* pageControl = static_cast<TPageControl*>(&c);
      QObject::connect(tabs, &QTabWidget::currentChanged, [pageControl](int index) {
        if (index >= 0 && index < pageControl->PageCount()) {
          pageControl->SetActivePage(pageControl->Pages()[static_cast<size_t>(index)]);
        }
      });
      w = tabs;
      break;
    }
    case TComponentKind::ProgressBar: {
      auto* bar = new QProgressBar(window_);
      bar->setTextVisible(false);
      w = bar;
      break;
    }
    case TComponentKind::Memo: {
      auto* memo = new TMemoWidget(window_);
      // Tab moves on to the next control, as in every other control of the window.
      memo->setTabChangesFocus(true);
      w = memo;
      break;
    }
    case TComponentKind::Image:
      w = new TPictureWidget(window_);
      break;
    case TComponentKind::Bevel:
      w = new TBevelWidget(window_);
      break;
    case TComponentKind::GradientBand:
      w = new TGradientWidget(window_);
      break;
    case TComponentKind::MenuItem: {
      auto* action = new QAction(window_);
      auto* item = static_cast<TMenuItem*>(&c);
      QObject::connect(action, &QAction::triggered, [item] { item->Click(); });
      action->setObjectName(QString::fromStdString(c.Name()));
      actions_[&c] = action;
      return;
    }
    case TComponentKind::PopupMenu: {
      auto* menu = new QMenu(window_);
      menu->setObjectName(QString::fromStdString(c.Name()));
      menus_[&c] = menu;
      return;
    }
    case TComponentKind::TrayIcon: {
      if (tray_) return;  // one icon per program
      tray_ = static_cast<TTrayIcon*>(&c);
      trayIcon_ = new QSystemTrayIcon(ProgramIcon(), window_);
      QObject::connect(trayIcon_.data(), &QSystemTrayIcon::activated,
                       [this](QSystemTrayIcon::ActivationReason reason) {
                         // A click or a double click chooses the menu's default entry.
                         if (tray_ && (reason == QSystemTrayIcon::Trigger ||
                                       reason == QSystemTrayIcon::DoubleClick)) {
                           tray_->DoubleClick();
                         }
                       });
      return;
    }
    case TComponentKind::Form:
    case TComponentKind::Component:
    case TComponentKind::Timer:
      return;
  }
  w->setObjectName(QString::fromStdString(c.Name()));
  widgets_[&c] = w;
}

QWidget* TQtFormRenderer::ParentWidgetOf(const TControl& control) const {
  if (control.Parent()) {
    if (QWidget* parent = WidgetOf(control.Parent())) return parent;
  }
  return window_;
}

void TQtFormRenderer::Place(TComponent& c) {
  if (c.Kind() == TComponentKind::TabSheet) {
    if (auto* pc = static_cast<TTabSheet&>(c).PageControl()) RebuildTabs(*pc);
    return;
  }
  QWidget* w = WidgetOf(&c);
  if (!w || w == window_) return;
  auto& control = static_cast<TControl&>(c);
  QWidget* parent = ParentWidgetOf(control);
  if (w->parentWidget() != parent) {
    w->setParent(parent);  // hides the widget; ApplyVisible shows it again
    ApplyVisible(c);
  }
  // A client-aligned control fills its parent through a layout of its own; the parent's
  // other controls stay where the model puts them, as a layout only moves what it holds.
  QLayout* layout = parent->layout();
  if (control.Align() == TAlign::Client) {
    if (!layout) {
      layout = new QVBoxLayout(parent);
      layout->setContentsMargins(0, 0, 0, 0);
      layout->setSpacing(0);
    }
    if (layout->indexOf(w) < 0) layout->addWidget(w);
  } else {
    if (layout && layout->indexOf(w) >= 0) layout->removeWidget(w);
    w->setGeometry(control.Left(), control.Top(), control.Width(), control.Height());
  }
}

void TQtFormRenderer::UserChecked(TComponent& c, bool checked) {
  auto& box = static_cast<TCheckControl&>(c);
  if (c.Kind() == TComponentKind::RadioButton) {
    // A radio button is only ever switched on by the user; its siblings go off.
    checked = true;
    ForEachOwned(*form_, [&](TComponent& other) {
      if (&other != &c && other.Kind() == TComponentKind::RadioButton &&
          static_cast<TControl&>(other).Parent() == box.Parent()) {
        static_cast<TCheckControl&>(other).SetChecked(false);
      }
    });
  }
  box.SetChecked(checked);
  box.Click();
}
