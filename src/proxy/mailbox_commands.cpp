// The mail program's mailbox commands STAT, LIST, RETR and DELE. STAT does the real work:
// every mail is downloaded, decoded and checked before the answer; LIST and RETR are then
// served from the store, DELE goes to the server with the server's own number of the mail.

#include "app/text_table.h"
#include "inspection/mailbox_protocol.h"
#include "inspection/message_store.h"
#include "mime/mime_decode.h"
#include "net/corked_reply.h"
#include "net/wsocket.h"
#include "pop3/sync_pop3_client.h"
#include "proxy/download_state.h"
#include "proxy/mailbox_guards.h"

namespace {

std::string Decimal(std::int64_t value) {
  return std::to_string(value);
}

}  // namespace

void TFormVazireRevivo::ClearMessageStore() {
  if (Download && Download->StoreUsers > 0) {
    Download->ClearRequested = true;
    return;
  }
  DropMessageStore(*this);
}

TFormVazireRevivo::TMailboxCheck TFormVazireRevivo::CheckMailbox(TWSocket* Socket) {
  TStoreInUse inUse(*this);
  auto& state = DownloadState(*this);
  auto log = [this](const std::string& line) { Memo_LOG->Lines().Add(line); };
  DropMessageStore(*this);
  state.Failure = TCheckFailure::cfNone;
  if (!MimeDecode1) MimeDecode1 = std::make_shared<TMimeDecode>();
  Pop3Cli1->OnListLine = [this](TCustomPop3Cli*) { Pop3Cli1ListLine(); };
  Pop3Cli1->OnListEnd = [this](TCustomPop3Cli*) { Pop3Cli1ListEnd(); };
  Pop3Cli1->OnMessageLine = [this](TCustomPop3Cli*) { Pop3Cli1MessageLine(); };
  Pop3Cli1->OnMessageEnd = [this](TCustomPop3Cli*) { Pop3Cli1MessageEnd(); };
  MimeDecode1->OnPartHeaderLine = [this](TMimeDecode&) { MimeDecode1PartHeaderLine(); };

  if (!AskServer(&TCustomPop3Cli::Stat)) {
    Socket->SendText(AbortedByUserReply);
    return TMailboxCheck::Answered;
  }
  if (!PositiveReply(LastReply)) {
    AddResultGroup({350, 351});
    log("STAT failed!");
    Socket->SendText(AsNegativeReply(LastReply) + "\r\n");
    WaitUntilSent(Socket);
    return TMailboxCheck::Answered;
  }
  // A count the client could not take (too large, signed, missing) would make the mailbox
  // look empty, and the mail program would be told there is no mail.
  if (const auto stat = ParseStatReply(LastReply); !stat || stat->Count != Pop3Cli1->MsgCount()) {
    log("STAT reply unreadable: " + LastReply);
    AddResultGroup({350, 351});
    log("STAT failed!");
    Socket->SendText("-ERR The POP3 server's STAT reply holds no valid count and size\r\n");
    WaitUntilSent(Socket);
    return TMailboxCheck::Answered;
  }

  try {
    log("STAT sent ok ; Getting and checking mails now.");
    log("Real STAT-Response was:" + Pop3Cli1->LastResponse());
    Image_STAT->Show();
    PrepareStore();
    log("Mailarray contains " + Decimal(static_cast<std::int64_t>(MessageStore.size())) +
        " mails with " + Decimal(TotalSize(MessageStore)) + " Bytes.");
    if (state.Failure == TCheckFailure::cfNone) FetchUniqueIds();
    if (state.Failure == TCheckFailure::cfNone) DownloadAndDecodeAll();
  } catch (...) {
    DropMessageStore(*this);
    throw;
  }

  if (state.ClearRequested) {
    // The mail program has gone: nobody is left to answer.
    DropMessageStore(*this);
    return TMailboxCheck::Answered;
  }
  if (AbortRequested || state.Failure == TCheckFailure::cfAborted) {
    DropMessageStore(*this);
    Socket->SendText("-ERR Abort requested by User\r\n");
    return TMailboxCheck::Answered;
  }
  if (state.Failure != TCheckFailure::cfNone) {
    // Nothing of a check that broke off is served: the mail program hears of the failure,
    // and every mail stays on the server as it was.
    DropMessageStore(*this);
    Socket->SendText(state.Failure == TCheckFailure::cfTimedOut
                         ? "-ERR TimeOut\r\n"
                         : "-ERR Error during download!\r\n");
    WaitUntilSent(Socket);
    log("Download failed - mails not served.");
    AddResultGroup({350, 351});
    return TMailboxCheck::Answered;
  }

  try {
    log("All mails successfully downloaded.");
    CheckAttachments();
  } catch (...) {
    DropMessageStore(*this);
    throw;
  }
  if (state.ClearRequested) {
    DropMessageStore(*this);
    return TMailboxCheck::Answered;
  }
  if (AbortRequested) {
    // A check the user stopped serves nothing: a blocked mail may not have been dealt with.
    DropMessageStore(*this);
    Socket->SendText("-ERR Abort requested by User\r\n");
    return TMailboxCheck::Answered;
  }
  Image_ATTACHMENTS->Show();
  MailboxChecked = true;
  return TMailboxCheck::Checked;
}

