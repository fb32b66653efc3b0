#include "app/text_table.h"
#include "platform/application.h"
#include "proxy/main_form.h"

void TFormVazireRevivo::ResetDisplay() {
  for (TControl* c : std::initializer_list<TControl*>{
           ProgressBar1, ProgressBar2, Label_ProgressBar1, Label_Progressbar2, Label_Mails}) {
    c->Hide();
  }
  for (TImage* image : StepImages()) image->Hide();
  PageControl1->SetActivePage(TabSheet_Fortschritt);
  Label_Status->SetCaption(GetTextById(406));
  Application->ProcessMessages();
}

void TFormVazireRevivo::ShowResults() {
  TrayMenu_AnzeigenClick();
  PageControl1->SetActivePage(TabSheet_MELDUNGEN);
}

void TFormVazireRevivo::TrayMenu_AnzeigenClick() {
  TrayIcon1->SetVisible(false);
  SetWindowState(TWindowState::Normal);
  Show();
}

void TFormVazireRevivo::HideToTray() {
  TrayIcon1->SetVisible(true);
  Hide();
}

void TFormVazireRevivo::Button1Click() {
  // The proxy keeps running behind the tray icon.
  HideToTray();
}
