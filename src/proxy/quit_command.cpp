// QUIT: end the upstream session (the server removes what DELE marked), say goodbye, end the
// connection once the mail program has ended its side, and listen again. The mail program
// always gets its "+OK", also when no upstream session existed.

#include "net/graceful_close.h"
#include "platform/message_loop.h"
#include "proxy/main_form.h"

void TFormVazireRevivo::HandleQuit(TWSocket* Socket, const std::string&) {
  LastReply.clear();
  RequestFinished = false;
  try {
    Pop3Cli1->Quit();
    AwaitReply();
    // The mail program still gets its goodbye; the log tells that the server may have kept
    // what this session deleted (the mails are then met again, nothing is lost).
    if (!LastReply.empty() && LastReply[0] == '-')
      Memo_LOG->Lines().Add("Server refused QUIT: " + LastReply);
  } catch (const Pop3Exception& e) {
    // QUIT sent while another request still runs (from inside that command's wait): the
    // client refuses, so the session is dropped instead; the goodbye still follows.
    Memo_LOG->Lines().Add(std::string("QUIT could not be sent upstream: ") + e.what());
    Pop3Cli1->Abort();
  }
  AwaitIdle();
  Pop3Cli1->SetMsgNum(0);
  Pop3Cli1->ClearErrorMessage();
  AbortRequested = false;
  ListingPending = false;
  RetrievePending = false;
  Socket->SendText("+OK Vevazurod quits\r\n");
  WaitUntilSent(Socket);
  // Whatever the mail program sent after its QUIT is read and dropped before the close:
  // closing over unread bytes would reset the connection, and the goodbye could be lost.
  DrainAndClose(*Socket);
  Image_QUIT->Show();
  // The QUIT picture stays a moment before the Reset action clears the window.
  Sleep(100);
  Button_RESETClick();
  if (!Memo_Meldungen->Lines().Empty()) ShowResults();
}
