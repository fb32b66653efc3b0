// The mail program's side of the service: one connection at a time, adopted into WSocket1
// itself; its input is collected into lines, and each line is one command.

#include <exception>
#include <string_view>

#include "app/text_table.h"
#include "platform/application.h"
#include "platform/message_loop.h"
#include "proxy/main_form.h"

namespace {

constexpr char NotSupportedReply[] =
    "-ERR This POP3-Command is not supported by \"Brindlecap\"!\r\n";

// Commands held while another one runs are never allowed to grow without bound.
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
  commandLines_.Clear();
  sessionOpen_ = true;
  WSocket1->SendText("+OK Welcome to vevazurod\r\n");
  TrayMenu_AnzeigenClick();
  Button_RESET->SetEnabled(false);
  Button_Abbrechen->SetEnabled(true);
}

void TFormVazireRevivo::WSocketServer1DataAvailable(TCustomWSocket*, std::uint16_t) {
  // Read at once, whatever runs: the socket layer then does not offer the same bytes again
  // and again, and the lines wait below until their turn.
  std::string text = WSocket1->ReceiveText();
  if (text.empty()) return;
  commandLines_.Append(text);
  if (commandLines_.HeldBytes() > HeldInputLimit) {
    // No mail program sends this much ahead of its replies. Ending the session is the one
    // way to stay bounded without skipping a command; the mailbox is left as it is.
    Memo_LOG->Lines().Add("Too much input from the mail program - connection closed.");
    WSocket1->Abort();
    return;
  }
  RunWaitingCommands();
}

// One command at a time, in the order the lines arrived, each only once the previous one's
// reply is out: a mail program may send several commands without waiting for the replies.
// A line that arrives while a command runs (inside one of its waits) is kept for the loop
// below, which is on the stack beneath that command.
void TFormVazireRevivo::RunWaitingCommands() {
  if (commandRunning_ || RetrievePending) return;
  commandRunning_ = true;
  try {
    while (WSocket1->State() == wsConnected && commandLines_.HasLine()) {
      if (!WSocket1->SendComplete()) {
        WaitUntilSent(WSocket1.get());
        continue;
      }
      TCommandLines::TLine line = *commandLines_.Next();
      if (line.TooLong) {
        Memo_LOG->Lines().Add("Command line too long - discarded.");
        WSocket1->SendText(NotSupportedReply);
        continue;
      }
      DispatchCommand(line.Text + "\r\n");
      // With no command running, no download can be under way: a flag left over by a
      // download that an error broke off must not hold the mail program's input for ever.
      RetrievePending = false;
    }
  } catch (...) {
    commandRunning_ = false;
    throw;
  }
  commandRunning_ = false;
  // A Reset during the command left the service closed until now.
  if (listenDeferred_) StartListening();
}

void TFormVazireRevivo::DispatchCommand(const std::string& Text) {
  using THandler = void (TFormVazireRevivo::*)(TWSocket*, const std::string&);
  struct TCommand {
    std::string_view keyword;
    int statusId;  // 0: the status line stays
    THandler handler;
  };
  // Every command the service knows; a command is recognised by its first four characters.
  static const TCommand commands[] = {
      {"USER", 400, &TFormVazireRevivo::HandleUser},
      {"PASS", 401, &TFormVazireRevivo::HandlePass},
      {"LIST", 402, &TFormVazireRevivo::HandleList},
      {"QUIT", 0, &TFormVazireRevivo::HandleQuit},
      {"STAT", 403, &TFormVazireRevivo::HandleStat},
      {"RETR", 404, &TFormVazireRevivo::HandleRetr},
      {"DELE", 405, &TFormVazireRevivo::HandleDele},
      // Beyond the designed set; the status line stays as it is for these.
      {"CAPA", 0, &TFormVazireRevivo::HandleCapa},
      {"UIDL", 0, &TFormVazireRevivo::HandleUidl},
      {"TOP ", 0, &TFormVazireRevivo::HandleTop},
      {"NOOP", 0, &TFormVazireRevivo::HandleNoop},
      {"RSET", 0, &TFormVazireRevivo::HandleRset},
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
}

void TFormVazireRevivo::WaitUntilSent(TWSocket* Socket) {
  // A socket that is gone has nothing more to send; without this the wait could not end.
  do {
    // All handed over already (the usual case): nothing to sleep for.
    if (!Socket->SendComplete() && Socket->State() == wsConnected && !Application->Terminated())
      Application->AwaitActivity(10);
    Application->ProcessMessages();
    Socket->PumpThreadMessages();
  } while (!Socket->SendComplete() && Socket->State() == wsConnected && !Application->Terminated());
}

void TFormVazireRevivo::WSocket1SessionClosed(TCustomWSocket*, std::uint16_t) {
  Memo_LOG->Lines().Add("***WSocket - Session closed");
  commandLines_.Clear();
  ClearMessageStore();
  if (Memo_Meldungen->Lines().Empty()) HideToTray();
  Button_RESET->SetEnabled(true);
  Button_Abbrechen->SetEnabled(false);
  NoteSessionClosed();
}

void TFormVazireRevivo::WSocketServer1Error(TCustomWSocket*) {
  // A reply of a command whose session a Reset has already dropped: it has nowhere to go,
  // and nothing is wrong with the service.
  if (listenDeferred_ && WSocket1->State() == wsClosed) return;
  Memo_LOG->Lines().Add("***Error in Server!");
}
