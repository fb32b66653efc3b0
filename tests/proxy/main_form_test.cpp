#include "proxy/main_form.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <sstream>
#include <vector>

#include "app/program_folder.h"
#include "app/standard_texts.h"
#include "app/text_table.h"
#include "app/translate_component.h"
#include "open_recorder.h"
#include "platform/application.h"
#include "platform/dialog_texts.h"
#include "platform/message_dlg.h"

namespace {

struct Bounds {
  int left, top, width, height;
};

Bounds BoundsOf(const TControl* c) {
  return {c->Left(), c->Top(), c->Width(), c->Height()};
}

bool operator==(const Bounds& a, const Bounds& b) {
  return a.left == b.left && a.top == b.top && a.width == b.width && a.height == b.height;
}

std::ostream& operator<<(std::ostream& os, const Bounds& b) {
  return os << b.left << "," << b.top << "," << b.width << "," << b.height;
}

class MainFormTest : public ::testing::Test {
 protected:
  void SetUp() override { ClearTextTable(); }
  void TearDown() override { ClearTextTable(); }

  // Loads a text table written from `content`.
  void LoadTexts(const std::string& content) {
    // Test cases run as parallel processes: each gets a file of its own.
    std::string file =
        ::testing::TempDir() + "/main_form_texts." + std::to_string(getpid()) + ".ini";
    std::ofstream(file, std::ios::binary) << content;
    LoadTextTable(file);
  }
};

TEST_F(MainFormTest, DesignMatchesTheWindowLayout) {
  TFormVazireRevivo form;
  EXPECT_EQ(form.Caption(), "Brindlecap");
  EXPECT_EQ(BoundsOf(&form), (Bounds{0, 0, 446, 390}));
  EXPECT_EQ(form.BorderStyle(), TBorderStyle::Single);
  EXPECT_EQ(form.BorderIcons(), 0u);
  EXPECT_EQ(form.FormStyle(), TFormStyle::StayOnTop);
  EXPECT_EQ(form.Position(), TPosition::DesktopCenter);
  EXPECT_EQ(form.FontName(), "Arial");
  EXPECT_EQ(form.FontHeight(), 11);
  EXPECT_FALSE(form.Scaled());

  struct Expected {
    const char* name;
    TComponentKind kind;
    Bounds bounds;
    int tag;
    const char* caption;
  };
  const Expected controls[] = {
      {"Gradient_Header", TComponentKind::GradientBand, {0, 0, 446, 44}, 0, ""},
      {"Label_hinweis1", TComponentKind::Label, {4, 4, 437, 19}, 0, nullptr},
      {"Label_Hinweis2", TComponentKind::Label, {4, 22, 437, 14}, 0, nullptr},
      {"Bevel_Header", TComponentKind::Bevel, {0, 44, 446, 2}, 0, ""},
      {"Label_Status", TComponentKind::Label, {8, 52, 432, 14}, 0, nullptr},
      {"Label_ProgressBar1", TComponentKind::Label, {4, 78, 61, 14}, 1000, "Nachrichten:"},
      {"Label_Mails", TComponentKind::Label, {72, 78, 51, 14}, 0, "XXX / XXX"},
      {"ProgressBar1", TComponentKind::ProgressBar, {132, 76, 309, 16}, 0, ""},
      {"Label_Progressbar2", TComponentKind::Label, {4, 102, 90, 14}, 1001, "Aktuelle Nachricht:"},
      {"ProgressBar2", TComponentKind::ProgressBar, {132, 100, 309, 16}, 0, ""},
      {"PageControl1", TComponentKind::PageControl, {4, 124, 437, 224}, 0, ""},
      {"Bevel_Buttons", TComponentKind::Bevel, {-1, 352, 446, 2}, 0, ""},
      {"Button_CONFIG", TComponentKind::Button, {4, 360, 80, 25}, 1050, "Config"},
      {"Button_RESET", TComponentKind::Button, {88, 360, 80, 25}, 1051, "Reset"},
      {"Button_Help", TComponentKind::Button, {196, 360, 80, 25}, 104, "Hilfe"},
      {"Button1", TComponentKind::Button, {280, 360, 75, 25}, 500, "&Beenden"},
      {"Button_Abbrechen", TComponentKind::Button, {360, 360, 80, 25}, 101, "Abbrechen"},
  };
  for (const Expected& e : controls) {
    SCOPED_TRACE(e.name);
    auto* c = dynamic_cast<TControl*>(form.FindComponent(e.name));
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->Kind(), e.kind);
    EXPECT_EQ(BoundsOf(c), e.bounds);
    EXPECT_EQ(c->Tag(), e.tag);
    if (e.caption) {
      EXPECT_EQ(c->Caption(), e.caption);
    }
  }
  EXPECT_EQ(form.Label_hinweis1->Alignment(), TAlignment::Center);
  EXPECT_TRUE(form.Label_Hinweis2->Transparent());
  EXPECT_EQ(form.Gradient_Header->Steps(), 128);

