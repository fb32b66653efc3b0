// The server's unique-id listing, asked for by the mailbox check after LIST and before the
// downloads, so that UIDL can be answered from the store: each entry keeps its mail's id, and
// the ids leave the store with the mails the policy deletes. A server without UIDL changes
// nothing about the check; the mail program's UIDL then hears the server's refusal.

#include <unordered_map>

#include "inspection/message_store.h"
#include "inspection/unique_ids.h"
#include "platform/application.h"
#include "pop3/sync_pop3_client.h"
#include "proxy/download_state.h"

void TFormVazireRevivo::FetchUniqueIds() {
  auto& state = DownloadState(*this);
  UniqueIdRefusal.clear();
  if (MessageStore.empty()) return;
  Pop3Cli1->OnUidlBegin = [this](TCustomPop3Cli*) { uniqueIdsBegun_ = true; };
  Pop3Cli1->OnUidlLine = [this](TCustomPop3Cli*) { Pop3Cli1UidlLine(); };
  Pop3Cli1->OnUidlEnd = [this](TCustomPop3Cli*) { uniqueIdsComplete_ = true; };
  uniqueIdsBegun_ = uniqueIdsComplete_ = false;
  uniqueIdCursor_ = 0;
  Pop3Cli1->SetMsgNum(0);
  // The listing's completion may still be queued; it must not be taken for this request's.
  Application->ProcessMessages();
  LastReply.clear();
  RequestFinished = false;
  Pop3Cli1->Uidl();
  AwaitReply();
  if (AbortRequested) {
    state.Failure = TCheckFailure::cfAborted;
    return;
  }
  if (TimedOut) {
    state.Failure = TCheckFailure::cfTimedOut;
    return;
  }
  // A refusal is a single line; a listing may have come whole with its status line, so that
  // LastReply already holds a later line of it.
  const std::string statusLine = LastReply;
  switch (AwaitLines(
      *this, [this] { return RequestFinished; }, 5, TFirstLook::flBeforePause)) {
    case TLineWaitEnd::lwAborted:
      state.Failure = TCheckFailure::cfAborted;
      return;
    case TLineWaitEnd::lwTimedOut:
      state.Failure = TCheckFailure::cfTimedOut;
      return;
    case TLineWaitEnd::lwDone:
      break;
  }
  if (!uniqueIdsBegun_) {
    UniqueIdRefusal = statusLine.rfind("-ERR", 0) == 0 ? statusLine : "-ERR " + statusLine;
    Memo_LOG->Lines().Add("Server refused UIDL: " + statusLine);
    return;
  }
  if (!uniqueIdsComplete_) {
    // The session broke off in the middle of the listing: no mail could be downloaded now.
    state.Failure = TCheckFailure::cfBroken;
    return;
  }
  for (std::size_t i = 0; i < MessageStore.size(); ++i) {
    if (!MessageStore[i].UniqueId.empty()) continue;
    // Passing on a listing with a gap would make a mail program take the wrong mail for one
    // it has seen; it hears a refusal instead.
    UniqueIdRefusal = "-ERR The server gave no unique id for message " + std::to_string(i + 1);
    Memo_LOG->Lines().Add(UniqueIdRefusal);
    for (TNachricht& entry : MessageStore) entry.UniqueId.clear();
    return;
  }
  // A mail program that keeps its mail on the server fetches only mails whose id it has not
  // seen: of two mails with one id, it would never fetch the second.
  std::unordered_map<std::string, std::size_t> firstWithId;
  for (std::size_t i = 0; i < MessageStore.size(); ++i) {
    const auto [first, isNew] = firstWithId.emplace(MessageStore[i].UniqueId, i);
    if (isNew) continue;
    UniqueIdRefusal = "-ERR The server gave messages " + std::to_string(first->second + 1) +
                      " and " + std::to_string(i + 1) + " the same unique id";
    Memo_LOG->Lines().Add(UniqueIdRefusal);
    for (TNachricht& entry : MessageStore) entry.UniqueId.clear();
    return;
  }
  Memo_LOG->Lines().Add("Unique ids of " + std::to_string(MessageStore.size()) + " mails taken.");
}

void TFormVazireRevivo::Pop3Cli1UidlLine() {
  const auto line = ParseUidlLine(Pop3Cli1->LastResponse());
  if (!line) return;
  // No mail is taken out yet, and the entries stand in the order of the server's LIST, which
  // its UIDL follows too: the search starts where the last line was found.
  const std::size_t count = MessageStore.size();
  for (std::size_t step = 0; step < count; ++step) {
    const std::size_t i = (uniqueIdCursor_ + step) % count;
    if (MessageStore[i].Number != line->Number) continue;
    if (MessageStore[i].UniqueId.empty()) DownloadState(*this).LastLineTick = GetTickCount();
    MessageStore[i].UniqueId = line->Id;
    uniqueIdCursor_ = i + 1;
    return;
  }
}
