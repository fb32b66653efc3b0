#include "gui/form_renderer.h"

#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>

#include "gui/display_text.h"
#include "gui/memo_widget.h"
#include "gui/painted_controls.h"
#include "gui/pictures.h"

namespace {

Qt::Alignment LabelAlignment(TAlignment alignment) {
  switch (alignment) {
    case TAlignment::LeftJustify:
      return Qt::AlignLeft | Qt::AlignTop;
    case TAlignment::RightJustify:
      return Qt::AlignRight | Qt::AlignTop;
    case TAlignment::Center:
      return Qt::AlignHCenter | Qt::AlignTop;
  }
  return Qt::AlignLeft | Qt::AlignTop;
}

template <class W>
W* As(QWidget* w) {
  return dynamic_cast<W*>(w);
}

void ForEachOwned(TComponent& component, const std::function<void(TComponent&)>& visit) {
  for (TComponent* c : component.Components()) {
    visit(*c);
    ForEachOwned(*c, visit);
  }
}

}  // namespace

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

void TQtFormRenderer::ApplyAll(TComponent& c) {
  ApplyCaption(c);
  ApplyAppearance(c);
  ApplyEnabled(c);
  ApplyVisible(c);
  switch (c.Kind()) {
    case TComponentKind::Memo:
      ApplyMemoLines(static_cast<TMemo&>(c), false);
      break;
    case TComponentKind::ProgressBar:
      ApplyProgress(static_cast<TProgressBar&>(c));
      break;
    case TComponentKind::CheckBox:
    case TComponentKind::RadioButton:
      ApplyChecked(c);
      break;
    case TComponentKind::PageControl:
      RebuildTabs(static_cast<TPageControl&>(c));
      break;
    case TComponentKind::PopupMenu:
      RebuildMenu(static_cast<TPopupMenu&>(c));
      break;
    default:
      break;
  }
}

void TQtFormRenderer::ApplyCaption(TComponent& c) {
  if (c.Kind() == TComponentKind::MenuItem) {
    if (QAction* a = ActionOf(static_cast<TMenuItem*>(&c))) {
      a->setText(DisplayText(static_cast<TMenuItem&>(c).Caption()));
    }
    return;
  }
  if (c.Kind() == TComponentKind::TrayIcon) {
    if (&c == tray_ && trayIcon_) trayIcon_->setToolTip(DisplayText(tray_->Hint()));
    return;
  }
  QWidget* w = WidgetOf(&c);
  if (!w) return;
  const QString text = DisplayText(static_cast<TControl&>(c).Caption());
  switch (c.Kind()) {
    case TComponentKind::Form:
      w->setWindowTitle(text);
      break;
    case TComponentKind::Label:
      As<QLabel>(w)->setText(WithoutMnemonics(text));
      break;
    case TComponentKind::Button:
    case TComponentKind::CheckBox:
    case TComponentKind::RadioButton:
      As<QAbstractButton>(w)->setText(text);
      break;
    case TComponentKind::GroupBox:
      As<QGroupBox>(w)->setTitle(text);
      break;
    case TComponentKind::TabSheet: {
      auto& sheet = static_cast<TTabSheet&>(c);
      if (sheet.PageControl()) {
        if (auto* tabs = As<QTabWidget>(WidgetOf(sheet.PageControl()))) {
          int index = tabs->indexOf(w);
          if (index >= 0) tabs->setTabText(index, text);
        }
      }
      break;
    }
    default:
      break;
  }
}

void TQtFormRenderer::ApplyVisible(TComponent& c) {
  switch (c.Kind()) {
    case TComponentKind::Form:
      if (&c == form_) ApplyPresentation();
      return;
    case TComponentKind::MenuItem:
      if (QAction* a = ActionOf(static_cast<TMenuItem*>(&c))) {
        a->setVisible(static_cast<TMenuItem&>(c).Visible());
      }
      return;
    case TComponentKind::TrayIcon:
      ApplyTray();
      ApplyPresentation();
      return;
    case TComponentKind::TabSheet:
      return;  // the tab widget shows its current page only
    default:
      break;
  }
  if (QWidget* w = WidgetOf(&c)) w->setVisible(static_cast<TControl&>(c).Visible());
}

void TQtFormRenderer::ApplyEnabled(TComponent& c) {
  if (c.Kind() == TComponentKind::MenuItem) {
    if (QAction* a = ActionOf(static_cast<TMenuItem*>(&c))) {
      a->setEnabled(static_cast<TMenuItem&>(c).Enabled());
    }
    return;
  }
  if (c.Kind() == TComponentKind::Form || c.Kind() == TComponentKind::TrayIcon) return;
  if (QWidget* w = WidgetOf(&c)) w->setEnabled(static_cast<TControl&>(c).Enabled());
}