  const std::pair<TTabSheet*, std::pair<int, const char*>> pages[] = {
      {form.TabSheet_Fortschritt, {1100, "Fortschritt"}},
      {form.TabSheet_LOG, {1200, "Log"}},
      {form.TabSheet_MELDUNGEN, {1300, "Resultate / Fehler"}},
  };
  ASSERT_EQ(form.PageControl1->PageCount(), 3);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(form.PageControl1->Pages()[static_cast<size_t>(i)], pages[i].first);
    EXPECT_EQ(pages[i].first->Tag(), pages[i].second.first);
    EXPECT_EQ(pages[i].first->Caption(), pages[i].second.second);
  }
  EXPECT_EQ(form.Memo_LOG->Parent(), form.TabSheet_LOG);
  EXPECT_EQ(form.Memo_Meldungen->Parent(), form.TabSheet_MELDUNGEN);
  for (TMemo* memo : {form.Memo_LOG, form.Memo_Meldungen}) {
    EXPECT_TRUE(memo->ReadOnly());
    EXPECT_EQ(memo->ScrollBars(), TScrollStyle::Vertical);
    EXPECT_EQ(memo->Align(), TAlign::Client);
  }

  // Keyboard order: page control, Config, Reset, Help, Cancel, then Button1.
  const TControl* order[] = {form.PageControl1, form.Button_CONFIG,    form.Button_RESET,
                             form.Button_Help,  form.Button_Abbrechen, form.Button1};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(order[i]->TabOrder(), i) << order[i]->Name();

  EXPECT_EQ(form.Timer_TimeOut->Interval(), 58000u);
  EXPECT_FALSE(form.Timer_TimeOut->Enabled());
  EXPECT_FALSE(form.Timer_TimeOut->Running());
}

TEST_F(MainFormTest, StepRowsAreEvenlySpacedOnTheFirstPage) {
  TFormVazireRevivo form;
  const std::pair<const char*, int> rows[] = {
      {"LogIn", 1110},       {"STAT", 1111}, {"LIST", 1112}, {"RETR", 1113},
      {"ATTACHMENTS", 1114}, {"SENT", 1115}, {"QUIT", 1116},
  };
  auto images = form.StepImages();
  for (int i = 0; i < 7; ++i) {
    std::string suffix = rows[i].first;
    SCOPED_TRACE(suffix);
    auto* image = dynamic_cast<TImage*>(form.FindComponent("Image_" + suffix));
    auto* label = dynamic_cast<TLabel*>(form.FindComponent("Label_" + suffix));
    auto* bevel = dynamic_cast<TBevel*>(form.FindComponent("Bevel_" + suffix));
    ASSERT_TRUE(image && label && bevel);
    EXPECT_EQ(images[static_cast<size_t>(i)], image);
    int top = 16 + 24 * i;
    EXPECT_EQ(BoundsOf(image), (Bounds{8, top, 18, 18}));
    EXPECT_EQ(bevel->Width(), 20);
    EXPECT_EQ(bevel->Height(), 20);
    // The image lies inside its frame.
    EXPECT_LE(bevel->Left(), image->Left());
    EXPECT_GE(bevel->Left() + bevel->Width(), image->Left() + image->Width());
    EXPECT_LE(bevel->Top(), image->Top());
    EXPECT_GE(bevel->Top() + bevel->Height(), image->Top() + image->Height());
    EXPECT_EQ(label->Left(), 36);
    EXPECT_EQ(label->Width(), 380);
    EXPECT_EQ(label->Tag(), rows[i].second);
    for (TControl* c : {static_cast<TControl*>(image), static_cast<TControl*>(label),
                        static_cast<TControl*>(bevel)}) {
      EXPECT_EQ(c->Parent(), form.TabSheet_Fortschritt);
    }
    EXPECT_EQ(image->Picture(), "checkmark");
    EXPECT_FALSE(image->Visible());
  }
  EXPECT_EQ(form.Label_LogIn->Caption(), "Log-In auf POP3-Server");
  EXPECT_EQ(form.Label_LIST->Caption(), "Bytegrössen der neuen E-Mails ermitteln");
  EXPECT_EQ(form.Label_ATTACHMENTS->Caption(), "Anhänge überprüfen");
}

