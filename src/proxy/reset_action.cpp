#include "proxy/main_form.h"

void TFormVazireRevivo::Button_RESETClick() {
  AbortRequested = false;
  ResetDisplay();
  Memo_LOG->Lines().Add("My Server (re)started. Awaiting connection.");
}
