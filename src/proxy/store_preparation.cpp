// The store for a mailbox check: one entry per upstream mail, with the server's LIST sizes.

#include "inspection/mailbox_protocol.h"
#include "inspection/message_store.h"
#include "platform/application.h"
#include "pop3/sync_pop3_client.h"
#include "proxy/download_state.h"

namespace {
// More mails than this in one mailbox are taken for a broken STAT reply rather than a reason
// to reserve memory for them.
constexpr std::int32_t kMostMails = 1000000;
}  // namespace

void TFormVazireRevivo::PrepareStore() {
  auto& state = DownloadState(*this);
  MessageListing.clear();
  state.ListedNumbers.clear();
  MessageStore.clear();
  const std::int32_t count = Pop3Cli1->MsgCount();
  if (count <= 0) return;
  if (count > kMostMails) {
    Memo_LOG->Lines().Add("Mailbox of " + std::to_string(count) + " mails refused.");
    state.Failure = TCheckFailure::cfBroken;
    return;
  }
  MessageListing.reserve(static_cast<std::size_t>(count));

  ListingPending = true;
  state.ListingComplete = false;
  Pop3Cli1->SetMsgNum(0);
  if (!AskServer(&TCustomPop3Cli::List)) {
    MessageStore.clear();
    state.Failure = TCheckFailure::cfAborted;
    return;
  }
  if (TimedOut) {
    state.Failure = TCheckFailure::cfTimedOut;
    return;
  }
  if (!LastReply.empty() && LastReply[0] == '-') {
    state.Failure = TCheckFailure::cfBroken;
    return;
  }
  // The wait lasts until the LIST request has completed, not only until the line of the last
  // number: the first RETR cannot start while the listing's end is still outstanding. A
  // listing that never ends is bounded by the reply time limit, counted from its last line.
  switch (AwaitLines(
      *this, [this] { return RequestFinished; }, 5, TFirstLook::flAfterPause)) {
    case TLineWaitEnd::lwAborted:
      MessageStore.clear();
      state.Failure = TCheckFailure::cfAborted;
      return;
    case TLineWaitEnd::lwTimedOut:
      state.Failure = TCheckFailure::cfTimedOut;
      return;
    case TLineWaitEnd::lwDone:
      break;
  }
  ListingPending = false;
  if (!state.ListingComplete) {
    state.Failure = TCheckFailure::cfBroken;
    return;
  }
  // A listing that leaves out mails the STAT counted would hide them from the mail program.
  if (static_cast<std::int32_t>(MessageListing.size()) != count) {
    Memo_LOG->Lines().Add("Listing holds " + std::to_string(MessageListing.size()) + " of " +
                          std::to_string(count) + " mails.");
    state.Failure = TCheckFailure::cfBroken;
    return;
  }

  // The mails the server listed, in its order, each with its number on the server: after a
  // deletion in the same session the numbers no longer run from 1 to the count.
  MessageStore.resize(MessageListing.size());
  for (std::size_t i = 0; i < MessageStore.size(); ++i) {
    TNachricht& entry = MessageStore[i];
    entry.Number = MessageListing[i].Number;
    entry.Size = MessageListing[i].Size;
    entry.Content.Clear();
    entry.Attachments.clear();
  }
  Image_LIST->Show();
}

void TFormVazireRevivo::Pop3Cli1ListLine() {
  if (!ListingPending) return;
  const std::string& line = Pop3Cli1->LastResponse();
  const auto parsed = ParseListLine(line);
  if (!parsed) return;
  auto& state = DownloadState(*this);
  // No mail number below 1, none listed twice, and no more mails than the STAT counted.
  if (parsed->Number < 1 || state.ListedNumbers.count(parsed->Number) > 0 ||
      static_cast<std::int32_t>(MessageListing.size()) >= Pop3Cli1->MsgCount()) {
    return;
  }
  state.LastLineTick = GetTickCount();
  state.ListedNumbers.insert(parsed->Number);
  MessageListing.push_back(TListedMail{parsed->Number, parsed->Size});
  Memo_LOG->Lines().Add("LISTLINE: Message " + std::to_string(parsed->Number) + " has " + line +
                        " Bytes");
}

void TFormVazireRevivo::Pop3Cli1ListEnd() {
  DownloadState(*this).ListingComplete = true;
}
