// The proxy's window as the user sees it: walked through a mail check on the offscreen
// platform, drawn to PNG files at each stage (build folder, gui-screens/), and the exit
// confirmation answered both ways.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QFontInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTextBlock>
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>

#include "app/standard_texts.h"
#include "app/text_table.h"
#include "app/translate_component.h"
#include "gui/display_text.h"
#include "gui/form_renderer.h"
#include "gui/painted_controls.h"
#include "gui/qt_message_box.h"
#include "modal_answer.h"
#include "platform/application.h"
#include "platform/dialog_texts.h"
#include "proxy/main_form.h"

namespace {

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The window listens as it is made; a private high port keeps clear of anything running.
    setenv("BRINDLECAP_LISTEN_PORT", std::to_string(21000 + getpid() % 20000).c_str(), 1);
    savedTexts = DialogTexts();
    // The German texts file as it ships: Windows-1252 bytes, so umlauts must be decoded.
    LoadTextTable(DEFAULT_TEXTS_FILE);
    ReadStandardTexts();
    PatchStandardTexts();
    form = std::make_unique<TFormVazireRevivo>();
    SetMainForm(form.get());
    form->SetWindowState(TWindowState::Minimized);
    TranslateComponent(*form);
    // The offscreen platform has no tray, which is the fallback a bare desktop gets too.
    renderer = std::make_unique<TQtFormRenderer>(*form, TQtFormRenderer::TOptions{false});
  }
  void TearDown() override {
    renderer.reset();
    form.reset();
    SetMessageDlgHandler(nullptr);
    ClearTextTable();
    DialogTexts() = savedTexts;
  }

  template <class W>
  W* Widget(const TComponent* c) {
    auto* w = dynamic_cast<W*>(renderer->WidgetOf(c));
    EXPECT_NE(w, nullptr) << c->Name();
    return w;
  }
  bool StepShown(const TImage* image) {
    QWidget* w = renderer->WidgetOf(image);
    return w && w->isVisibleTo(renderer->Window());
  }
  void Snapshot(const char* name) {
    QImage shot = renderer->Window()->grab().toImage();
    ASSERT_EQ(shot.size(), QSize(446, 390));
    EXPECT_TRUE(shot.save(QString(GUI_SCREENS_DIR "/") + name + ".png")) << name;
  }

  TDialogTexts savedTexts;
  std::unique_ptr<TFormVazireRevivo> form;
  std::unique_ptr<TQtFormRenderer> renderer;
};

