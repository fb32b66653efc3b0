#include "proxy/main_form.h"

void TFormVazireRevivo::Button_AbbrechenClick() {
  Memo_LOG->Lines().Add("***USER ABORTED REQUEST!***");
  AbortRequested = true;
}

void TFormVazireRevivo::Timer_TimeOutTimer() {
  Timer_TimeOut->SetEnabled(false);
  TimedOut = true;
}