void TFormVazireRevivo::HandleStat(TWSocket* Socket, const std::string&) {
  if (RefuseNestedCommand(*this, Socket)) return;
  if (CheckMailbox(Socket) != TMailboxCheck::Checked) return;
  Socket->SendText("+OK " + Decimal(static_cast<std::int64_t>(MessageStore.size())) + " " +
                   Decimal(ServedTotalSize(MessageStore)) + "\r\n");
  WaitUntilSent(Socket);
  Memo_LOG->Lines().Add("Mailarray contains " +
                        Decimal(static_cast<std::int64_t>(MessageStore.size())) +
                        " mails after Blocking.");
}

void TFormVazireRevivo::HandleList(TWSocket* Socket, const std::string& Text) {
  if (RefuseNestedCommand(*this, Socket)) return;
  if (!EnsureMailboxChecked(*this, Socket)) return;
  if (const auto number = ParseListArgument(Text)) {
    if (RefuseWrongNumber(*this, Socket, *number)) return;
    const std::string line =
        Decimal(*number) + " " +
        Decimal(ServedSize(MessageStore[static_cast<std::size_t>(*number - 1)]));
    Memo_LOG->Lines().Add("Add to LIST-Response : " + line);
    Socket->SendText("+OK " + line + "\r\n");
    WaitUntilSent(Socket);
    return;
  }
  std::string reply;
  if (MessageStore.empty() && !MailboxChecked) {
    // No mailbox was checked (no login): there is nothing to list.
    reply = "-ERR No Messages!\r\n";
  } else {
    // A checked mailbox without mail is an empty listing, not an error: a mail program that
    // finds no new mail must not take its routine check for a failure.
    reply = "+OK Listing follows\r\n";
    for (std::size_t p = 0; p < MessageStore.size(); ++p) {
      const std::string line =
          Decimal(static_cast<std::int64_t>(p + 1)) + " " + Decimal(ServedSize(MessageStore[p]));
      Memo_LOG->Lines().Add("Add to LIST-Response : " + line);
      reply += line + "\r\n";
    }
    reply += ".\r\n";
  }
  Socket->SendText(reply);
  WaitUntilSent(Socket);
}

void TFormVazireRevivo::HandleRetr(TWSocket* Socket, const std::string& Text) {
  if (RefuseNestedCommand(*this, Socket)) return;
  RetrievePending = false;
  if (!EnsureMailboxChecked(*this, Socket)) return;
  const int number = ParseNumberArgument(Text);
  if (RefuseWrongNumber(*this, Socket, number)) return;
  {
    // The entry stays in place until its terminating line is out.
    TStoreInUse inUse(*this);
    TCorkedReply corked(*Socket);
    TNachricht& entry = MessageStore[static_cast<std::size_t>(number - 1)];
    Pop3Cli1->SetMsgNum(entry.Number);
    Memo_LOG->Lines().Add("Sending Message " + Decimal(number) + " now");
    Memo_LOG->Lines().Add("Message has " + Decimal(entry.Size) + " Bytes.");
    Memo_LOG->Lines().Add("Stream has " + Decimal(entry.Content.Size()) + " Bytes.");
    Socket->SendText("+OK Message follows\r\n");
    WaitUntilSent(Socket);

    entry.Content.SetPosition(0);
    const std::int64_t sent = SendStuffed(*this, Socket, entry.Content.DataString());
    Memo_LOG->Lines().Add(Decimal(sent) + " Bytes of mail sent");
    Socket->SendText(".\r\n");
  }
  WaitUntilSent(Socket);
  Memo_LOG->Lines().Add("Message has been sent.");
}

void TFormVazireRevivo::HandleDele(TWSocket* Socket, const std::string& Text) {
  if (RefuseNestedCommand(*this, Socket)) return;
  Image_SENT->Show();
  if (!EnsureMailboxChecked(*this, Socket)) return;
  const int number = ParseNumberArgument(Text);
  if (RefuseWrongNumber(*this, Socket, number)) return;
  Pop3Cli1->SetMsgNum(MessageStore[static_cast<std::size_t>(number - 1)].Number);
  if (!AskServer(&TCustomPop3Cli::Dele)) {
    Socket->SendText(AbortedByUserReply);
    return;
  }
  const bool accepted = PositiveReply(LastReply);
  Socket->SendText(ForwardedReply(LastReply) + "\r\n");
  WaitUntilSent(Socket);
  if (!accepted) {
    AddResultGroup({360, 361});
    Memo_LOG->Lines().Add("DELE failed!");
  }
}
