#include "app/text_table.h"
#include "platform/message_loop.h"
#include "proxy/main_form.h"

void TFormVazireRevivo::FormCreate() {
  Memo_LOG->Lines().Clear();
  Memo_Meldungen->Lines().Clear();
  Button_RESETClick();
  Button_Abbrechen->SetEnabled(false);
  Label_hinweis1->SetCaption(GetTextById(200));
  Label_Hinweis2->SetCaption(GetTextById(201));
}

void TFormVazireRevivo::FormClose(TCloseAction&) {
  // A wait for the server in progress sees this and ends at once.
  TimedOut = true;
  // A moment for a wait in progress to take its next step and end before the window goes.
  Sleep(20);
}

bool TFormVazireRevivo::FormHelp(int, int, bool& callHelp) {
  Button_Help->Click();
  callHelp = false;
  return true;
}

void TFormVazireRevivo::WhatsThis1Popup(bool& doPopup) {
  doPopup = false;
}
