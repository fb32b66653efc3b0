// Commands beyond USER, PASS, STAT, LIST, RETR, DELE and QUIT that common mail programs rely
// on: CAPA (many ask first and give up when it is refused), UIDL (programs that leave their
// mail on the server remember these ids), TOP (some fetch with it), NOOP and RSET. Mails are
// served from the checked store, as RETR serves them; the ids are the server's own, so they
// stay the same for the same mail across sessions.

#include "inspection/mail_top.h"
#include "inspection/mailbox_protocol.h"
#include "inspection/message_store.h"
#include "net/corked_reply.h"
#include "net/wsocket.h"
#include "platform/application.h"
#include "pop3/sync_pop3_client.h"
#include "proxy/mailbox_guards.h"

namespace {

// Only what the service really does: no STLS and no SASL, the mail program's side is loopback.
constexpr char kCapabilities[] =
    "+OK Capability list follows\r\n"
    "USER\r\n"
    "UIDL\r\n"
    "TOP\r\n"
    "PIPELINING\r\n"
    "IMPLEMENTATION Brindlecap\r\n"
    ".\r\n";

}  // namespace

void TFormVazireRevivo::HandleCapa(TWSocket* Socket, const std::string&) {
  Socket->SendText(kCapabilities);
  WaitUntilSent(Socket);
}

void TFormVazireRevivo::HandleNoop(TWSocket* Socket, const std::string&) {
  Socket->SendText("+OK\r\n");
  WaitUntilSent(Socket);
}

void TFormVazireRevivo::HandleUidl(TWSocket* Socket, const std::string& Text) {
  if (RefuseNestedCommand(*this, Socket)) return;
  if (!EnsureMailboxChecked(*this, Socket)) return;
  const auto number = ParseListArgument(Text);
  if (number && RefuseWrongNumber(*this, Socket, *number)) return;
  if (!number && MessageStore.empty() && !MailboxChecked) {
    Socket->SendText("-ERR No Messages!\r\n");
    WaitUntilSent(Socket);
    return;
  }
  if (!MessageStore.empty() && !UniqueIdRefusal.empty()) {
    Socket->SendText(UniqueIdRefusal + "\r\n");
    WaitUntilSent(Socket);
    return;
  }
  auto line = [](std::size_t position) {
    return std::to_string(position) + " " + MessageStore[position - 1].UniqueId;
  };
  if (number) {
    Socket->SendText("+OK " + line(static_cast<std::size_t>(*number)) + "\r\n");
    WaitUntilSent(Socket);
    return;
  }
  std::string reply = "+OK Listing follows\r\n";
  for (std::size_t p = 1; p <= MessageStore.size(); ++p) reply += line(p) + "\r\n";
  reply += ".\r\n";
  Memo_LOG->Lines().Add("UIDL-Response lists " + std::to_string(MessageStore.size()) + " mails");
  Socket->SendText(reply);
  WaitUntilSent(Socket);
}

void TFormVazireRevivo::HandleTop(TWSocket* Socket, const std::string& Text) {
  if (RefuseNestedCommand(*this, Socket)) return;
  if (!EnsureMailboxChecked(*this, Socket)) return;
  const TTopArguments args = ParseTopArguments(Text);
  // A line count that is not a number is refused like a wrong message number.
  if (RefuseWrongNumber(*this, Socket, args.Lines < 0 ? -1 : args.Number)) return;
  {
    TStoreInUse inUse(*this);
    TCorkedReply corked(*Socket);
    TNachricht& entry = MessageStore[static_cast<std::size_t>(args.Number - 1)];
    Memo_LOG->Lines().Add("Sending top of Message " + std::to_string(args.Number) + " with " +
                          std::to_string(args.Lines) + " lines of its body now");
    Socket->SendText("+OK Top of message follows\r\n");
    WaitUntilSent(Socket);
    entry.Content.SetPosition(0);
    const std::int64_t sent =
        SendStuffed(*this, Socket, TopOfMail(entry.Content.DataString(), args.Lines));
    Memo_LOG->Lines().Add(std::to_string(sent) + " Bytes of mail sent");
    Socket->SendText(".\r\n");
  }
  WaitUntilSent(Socket);
}

void TFormVazireRevivo::HandleRset(TWSocket* Socket, const std::string&) {
  if (RefuseNestedCommand(*this, Socket)) return;
  LastReply.clear();
  RequestFinished = false;
  Pop3Cli1->RSet();
  AwaitReply();
  if (AbortRequested) {
    Socket->SendText("-ERR Request aborted by User\r\n");
    return;
  }
  const std::string reply = LastReply;
  if (PositiveReply(reply)) {
    // The server has undone every deletion of this session, the policy's too. Those are sent
    // again, so that a mail the policy deleted still goes at QUIT and never reaches the mail
    // program. The server's numbers stay the same for the whole session.
    for (const std::int32_t number : SessionPolicyDeletions) {
      // The completion of the request before must not be taken for this one's.
      Application->ProcessMessages();
      Pop3Cli1->SetMsgNum(number);
      LastReply.clear();
      RequestFinished = false;
      Pop3Cli1->Dele();
      AwaitReply();
      Memo_LOG->Lines().Add("Blocked mail " + std::to_string(number) +
                            " deleted again after RSET: " + LastReply);
      if (AbortRequested) {
        Socket->SendText("-ERR Request aborted by User\r\n");
        return;
      }
    }
  }
  Socket->SendText(ForwardedReply(reply) + "\r\n");
  WaitUntilSent(Socket);
}
