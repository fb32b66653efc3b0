#include "platform/application.h"
#include "proxy/main_form.h"

// The Cancel button. AbortRequested stays set until the Reset action or QUIT. Every later
// command of the session that needs the server (USER, PASS, STAT, DELE, and LIST or RETR
// while no checked mailbox is stored) gets "-ERR Request aborted by User" at once, without
// anything sent upstream (AskServer); LIST and RETR are served from a mailbox checked before
// the Cancel, and QUIT says goodbye as always.
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