void TQtFormRenderer::ApplyAppearance(TComponent& c) {
  QWidget* w = WidgetOf(&c);
  switch (c.Kind()) {
    case TComponentKind::Form:
      if (&c == form_) ApplyFormLook();
      break;
    case TComponentKind::Label: {
      auto& label = static_cast<TLabel&>(c);
      As<QLabel>(w)->setAlignment(LabelAlignment(label.Alignment()));
      // Labels show their parent's colour, transparent or not; over the header band that is
      // the band itself.
      w->setAutoFillBackground(false);
      break;
    }
    case TComponentKind::Image: {
      auto& image = static_cast<TImage&>(c);
      As<TPictureWidget>(w)->SetImage(
          PictureByName(image.Picture(), std::max(1, image.Width()), std::max(1, image.Height())));
      break;
    }
    case TComponentKind::Bevel: {
      auto& bevel = static_cast<TBevel&>(c);
      As<TBevelWidget>(w)->SetShape(bevel.Shape(), bevel.Style());
      break;
    }
    case TComponentKind::GradientBand: {
      auto& band = static_cast<TGradientBand&>(c);
      As<TGradientWidget>(w)->SetGradient(band.StartColor(), band.EndColor(), band.Steps(),
                                          band.Horizontal());
      break;
    }
    case TComponentKind::MenuItem: {
      auto& item = static_cast<TMenuItem&>(c);
      if (QAction* a = ActionOf(&item)) {
        // The default entry stands out in bold, as the double click chooses it.
        QFont font = a->font();
        font.setBold(item.Default());
        a->setFont(font);
      }
      break;
    }
    case TComponentKind::Memo: {
      auto& memo = static_cast<TMemo&>(c);
      auto* edit = As<QPlainTextEdit>(w);
      edit->setReadOnly(memo.ReadOnly());
      const TScrollStyle bars = memo.ScrollBars();
      const bool vertical = bars == TScrollStyle::Vertical || bars == TScrollStyle::Both;
      const bool horizontal = bars == TScrollStyle::Horizontal || bars == TScrollStyle::Both;
      edit->setVerticalScrollBarPolicy(vertical ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
      edit->setHorizontalScrollBarPolicy(horizontal ? Qt::ScrollBarAlwaysOn
                                                    : Qt::ScrollBarAlwaysOff);
      // Lines wrap unless the memo scrolls sideways.
      edit->setLineWrapMode(horizontal ? QPlainTextEdit::NoWrap : QPlainTextEdit::WidgetWidth);
      break;
    }
    default:
      break;
  }
}

void TQtFormRenderer::ApplyMemoLines(TMemo& memo, bool appended) {
  auto* edit = As<QPlainTextEdit>(WidgetOf(&memo));
  if (!edit) return;
  const auto& lines = memo.Lines().Strings();
  if (appended && !lines.empty()) {
    // One line more: the first replaces the empty text, later ones go below.
    if (lines.size() == 1) {
      edit->setPlainText(DisplayText(lines.back()));
    } else {
      edit->appendPlainText(DisplayText(lines.back()));
    }
  } else {
    QStringList all;
    all.reserve(static_cast<qsizetype>(lines.size()));
    for (const std::string& line : lines) all.append(DisplayText(line));
    edit->setPlainText(all.join(u'\n'));
  }
  // The newest line is the one to see.
  if (auto* memoWidget = As<TMemoWidget>(edit)) memoWidget->ShowNewest();
}

void TQtFormRenderer::ApplyProgress(TProgressBar& bar) {
  if (auto* w = As<QProgressBar>(WidgetOf(&bar))) {
    w->setRange(bar.Min(), bar.Max());
    w->setValue(bar.Position());
  }
}

void TQtFormRenderer::ApplyChecked(TComponent& c) {
  if (auto* w = As<QAbstractButton>(WidgetOf(&c))) {
    w->setChecked(static_cast<TCheckControl&>(c).Checked());
  }
}

void TQtFormRenderer::ApplyActivePage(TPageControl& pc) {
  auto* tabs = As<QTabWidget>(WidgetOf(&pc));
  if (!tabs) return;
  QSignalBlocker block(tabs);
  QWidget* page = pc.ActivePage() ? WidgetOf(pc.ActivePage()) : nullptr;
  if (page && tabs->indexOf(page) >= 0) tabs->setCurrentWidget(page);
}

void TQtFormRenderer::RebuildTabs(TPageControl& pc) {
  auto* tabs = As<QTabWidget>(WidgetOf(&pc));
  if (!tabs) return;
  QSignalBlocker block(tabs);
  while (tabs->count() > 0) tabs->removeTab(0);
  for (TTabSheet* sheet : pc.Pages()) {
    if (QWidget* page = WidgetOf(sheet)) tabs->addTab(page, DisplayText(sheet->Caption()));
  }
  ApplyActivePage(pc);
}

void TQtFormRenderer::RebuildMenu(TPopupMenu& menu) {
  QMenu* qmenu = MenuOf(&menu);
  if (!qmenu) return;
  qmenu->clear();
  for (TMenuItem* item : menu.Items()) {
    if (QAction* action = ActionOf(item)) qmenu->addAction(action);
  }
}

void TQtFormRenderer::ApplyTray() {
  if (!tray_ || !trayIcon_) return;
  trayIcon_->setContextMenu(tray_->PopupMenu() ? MenuOf(tray_->PopupMenu()) : nullptr);
  trayIcon_->setToolTip(DisplayText(tray_->Hint()));
  trayIcon_->setVisible(trayAvailable_ && tray_->Visible());
}

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
