#include "gui/form_renderer.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTextBlock>
#include <memory>

#include "gui/painted_controls.h"

namespace {

// A small form of every kind the renderer knows, independent of the proxy's window.
struct TTestForm : TForm {
  TTestForm() {
    SetName("TestForm");
    SetCaption(
        "Pr\xfc"
        "fung");
    SetBounds(0, 0, 300, 240);
    SetBorder(TBorderStyle::Single, 0);
    SetPosition(TPosition::DesktopCenter);
    Label = Make<TLabel>("Label", 4, 4, 200, 14);
    Label->SetCaption("&Stufe \xe4");
    Button = Make<TButton>("Button", 4, 200, 80, 25);
    Button->SetCaption("&Los");
    Button->SetTabOrder(1);
    Box = Make<TCheckBox>("Box", 100, 200, 80, 20);
    Box->SetTabOrder(0);
    Pages = Make<TPageControl>("Pages", 4, 24, 290, 150);
    Pages->SetTabOrder(2);
    First = NewComponent<TTabSheet>(this, "First");
    First->SetCaption("Eins");
    First->SetPageControl(Pages);
    Second = NewComponent<TTabSheet>(this, "Second");
    Second->SetCaption("Zwei");
    Second->SetPageControl(Pages);
    RadioA = Make<TRadioButton>("RadioA", 4, 4, 60, 20, First);
    RadioB = Make<TRadioButton>("RadioB", 4, 30, 60, 20, First);
    Mark = Make<TImage>("Mark", 100, 4, 18, 18, First);
    Mark->SetPicture("checkmark");
    Bar = Make<TProgressBar>("Bar", 100, 40, 100, 16, First);
    Log = NewComponent<TMemo>(this, "Log");
    Log->SetParent(Second);
    Log->SetAlign(TAlign::Client);
    Log->SetReadOnly(true);
    Log->SetScrollBars(TScrollStyle::Vertical);
    Menu = NewComponent<TPopupMenu>(this, "Menu");
    ShowItem = NewComponent<TMenuItem>(this, "ShowItem");
    ShowItem->SetCaption("&Anzeigen");
    ShowItem->SetDefault(true);
    Menu->Add(ShowItem);
    Tray = NewComponent<TTrayIcon>(this, "Tray");
    Tray->SetPopupMenu(Menu);
    Tray->SetMinimizeToTray(true);
    ShowItem->OnClick = [this](TComponent&) {
      Tray->SetVisible(false);
      SetWindowState(TWindowState::Normal);
      Show();
    };
  }

  template <class T>
  T* Make(const char* name, int l, int t, int w, int h, TControl* parent = nullptr) {
    T* c = NewComponent<T>(this, name);
    c->SetParent(parent);
    c->SetBounds(l, t, w, h);
    return c;
  }

  TLabel* Label;
  TButton* Button;
  TCheckBox* Box;
  TPageControl* Pages;
  TTabSheet *First, *Second;
  TRadioButton *RadioA, *RadioB;
  TImage* Mark;
  TProgressBar* Bar;
  TMemo* Log;
  TPopupMenu* Menu;
  TMenuItem* ShowItem;
  TTrayIcon* Tray;
};

class FormRendererTest : public ::testing::Test {
 protected:
  void Attach(bool trayAvailable) {
    renderer = std::make_unique<TQtFormRenderer>(form, TQtFormRenderer::TOptions{trayAvailable});
  }
  template <class W>
  W* Widget(const TComponent* c) {
    auto* w = dynamic_cast<W*>(renderer->WidgetOf(c));
    EXPECT_NE(w, nullptr) << c->Name();
    return w;
  }

