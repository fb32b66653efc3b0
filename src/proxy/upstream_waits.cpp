// The waits for the upstream server. Each re-enters the message loop at least every 20 ms, so
// the buttons, the timer, the tray menu and both sockets are served while a request is out;
// a step ends early when a message, a socket notification or a timer arrives, and is not
// slept at all when the outcome is already there: then only its handling remains.

#include "platform/application.h"
#include "platform/message_loop.h"
#include "proxy/main_form.h"

// After a Cancel nothing more goes upstream in this session: every command that needs the
// server gets its abort reply at once (the client's session is gone by then anyway).
bool TFormVazireRevivo::AskServer(void (TCustomPop3Cli::*Request)()) {
  // A completion still queued from the previous request must not be taken for this one's.
  Application->ProcessMessages();
  LastReply.clear();
  RequestFinished = false;
  if (AbortRequested) {
    LastReply = "-ERR Canceled by User";
    return false;
  }
  (Pop3Cli1.get()->*Request)();
  AwaitReply();
  return !AbortRequested;
}

// LastReply and RequestFinished are cleared before the request starts, never here: a server
// that has already gone ends the request while it is being started, and that end must not be
// forgotten (the wait would then last until the time-out, and the mail program would give up
// without a reply).
void TFormVazireRevivo::AwaitReply() {
  TimedOut = false;
  Timer_TimeOut->SetEnabled(true);
  do {
    if (LastReply.empty() && !RequestFinished && !AbortRequested && !TimedOut)
      Application->AwaitActivity(WaitStepMs);
    Application->ProcessMessages();
    Pop3Cli1->Socket()->PumpThreadMessages();
    if (AbortRequested) LastReply = "-ERR Canceled by User";
    if (TimedOut) LastReply = "-ERR TimeOut";
  } while (LastReply.empty() && !RequestFinished);
  Timer_TimeOut->SetEnabled(false);
  if (AbortRequested) Pop3Cli1->Abort();
  // A request that ended without any line from the server (a failed connect, say): the
  // client composed a text of its own. A session lost during the request leaves only the
  // last line of an earlier one there, which must not pass for this request's answer.
  if (LastReply.empty()) {
    LastReply = Pop3Cli1->LastResponse();
    if (!Pop3Cli1->Connected() && (LastReply.empty() || LastReply[0] != '-'))
      LastReply = "-ERR The POP3 server closed the connection";
  }
}

// After QUIT the server answers and then closes its session. One that keeps it open would
// hold the mail program for ever, so the wait is bounded: once QuitCloseLimitMs have passed,
// or the user cancels, or the window closes, the session is dropped. The server has already
// answered the QUIT by then, so nothing of the session's work is lost by dropping it.
void TFormVazireRevivo::AwaitIdle() {
  Pop3Cli1->ClearErrorMessage();
  const std::uint32_t started = GetTickCount();
  while (Pop3Cli1->State() != pop3Idle) {
    if (!AbortRequested && !TimedOut && !Application->Terminated())
      Application->AwaitActivity(WaitStepMs);
    Pop3Cli1->Socket()->PumpThreadMessages();
    Application->ProcessMessages();
    if (Pop3Cli1->State() == pop3Idle) break;
    if (AbortRequested || TimedOut || Application->Terminated() ||
        GetTickCount() - started >= QuitCloseLimitMs) {
      Memo_LOG->Lines().Add("Server kept its session open - session dropped.");
      Pop3Cli1->Abort();
    }
  }
}
