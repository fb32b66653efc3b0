// The mail program's side of the service: one connection at a time, adopted into WSocket1
// itself, every received piece of data taken as one command.

#include <exception>
#include <string_view>

#include "app/text_table.h"
#include "platform/application.h"
#include "platform/message_loop.h"
#include "proxy/main_form.h"

namespace {

constexpr char NotSupportedReply[] =
    "-ERR This POP3-Command is not supported by \"Brindlecap\"!\r\n";

// Input held back while a download runs is never allowed to grow without bound.
constexpr std::size_t HeldInputLimit = 1 << 20;

// The reply for an error raised while a command was handled: one line, whatever the error's
// text held.
std::string ErrorReply(std::string text) {
  for (char& c : text)
    if (c == '\r' || c == '\n') c = ' ';
  if (text.rfind("-ERR", 0) != 0) text = "-ERR " + text;
  return text + "\r\n";
}

}  // namespace

void TFormVazireRevivo::WSocketServer1SessionAvailable(TCustomWSocket*, std::uint16_t) {
  Memo_LOG->Lines().Clear();
  Memo_LOG->Lines().Add("***Session available - connecting now.");
  // From here on WSocket1 is the session and nothing listens until the next Reset action.
  TSocket handle = WSocket1->Accept();
  if (handle == INVALID_SOCKET) return;
  WSocket1->Dup(handle);
  if (WSocket1->State() != wsConnected) return;
  WSocket1->SendText("+OK Welcome to vevazurod\r\n");
  TrayMenu_AnzeigenClick();
  Button_RESET->SetEnabled(false);
  Button_Abbrechen->SetEnabled(true);
}

void TFormVazireRevivo::WSocketServer1DataAvailable(TCustomWSocket*, std::uint16_t) {
  if (RetrievePending || !heldInput_.empty()) {
    // Kept in arrival order and handed on once the download has ended.
    std::string text = WSocket1->ReceiveText();
    if (heldInput_.size() + text.size() <= HeldInputLimit) {
      heldInput_ += text;
    } else if (!text.empty()) {
      Memo_LOG->Lines().Add("Too much input while mails were downloaded - input dropped.");
    }
    if (!RetrievePending && commandDepth_ == 0) ScheduleHeldInput();
    return;
  }
  std::string text = WSocket1->ReceiveText();
  if (!text.empty()) DispatchCommand(text);
}

void TFormVazireRevivo::DispatchCommand(const std::string& Text) {
  using THandler = void (TFormVazireRevivo::*)(TWSocket*, const std::string&);
  struct TCommand {
    std::string_view keyword;
    int statusId;  // 0: the status line stays
    THandler handler;
  };
  static const TCommand commands[] = {
      {"USER", 400, &TFormVazireRevivo::HandleUser}, {"PASS", 401, &TFormVazireRevivo::HandlePass},
      {"LIST", 402, &TFormVazireRevivo::HandleList}, {"QUIT", 0, &TFormVazireRevivo::HandleQuit},
      {"STAT", 403, &TFormVazireRevivo::HandleStat}, {"RETR", 404, &TFormVazireRevivo::HandleRetr},
      {"DELE", 405, &TFormVazireRevivo::HandleDele},
  };
  std::string_view keyword = std::string_view(Text).substr(0, 4);
  const TCommand* command = nullptr;
  for (const TCommand& c : commands)
    if (c.keyword == keyword) command = &c;
  TWSocket* socket = WSocket1.get();
  if (command == nullptr) {
    socket->SendText(NotSupportedReply);
    return;
  }

  ++commandDepth_;
  try {
    if (command->statusId != 0) Label_Status->SetCaption(GetTextById(command->statusId));
    Application->ProcessMessages();
    (this->*command->handler)(socket, Text);
  } catch (const std::exception& e) {
    Memo_LOG->Lines().Add(std::string("Command ended by an error: ") + e.what());
    if (socket->State() == wsConnected) socket->SendText(ErrorReply(e.what()));
  } catch (...) {
    Memo_LOG->Lines().Add("Command ended by an unknown error.");
    if (socket->State() == wsConnected) socket->SendText(ErrorReply("Unknown error"));
  }
  --commandDepth_;
  if (commandDepth_ == 0) {
    // With no command left running, no download can be under way: a flag left over by a
    // download that an error broke off must not hold the mail program's input for ever.
    RetrievePending = false;
    ScheduleHeldInput();
  }
}

void TFormVazireRevivo::WaitUntilSent(TWSocket* Socket) {
  // A socket that is gone has nothing more to send; without this the wait could not end.
  do {
    Sleep(10);
    Application->ProcessMessages();
    Socket->PumpThreadMessages();
  } while (!Socket->SendComplete() && Socket->State() == wsConnected && !Application->Terminated());
}

void TFormVazireRevivo::WSocket1SessionClosed(TCustomWSocket*, std::uint16_t) {
  Memo_LOG->Lines().Add("***WSocket - Session closed");
  heldInput_.clear();
  ClearMessageStore();
  if (Memo_Meldungen->Lines().Empty()) HideToTray();
  Button_RESET->SetEnabled(true);
  Button_Abbrechen->SetEnabled(false);
}

void TFormVazireRevivo::WSocketServer1Error(TCustomWSocket*) {
  Memo_LOG->Lines().Add("***Error in Server!");
}
