#include "proxy/mailbox_guards.h"

#include <algorithm>

#include "inspection/mailbox_protocol.h"
#include "inspection/message_store.h"
#include "net/wsocket.h"
#include "platform/ascii_text.h"
#include "pop3/reply_parsing.h"
#include "pop3/sync_pop3_client.h"
#include "proxy/download_state.h"

namespace {
// A stored mail goes out in pieces of this size, byte-stuffed on the way.
constexpr std::size_t kSendPiece = 64 * 1024;
// No more than this waits in the send queue: a large mail would otherwise be held twice, in
// the store and once more in the queue, until the mail program had read it all.
constexpr std::int64_t kMostQueued = 1024 * 1024;
}  // namespace

bool PositiveReply(const std::string& reply) {
  return !reply.empty() && reply[0] == '+';
}

bool NegativeReply(const std::string& reply) {
  return !reply.empty() && reply[0] == '-';
}

namespace {

// The server's line with the status indicator as the protocol writes it: an indicator in
// other letter case is put right ("+ok" becomes "+OK"), and anything else after the first byte
// follows the indicator as its text ("+Oand" becomes "+OK Oand").
std::string WithIndicator(std::string_view indicator, const std::string& reply) {
  const bool sameWord = ascii::StartsWithNoCase(reply, indicator) &&
                        (reply.size() == indicator.size() || reply[indicator.size()] == ' ');
  if (sameWord) return std::string(indicator) + reply.substr(indicator.size());
  const std::string rest = Pop3Trim(std::string_view(reply).substr(1));
  return rest.empty() ? std::string(indicator) : std::string(indicator) + " " + rest;
}

}  // namespace

std::string AsNegativeReply(const std::string& reply) {
  if (reply.starts_with("-ERR")) return reply;
  if (NegativeReply(reply)) return WithIndicator("-ERR", reply);
  return reply.empty() ? "-ERR No reply from the POP3 server" : "-ERR " + reply;
}

std::string ForwardedReply(const std::string& reply) {
  if (!PositiveReply(reply)) return AsNegativeReply(reply);
  return reply.starts_with("+OK") ? reply : WithIndicator("+OK", reply);
}

void DropMessageStore(TFormVazireRevivo& form) {
  MessageStore.clear();
  MessageListing.clear();
  CurrentMessage = 0;
  form.MailboxChecked = false;
  if (form.Download) form.Download->CloseFile();
}

TStoreInUse::TStoreInUse(TFormVazireRevivo& form) : form_(form) {
  ++DownloadState(form_).StoreUsers;
}

TStoreInUse::~TStoreInUse() {
  auto& state = DownloadState(form_);
  if (--state.StoreUsers == 0 && state.ClearRequested) {
    state.ClearRequested = false;
    DropMessageStore(form_);
  }
}

bool RefuseNestedCommand(TFormVazireRevivo& form, TWSocket* socket) {
  if (DownloadState(form).StoreUsers == 0) return false;
  socket->SendText("-ERR Another mailbox command is still running\r\n");
  return true;
}

bool EnsureMailboxChecked(TFormVazireRevivo& form, TWSocket* socket) {
  if (form.MailboxChecked) return true;
  // After a Cancel that check needs the server too, and so it answers with the abort reply.
  if (!form.AbortRequested && form.Pop3Cli1->ProtocolState() != pop3Transaction) return true;
  return form.CheckMailbox(socket) == TFormVazireRevivo::TMailboxCheck::Checked;
}

bool RefuseWrongNumber(TFormVazireRevivo& form, TWSocket* socket, int number) {
  if (number >= 1 && number <= static_cast<int>(MessageStore.size())) return false;
  socket->SendText("-ERR Messagenumber too high!\r\n");
  form.WaitUntilSent(socket);
  form.Memo_LOG->Lines().Add("Client requested a wrong Messagenumber!");
  return true;
}

std::int64_t SendStuffed(TFormVazireRevivo& form, TWSocket* socket, std::string_view content) {
  TByteStuffer stuffer;
  std::int64_t sent = 0;
  std::string piece;
  for (std::size_t at = 0; at < content.size(); at += kSendPiece) {
    piece.clear();
    stuffer.Append(content.substr(at, kSendPiece), piece);
    sent += socket->Send(piece.data(), static_cast<std::int32_t>(piece.size()));
    if (socket->SendQueueBytes() >= kMostQueued) {
      form.WaitUntilSent(socket);
      // A mail program that left meanwhile gets nothing more.
      if (socket->State() != wsConnected) break;
    }
  }
  // The terminating line must stand on a line of its own.
  if (!content.empty() &&
      content.substr(content.size() - std::min<std::size_t>(2, content.size())) != "\r\n") {
    sent += socket->SendText("\r\n");
  }
  form.WaitUntilSent(socket);
  return sent;
}