TEST_F(MainFormTest, StartsInTheTrayWithProgressHiddenAndHeadersFromTheTable) {
  LoadTexts("200=Kopf eins\r\n201=Kopf zwei\r\n406=Bereit\r\n");
  TFormVazireRevivo form;
  EXPECT_FALSE(form.Visible());
  EXPECT_TRUE(form.TrayIcon1->Visible());
  EXPECT_TRUE(form.TrayIcon1->StartMinimized());
  EXPECT_TRUE(form.TrayIcon1->MinimizeToTray());
  for (TControl* c :
       {static_cast<TControl*>(form.ProgressBar1), static_cast<TControl*>(form.ProgressBar2),
        static_cast<TControl*>(form.Label_ProgressBar1),
        static_cast<TControl*>(form.Label_Progressbar2),
        static_cast<TControl*>(form.Label_Mails)}) {
    EXPECT_FALSE(c->Visible()) << c->Name();
  }
  EXPECT_EQ(form.PageControl1->ActivePage(), form.TabSheet_Fortschritt);
  EXPECT_FALSE(form.Button_Abbrechen->Enabled());
  EXPECT_TRUE(form.Button_RESET->Enabled());
  EXPECT_EQ(form.Label_hinweis1->Caption(), "Kopf eins");
  EXPECT_EQ(form.Label_Hinweis2->Caption(), "Kopf zwei");
  EXPECT_EQ(form.Label_Status->Caption(), "Bereit");
  EXPECT_TRUE(form.Memo_Meldungen->Lines().Empty());
  // The creation ran the Reset action on freshly cleared logs (the service may add a line of
  // its own after the first, when it cannot listen).
  ASSERT_GE(form.Memo_LOG->Lines().Count(), 1);
  EXPECT_EQ(form.Memo_LOG->Lines()[0], "My Server (re)started. Awaiting connection.");
}

TEST_F(MainFormTest, TrayMenuListsItsEntriesInOrderWithShowAsDefault) {
  TFormVazireRevivo form;
  ASSERT_EQ(form.TrayIcon1->PopupMenu(), form.TrayMenu);
  const auto& items = form.TrayMenu->Items();
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(items[0], form.TrayMenu_Anzeigen);
  EXPECT_EQ(items[1], form.TrayMenu_Config);
  EXPECT_EQ(items[2], form.TrayMenu_Beenden);
  EXPECT_EQ(form.TrayMenu->DefaultItem(), form.TrayMenu_Anzeigen);
  EXPECT_EQ(form.TrayMenu_Anzeigen->Tag(), 1900);
  EXPECT_EQ(form.TrayMenu_Config->Tag(), 1902);
  EXPECT_EQ(form.TrayMenu_Beenden->Tag(), 1903);
  EXPECT_EQ(form.TrayMenu_Config->Caption(), "Konfigurationstool aufrufen");

  // A double click on the icon chooses the default entry: the window comes back.
  form.TrayIcon1->DoubleClick();
  EXPECT_TRUE(form.Visible());
  EXPECT_FALSE(form.TrayIcon1->Visible());
}