TEST_F(MainWindowTest, StartsBehindTheTrayAndShowsTheDesign) {
  TFormWindow* window = renderer->Window();
  // No tray here: minimised instead of hidden, so it can be reached.
  EXPECT_EQ(renderer->Presentation(), TWindowPresentation::Minimized);
  form->TrayMenu_AnzeigenClick();
  EXPECT_EQ(renderer->Presentation(), TWindowPresentation::Shown);
  EXPECT_EQ(window->size(), QSize(446, 390));
  EXPECT_TRUE(window->windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_EQ(window->font().pixelSize(), 11);
  EXPECT_EQ(window->font().family(), QStringLiteral("Arial"));
  // Arial's metric twin stands in where Arial itself is missing; the design's widths need it.
  const QString face = QFontInfo(window->font()).family();
  EXPECT_TRUE(face == QLatin1String("Arial") || face == QLatin1String("Liberation Sans"))
      << face.toStdString();
  EXPECT_EQ(QFontInfo(window->font()).pixelSize(), 11);
  EXPECT_EQ(Widget<QLabel>(form->Label_hinweis1)->text(),
            QStringLiteral(u"Brindlecap - Schutz vor gefährlichen E-Mail-Anhängen"));
  EXPECT_EQ(Widget<QLabel>(form->Label_ATTACHMENTS)->text(), QStringLiteral(u"Anhänge überprüfen"));
  EXPECT_EQ(Widget<QLabel>(form->Label_hinweis1)->geometry(), QRect(4, 4, 437, 19));
  EXPECT_EQ(Widget<QPushButton>(form->Button1)->geometry(), QRect(280, 360, 75, 25));
  EXPECT_EQ(Widget<TGradientWidget>(form->Gradient_Header)->geometry(), QRect(0, 0, 446, 44));
  EXPECT_EQ(Widget<QTabWidget>(form->PageControl1)->count(), 3);
  for (TImage* image : form->StepImages()) EXPECT_FALSE(StepShown(image));

  // Keyboard order: page control, Config, Reset, Help, Cancel, then Button1.
  std::vector<QWidget*> order = {
      Widget<QTabWidget>(form->PageControl1),      Widget<QPushButton>(form->Button_CONFIG),
      Widget<QPushButton>(form->Button_RESET),     Widget<QPushButton>(form->Button_Help),
      Widget<QPushButton>(form->Button_Abbrechen), Widget<QPushButton>(form->Button1)};
  // Tab walks them in that order and round again (Cancel is disabled while nothing runs).
  form->Button_Abbrechen->SetEnabled(true);
  TFormWindow* w = renderer->Window();
  std::vector<QWidget*> walked = {order[0]};
  for (size_t i = 0; i < order.size(); ++i) {
    walked.push_back(w->NextInKeyboardOrder(walked.back(), true));
  }
  order.push_back(order[0]);
  EXPECT_EQ(walked, order);
  // From inside the page control (its tab bar) on to Config, and back. The controls of the
  // page in view come between; the progress page has none that takes focus, the log has one.
  QWidget* tabBar = order[0]->findChild<QTabBar*>();
  EXPECT_EQ(w->NextInKeyboardOrder(tabBar, true), order[1]);
  EXPECT_EQ(w->NextInKeyboardOrder(order[1], false), order[0]);
  form->PageControl1->SetActivePage(form->TabSheet_LOG);
  QWidget* memo = Widget<QPlainTextEdit>(form->Memo_LOG);
  EXPECT_EQ(w->NextInKeyboardOrder(order[0], true), memo);
  EXPECT_EQ(w->NextInKeyboardOrder(memo, true), order[1]);
  form->PageControl1->SetActivePage(form->TabSheet_Fortschritt);
  form->Button_Abbrechen->SetEnabled(false);
  EXPECT_EQ(w->NextInKeyboardOrder(order[3], true), order[5]);
  Snapshot("1-idle");

  // The send-to-tray button: without a tray the window minimises.
  Widget<QPushButton>(form->Button1)->click();
  EXPECT_TRUE(window->isMinimized());
}

TEST_F(MainWindowTest, FollowsAMailCheckToTheResults) {
  form->TrayMenu_AnzeigenClick();
  form->Memo_LOG->Lines().Clear();
  form->Button_RESET->SetEnabled(false);
  form->Button_Abbrechen->SetEnabled(true);
  EXPECT_FALSE(Widget<QPushButton>(form->Button_RESET)->isEnabled());
  EXPECT_TRUE(Widget<QPushButton>(form->Button_Abbrechen)->isEnabled());

  // Log-in and STAT reached, the download half done.
  form->Label_Status->SetCaption(GetTextById(407));
  form->Image_LogIn->Show();
  form->Image_STAT->Show();
  form->Image_LIST->Show();
  for (TControl* c : std::initializer_list<TControl*>{
           form->ProgressBar1, form->ProgressBar2, form->Label_ProgressBar1,
           form->Label_Progressbar2, form->Label_Mails}) {
    c->Show();
  }
  form->Label_Mails->SetCaption("2 / 3");
  form->ProgressBar1->SetPosition(66);
  form->ProgressBar2->SetPosition(40);
  EXPECT_EQ(Widget<QLabel>(form->Label_Status)->text(), DisplayText(GetTextById(407)));
  EXPECT_EQ(Widget<QLabel>(form->Label_Mails)->text(), QStringLiteral("2 / 3"));
  EXPECT_EQ(Widget<QProgressBar>(form->ProgressBar1)->value(), 66);
  EXPECT_EQ(Widget<QProgressBar>(form->ProgressBar2)->value(), 40);
  EXPECT_TRUE(StepShown(form->Image_LIST));
  EXPECT_FALSE(StepShown(form->Image_RETR));
  Snapshot("2-downloading");

  form->Image_RETR->Show();
  form->ProgressBar1->SetPosition(100);
  form->Label_Mails->SetCaption("3 / 3");
  form->Image_SENT->Show();
  form->Image_QUIT->Show();
  EXPECT_TRUE(StepShown(form->Image_QUIT));
  Snapshot("3-all-steps");

  // The log page: the newest line is in view.
  for (int i = 1; i <= 60; ++i) {
    form->Memo_LOG->Lines().Add("+OK " + std::to_string(i) + " octets follow");
  }
  form->PageControl1->SetActivePage(form->TabSheet_LOG);
  auto* log = Widget<QPlainTextEdit>(form->Memo_LOG);
  EXPECT_EQ(Widget<QTabWidget>(form->PageControl1)->currentWidget(),
            renderer->WidgetOf(form->TabSheet_LOG));
  EXPECT_EQ(log->document()->lastBlock().text(), QStringLiteral("+OK 60 octets follow"));
  EXPECT_EQ(log->verticalScrollBar()->value(), log->verticalScrollBar()->maximum());
  EXPECT_EQ(log->geometry(), log->parentWidget()->rect());
  EXPECT_GT(log->width(), 400);
  // The window was first shown minimised; the scroll bar must still come with the page.
  EXPECT_TRUE(log->verticalScrollBar()->isVisible());
  Snapshot("4-log");

  // A mail was deleted: the results page comes up.
  form->Memo_Meldungen->Lines().Add(GetTextById(300));
  form->Memo_Meldungen->Lines().Add(GetTextById(302) + " Erika <erika@example.org>");
  form->Memo_Meldungen->Lines().Add(GetTextById(304) + " rechnung.exe");
  form->Memo_Meldungen->Lines().Add(std::string(100, '-'));
  form->ShowResults();
  EXPECT_EQ(Widget<QTabWidget>(form->PageControl1)->currentWidget(),
            renderer->WidgetOf(form->TabSheet_MELDUNGEN));
  EXPECT_EQ(Widget<QPlainTextEdit>(form->Memo_Meldungen)->document()->firstBlock().text(),
            DisplayText(GetTextById(300)));
  Snapshot("5-results");

  // Reset: progress and marks go, page 1 is back.
  form->ResetDisplay();
  EXPECT_FALSE(Widget<QProgressBar>(form->ProgressBar1)->isVisibleTo(renderer->Window()));
  for (TImage* image : form->StepImages()) EXPECT_FALSE(StepShown(image));
  EXPECT_EQ(Widget<QTabWidget>(form->PageControl1)->currentIndex(), 0);
  Snapshot("6-after-reset");
}

TEST_F(MainWindowTest, ExitAsksFirstAndNoKeepsEverythingRunning) {
  InstallQtMessageBox();
  form->TrayMenu_AnzeigenClick();
  TSeenBox seen;
  AnswerNextBox(QStringLiteral("&Nein"), seen, [](QMessageBox& box) {
    box.grab().save(GUI_SCREENS_DIR "/7-exit-confirmation.png");
  });
  form->TrayMenu_BeendenClick();
  ASSERT_TRUE(seen.answered);
  EXPECT_EQ(seen.title, QStringLiteral(u"Bestätigung"));
  EXPECT_EQ(seen.text, DisplayText(GetTextById(510)) + "\n" + DisplayText(GetTextById(511)));
  EXPECT_TRUE(seen.buttons.contains(QStringLiteral("&Ja")));
  EXPECT_TRUE(form->Visible());
  EXPECT_FALSE(Application->Terminated());

  AnswerNextBox(QStringLiteral("&Ja"), seen);
  form->TrayMenu_BeendenClick();
  ASSERT_TRUE(seen.answered);
  EXPECT_TRUE(form->TimedOut);  // the close ends a running wait at once
  EXPECT_FALSE(form->Visible());
  EXPECT_TRUE(Application->Terminated());
}

}  // namespace
