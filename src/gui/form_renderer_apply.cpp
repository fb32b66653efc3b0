// The model's values applied to the widgets: captions, looks, states, lines, pages, menus.

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <algorithm>

#include "gui/display_text.h"
#include "gui/form_renderer.h"
#include "gui/form_tree.h"
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

}  // namespace

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
