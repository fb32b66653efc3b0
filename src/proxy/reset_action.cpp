#include "inspection/message_store.h"
#include "platform/message_loop.h"
#include "proxy/listen_failure.h"
#include "proxy/main_form.h"
#include "proxy/service_ports.h"

// (Re)starts the service. The pauses let a dropped peer and the system settle before the
// port is bound again; they are sleeps, nothing is dispatched during them.
void TFormVazireRevivo::Button_RESETClick() {
  Pop3Cli1->Abort();
  Sleep(10);
  // Runs WSocket1SessionClosed when a session or the listening socket was open.
  WSocket1->Abort();
  Sleep(10);
  AbortRequested = false;
  ListingPending = false;
  RetrievePending = false;
  CurrentMessage = 0;
  commandLines_.Clear();
  Pop3Cli1->SetMsgNum(0);
  Pop3Cli1->ClearErrorMessage();
  Sleep(50);
  WSocket1->Close();
  Sleep(50);
  ResetDisplay();
  UpstreamHost.clear();
  UpstreamUser.clear();
  UpstreamPassword.clear();
  // A close leaves both unassigned, so they are set again before every Listen.
  WSocket1->SetPort(LocalServicePort());
  WSocket1->SetAddr("localhost");
  // A close also turns lingering on with no time, which would make every later session's
  // close a reset that can throw away the last reply.
  WSocket1->SetLingerOnOff(wsLingerOff);
  WSocket1->SetSendBlockSize(32768);
  Pop3Cli1->Socket()->SetSendBlockSize(32768);
  Sleep(50);
  // A command of the dropped session may still be running beneath this call (Reset pressed
  // during one of its waits, or run by the command itself). Its last steps must never reach
  // the new listening socket: a late reply sent there would close it. So listening starts
  // once that command has returned.
  if (commandRunning_) {
    listenDeferred_ = true;
    return;
  }
  StartListening();
}

void TFormVazireRevivo::StartListening() {
  listenDeferred_ = false;
  Memo_LOG->Lines().Add("My Server (re)started. Awaiting connection.");
  WSocket1->Listen();
  // The failure has just been logged as "***Error in Server!"; say why, and what to do.
  if (WSocket1->State() != wsListening) {
    const bool fromEnvironment = !PortFromEnvironment(kListenPortVariable, "").empty();
    Memo_LOG->Lines().Add(
        ListenFailureLine(WSocket1->Port(), WSocket1->LastError(), fromEnvironment));
  }
}