TEST_F(MainFormTest, ResetDisplayHidesProgressAndStepsAndReturnsToTheFirstPage) {
  LoadTexts("406=Warte auf Verbindung\n");
  TFormVazireRevivo form;
  for (TImage* image : form.StepImages()) image->Show();
  form.ProgressBar1->Show();
  form.Label_Mails->Show();
  form.PageControl1->SetActivePage(form.TabSheet_LOG);
  form.Label_Status->SetCaption("busy");
  form.Memo_Meldungen->Lines().Add("kept");

  form.ResetDisplay();
  for (TImage* image : form.StepImages()) EXPECT_FALSE(image->Visible()) << image->Name();
  EXPECT_FALSE(form.ProgressBar1->Visible());
  EXPECT_FALSE(form.Label_Mails->Visible());
  EXPECT_EQ(form.PageControl1->ActivePage(), form.TabSheet_Fortschritt);
  EXPECT_EQ(form.Label_Status->Caption(), "Warte auf Verbindung");
  // The results of earlier connections stay.
  EXPECT_EQ(form.Memo_Meldungen->Lines().Count(), 1);
}

TEST_F(MainFormTest, ShowResultsBringsTheWindowWithTheResultsPage) {
  TFormVazireRevivo form;
  form.SetWindowState(TWindowState::Minimized);
  form.ShowResults();
  EXPECT_TRUE(form.Visible());
  EXPECT_EQ(form.WindowState(), TWindowState::Normal);
  EXPECT_FALSE(form.TrayIcon1->Visible());
  EXPECT_EQ(form.PageControl1->ActivePage(), form.TabSheet_MELDUNGEN);
}

TEST_F(MainFormTest, Button1SendsTheWindowToTheTray) {
  TFormVazireRevivo form;
  form.TrayMenu_Anzeigen->Click();
  ASSERT_TRUE(form.Visible());
  form.Button1->Click();
  EXPECT_FALSE(form.Visible());
  EXPECT_TRUE(form.TrayIcon1->Visible());
}

TEST_F(MainFormTest, ExitAnsweredNoLeavesEverythingRunning) {
  LoadTexts("113=Frage\n114=Ja!\n115=Nein!\n510=Wirklich beenden?\n511=Der Schutz endet.\n");
  TDialogTexts saved = DialogTexts();
  ReadStandardTexts();
  PatchStandardTexts();
  TFormVazireRevivo form;
  form.TrayMenu_Anzeigen->Click();
  {
    TScriptedMessageDlg dlg({TModalResult::No});
    form.TrayMenu_Beenden->Click();
    ASSERT_EQ(dlg.Requests().size(), 1u);
    const TMessageDlgRequest& r = dlg.Requests()[0];
    EXPECT_EQ(r.text, "Wirklich beenden?\rDer Schutz endet.");
    EXPECT_EQ(r.title, "Frage");
    EXPECT_EQ(r.type, TMsgDlgType::Confirmation);
    ASSERT_EQ(r.buttons.size(), 2u);
    EXPECT_EQ(r.buttons[0].caption, "Ja!");
    EXPECT_EQ(r.buttons[0].result, TModalResult::Yes);
    EXPECT_EQ(r.buttons[1].caption, "Nein!");
  }
  DialogTexts() = saved;
  EXPECT_TRUE(form.Visible());
  EXPECT_FALSE(form.TimedOut);
  EXPECT_FALSE(Application->Terminated());
}

