#include "platform/application.h"
#include "proxy/main_form.h"

// The Cancel button. AbortRequested stays set until the Reset action or QUIT, so every later
// command of the session that needs the server gets its abort reply at once.
void TFormVazireRevivo::Button_AbbrechenClick() {
  Memo_LOG->Lines().Add("***USER ABORTED REQUEST!***");
  AbortRequested = true;
  Pop3Cli1->Abort();
}

// No reply within the timer's interval: the running wait ends with "-ERR TimeOut".
void TFormVazireRevivo::Timer_TimeOutTimer() {
  Timer_TimeOut->SetEnabled(false);
  TimedOut = true;
  Pop3Cli1->Abort();
}