  TTestForm form;
  std::unique_ptr<TQtFormRenderer> renderer;
};

TEST_F(FormRendererTest, BuildsWidgetsByKindWhereTheModelPlacesThem) {
  Attach(true);
  TFormWindow* window = renderer->Window();
  EXPECT_EQ(window->windowTitle(), QStringLiteral(u"Prüfung"));
  EXPECT_EQ(window->size(), QSize(300, 240));
  EXPECT_EQ(window->minimumSize(), window->maximumSize());  // fixed single border
  EXPECT_FALSE(window->windowFlags() & Qt::WindowCloseButtonHint);
  EXPECT_FALSE(window->windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_EQ(window->font().pixelSize(), 11);

  EXPECT_EQ(Widget<QLabel>(form.Label)->text(), QStringLiteral(u"Stufe ä"));
  EXPECT_EQ(Widget<QPushButton>(form.Button)->text(), QStringLiteral("&Los"));
  EXPECT_EQ(Widget<QPushButton>(form.Button)->geometry(), QRect(4, 200, 80, 25));
  auto* tabs = Widget<QTabWidget>(form.Pages);
  ASSERT_EQ(tabs->count(), 2);
  EXPECT_EQ(tabs->tabText(1), QStringLiteral("Zwei"));
  // Controls on a page sit inside that page; the client-aligned memo fills it.
  EXPECT_EQ(Widget<QRadioButton>(form.RadioA)->parentWidget(), tabs->widget(0));
  EXPECT_EQ(Widget<QPlainTextEdit>(form.Log)->parentWidget(), tabs->widget(1));
  tabs->setCurrentIndex(1);
  form.Show();
  EXPECT_EQ(Widget<QPlainTextEdit>(form.Log)->geometry(), tabs->widget(1)->rect());
  EXPECT_GT(Widget<QPlainTextEdit>(form.Log)->width(), 250);
  EXPECT_TRUE(Widget<QPlainTextEdit>(form.Log)->isReadOnly());
  EXPECT_EQ(Widget<QPlainTextEdit>(form.Log)->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  EXPECT_FALSE(Widget<TPictureWidget>(form.Mark)->Image().isNull());

  // Keyboard order as the model numbers it: check box, button, page control, then the
  // controls of the page in view.
  TFormWindow* w = renderer->Window();
  EXPECT_EQ(w->NextInKeyboardOrder(Widget<QCheckBox>(form.Box), true),
            Widget<QPushButton>(form.Button));
  EXPECT_EQ(w->NextInKeyboardOrder(Widget<QPushButton>(form.Button), true), tabs);
  tabs->setCurrentIndex(0);
  EXPECT_EQ(w->NextInKeyboardOrder(tabs, true), Widget<QRadioButton>(form.RadioA));
  EXPECT_EQ(w->NextInKeyboardOrder(Widget<QCheckBox>(form.Box), false),
            Widget<QRadioButton>(form.RadioB));
}

TEST_F(FormRendererTest, EveryModelChangeShowsAtOnce) {
  Attach(true);
  form.Label->SetCaption("Neu");
  EXPECT_EQ(Widget<QLabel>(form.Label)->text(), QStringLiteral("Neu"));
  form.Button->SetEnabled(false);
  EXPECT_FALSE(Widget<QPushButton>(form.Button)->isEnabled());
  form.Label->SetBounds(10, 12, 50, 14);
  EXPECT_EQ(Widget<QLabel>(form.Label)->geometry(), QRect(10, 12, 50, 14));
  form.Label->Hide();
  EXPECT_TRUE(Widget<QLabel>(form.Label)->isHidden());
  form.Bar->SetRange(0, 10);
  form.Bar->SetPosition(7);
  EXPECT_EQ(Widget<QProgressBar>(form.Bar)->value(), 7);
  EXPECT_EQ(Widget<QProgressBar>(form.Bar)->maximum(), 10);
  form.Box->SetChecked(true);
  EXPECT_TRUE(Widget<QCheckBox>(form.Box)->isChecked());
  form.Pages->SetActivePage(form.Second);
  EXPECT_EQ(Widget<QTabWidget>(form.Pages)->currentIndex(), 1);
  form.Second->SetCaption("Protokoll");
  EXPECT_EQ(Widget<QTabWidget>(form.Pages)->tabText(1), QStringLiteral("Protokoll"));
  form.ShowItem->SetCaption("Zeigen");
  EXPECT_EQ(renderer->ActionOf(form.ShowItem)->text(), QStringLiteral("Zeigen"));
  form.ShowItem->SetVisible(false);
  EXPECT_FALSE(renderer->ActionOf(form.ShowItem)->isVisible());
}

TEST_F(FormRendererTest, MemoFollowsItsLinesAndShowsTheNewest) {
  form.Log->Lines().Add("vorher");
  Attach(true);
  auto* memo = Widget<QPlainTextEdit>(form.Log);
  EXPECT_EQ(memo->toPlainText(), QStringLiteral("vorher"));
  form.Pages->SetActivePage(form.Second);
  renderer->Window()->show();
  for (int i = 0; i < 200; ++i) form.Log->Lines().Add("Zeile " + std::to_string(i) + " \xfc");
  EXPECT_EQ(memo->document()->blockCount(), 201);
  EXPECT_EQ(memo->document()->lastBlock().text(), QStringLiteral(u"Zeile 199 ü"));
  QScrollBar* bar = memo->verticalScrollBar();
  EXPECT_GT(bar->maximum(), 0);
  EXPECT_EQ(bar->value(), bar->maximum());
  form.Log->Lines().Clear();
  EXPECT_EQ(memo->toPlainText(), QString());
  form.Log->Lines().Add("a\r\nb");
  EXPECT_EQ(memo->toPlainText(), QStringLiteral("a\nb"));
}

TEST_F(FormRendererTest, UserActionsReachTheModel) {
  Attach(true);
  int clicks = 0;
  form.Button->OnClick = [&](TComponent&) { ++clicks; };
  Widget<QPushButton>(form.Button)->click();
  EXPECT_EQ(clicks, 1);

  Widget<QCheckBox>(form.Box)->click();
  EXPECT_TRUE(form.Box->Checked());
  form.RadioA->SetChecked(true);
  Widget<QRadioButton>(form.RadioB)->click();
  EXPECT_TRUE(form.RadioB->Checked());
  EXPECT_FALSE(form.RadioA->Checked());
  EXPECT_FALSE(Widget<QRadioButton>(form.RadioA)->isChecked());

  Widget<QTabWidget>(form.Pages)->setCurrentIndex(1);
  EXPECT_EQ(form.Pages->ActivePage(), form.Second);

  bool chosen = false;
  form.ShowItem->OnClick = [&](TComponent&) { chosen = true; };
  renderer->MenuOf(form.Menu)->actions().at(0)->trigger();
  EXPECT_TRUE(chosen);
  EXPECT_TRUE(renderer->MenuOf(form.Menu)->actions().at(0)->font().bold());
  chosen = false;
  emit renderer->TrayIcon()->activated(QSystemTrayIcon::DoubleClick);
  EXPECT_TRUE(chosen);
}

TEST_F(FormRendererTest, WithATrayTheWindowGoesBehindTheIcon) {
  Attach(true);
  TFormWindow* window = renderer->Window();
  EXPECT_FALSE(window->isVisible());  // forms start hidden
  form.ShowItem->Click();
  EXPECT_TRUE(window->isVisible());
  EXPECT_FALSE(renderer->TrayIcon()->isVisible());
  EXPECT_EQ(window->pos(),
            window->screen()->availableGeometry().center() - window->rect().center());

  // The user minimises: to the tray, the icon comes back.
  window->setWindowState(Qt::WindowMinimized);
  EXPECT_TRUE(form.Tray->Visible());
  EXPECT_EQ(form.WindowState(), TWindowState::Minimized);
  EXPECT_EQ(renderer->Presentation(), TWindowPresentation::Hidden);
  EXPECT_FALSE(window->isVisible());
  form.Tray->DoubleClick();
  EXPECT_TRUE(window->isVisible());

  // A close request on a window without close box sends it to the tray, it ends nothing.
  window->close();
  EXPECT_FALSE(window->isVisible());
  EXPECT_TRUE(form.Tray->Visible());
}

TEST_F(FormRendererTest, WithoutATrayTheWindowMinimisesInstead) {
  Attach(false);
  TFormWindow* window = renderer->Window();
  EXPECT_EQ(renderer->Presentation(), TWindowPresentation::Minimized);
  EXPECT_TRUE(window->isMinimized());
  form.ShowItem->Click();
  EXPECT_EQ(renderer->Presentation(), TWindowPresentation::Shown);
  EXPECT_FALSE(window->isMinimized());
  form.Tray->SetVisible(true);
  form.Hide();
  EXPECT_TRUE(window->isMinimized());
  EXPECT_FALSE(renderer->TrayIcon()->isVisible());
  // Restored from the task bar: the model's way back runs.
  window->setWindowState(Qt::WindowNoState);
  EXPECT_TRUE(form.Visible());
  EXPECT_FALSE(form.Tray->Visible());
  EXPECT_EQ(renderer->Presentation(), TWindowPresentation::Shown);
}

TEST_F(FormRendererTest, FollowsTheTrayComingAndGoing) {
  Attach(false);
  TFormWindow* window = renderer->Window();
  form.Tray->SetVisible(true);
  EXPECT_TRUE(window->isMinimized());
  // A panel starts late: the window goes behind the icon.
  renderer->SetTrayAvailable(true);
  EXPECT_FALSE(window->isVisible());
  EXPECT_TRUE(renderer->TrayIcon()->isVisible());
  // The panel goes away: the window must be reachable again.
  renderer->SetTrayAvailable(false);
  EXPECT_TRUE(window->isMinimized());
  EXPECT_FALSE(renderer->TrayIcon()->isVisible());
}

TEST_F(FormRendererTest, FollowsComponentsMadeAndDestroyedLater) {
  Attach(true);
  TLabel* late = form.Make<TLabel>("Late", 1, 2, 30, 14, form.First);
  late->SetCaption("sp\xe4t");
  auto* widget = Widget<QLabel>(late);
  ASSERT_NE(widget, nullptr);
  EXPECT_EQ(widget->text(), QStringLiteral(u"spät"));
  EXPECT_EQ(widget->parentWidget(), Widget<QTabWidget>(form.Pages)->widget(0));
  delete late;
  EXPECT_EQ(renderer->WidgetOf(late), nullptr);
}

TEST(FormRendererLifeTest, LetsGoWhenTheFormIsDestroyed) {
  auto form = std::make_unique<TTestForm>();
  TQtFormRenderer renderer(*form, TQtFormRenderer::TOptions{true});
  int gone = 0;
  renderer.OnFormDestroyed = [&] { ++gone; };
  form->ShowItem->Click();
  form.reset();
  EXPECT_EQ(gone, 1);
  EXPECT_EQ(renderer.Window(), nullptr);
  EXPECT_EQ(renderer.TrayIcon(), nullptr);
}

}  // namespace