TEST_F(MainFormTest, ExitAnsweredYesClosesTheWindowAndEndsTheProgram) {
  // Terminating the application cannot be undone, so it happens in a child process.
  EXPECT_EXIT(
      {
        TFormVazireRevivo form;
        SetMainForm(&form);
        form.TrayMenu_Anzeigen->Click();
        TScriptedMessageDlg dlg({TModalResult::Yes});
        form.TrayMenu_Beenden->Click();
        bool ok = form.TimedOut && !form.Visible() && Application->Terminated();
        std::exit(ok ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST_F(MainFormTest, ClosingSetsTimedOutSoThatAWaitEndsAtOnce) {
  TFormVazireRevivo form;
  form.Show();
  form.Close();
  EXPECT_TRUE(form.TimedOut);
  EXPECT_FALSE(form.Visible());
  // Not the main form: the application goes on.
  EXPECT_FALSE(Application->Terminated());
}

TEST_F(MainFormTest, ConfigAndHelpOpenTheirFilesInTheProgramFolder) {
  TOpenRecorder recorder;
  InitProgramFolder("/opt/mail guard/bin/brindlecap");
  TFormVazireRevivo form;
  form.Button_CONFIG->Click();
  form.TrayMenu_Config->Click();
  form.Button_Help->Click();
  EXPECT_TRUE(form.Help(0, 0));
  // The four openers run detached and may finish in any order.
  std::string opened = recorder.WaitForLines(4);
  std::vector<std::string> lines;
  std::istringstream in(opened);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  std::sort(lines.begin(), lines.end());
  EXPECT_EQ(lines, (std::vector<std::string>{"/opt/mail guard/bin/brindlecap-config",
                                             "/opt/mail guard/bin/brindlecap-config",
                                             "/opt/mail guard/bin/tarnhelp.chm::/server.htm",
                                             "/opt/mail guard/bin/tarnhelp.chm::/server.htm"}));
  InitProgramFolder("");
}

TEST_F(MainFormTest, WhatsThisNeverPopsUp) {
  TFormVazireRevivo form;
  EXPECT_TRUE(form.WhatsThis1->Active);
  EXPECT_FALSE(form.WhatsThis1->Popup());
  EXPECT_EQ(form.HelpRouter1->PopupTopicsFile, "CSHelp.txt");
  EXPECT_FALSE(form.HelpRouter1->ValidateTopics);
}

TEST_F(MainFormTest, TranslationReachesEveryCaptionedControl) {
  LoadTexts(
      "0=Schutz\n101=Stopp\n104=Hilfe!\n500=Ausblenden\n1000=Mails:\n1100=Ablauf\n"
      "1110=Warten auf Anmeldung\n1300=Ergebnisse\n1903=Ende\n1050=\n");
  TFormVazireRevivo form;
  TranslateComponent(form);
  EXPECT_EQ(form.Caption(), "Schutz");
  EXPECT_EQ(form.Button_Abbrechen->Caption(), "Stopp");
  EXPECT_EQ(form.Button_Help->Caption(), "Hilfe!");
  EXPECT_EQ(form.Button1->Caption(), "Ausblenden");
  EXPECT_EQ(form.Label_ProgressBar1->Caption(), "Mails:");
  EXPECT_EQ(form.TabSheet_Fortschritt->Caption(), "Ablauf");
  EXPECT_EQ(form.TabSheet_MELDUNGEN->Caption(), "Ergebnisse");
  EXPECT_EQ(form.TrayMenu_Beenden->Caption(), "Ende");
  // W rule: one blank in front, two pixels to the left.
  EXPECT_EQ(form.Label_LogIn->Caption(), " Warten auf Anmeldung");
  EXPECT_EQ(form.Label_LogIn->Left(), 34);
  // Labels without a Tag take text 0.
  EXPECT_EQ(form.Label_Mails->Caption(), "Schutz");
  EXPECT_EQ(form.Label_Status->Caption(), "Schutz");
  // An empty or missing text keeps the design caption.
  EXPECT_EQ(form.Button_CONFIG->Caption(), "Config");
  EXPECT_EQ(form.Button_RESET->Caption(), "Reset");
  EXPECT_EQ(form.TabSheet_LOG->Caption(), "Log");
}

TEST_F(MainFormTest, TimeOutTimerStopsAndSetsTheFlag) {
  TFormVazireRevivo form;
  form.Timer_TimeOut->SetEnabled(true);
  EXPECT_TRUE(form.Timer_TimeOut->Running());
  form.Timer_TimeOutTimer();
  EXPECT_FALSE(form.Timer_TimeOut->Enabled());
  EXPECT_FALSE(form.Timer_TimeOut->Running());
  EXPECT_TRUE(form.TimedOut);
}

}  // namespace
