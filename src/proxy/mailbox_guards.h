#pragma once
// What every mailbox command shares: the check that runs first when the mail program sent no
// STAT, the refusal of a wrong message number, the guard that keeps the store in place while
// it is built or sent from, and the byte-stuffed sending of a stored mail.

#include <cstdint>
#include <string>
#include <string_view>

#include "proxy/main_form.h"

bool PositiveReply(const std::string& reply);
bool NegativeReply(const std::string& reply);
// A reply that is neither positive nor negative still answers the mail program, negatively.
// It always begins "-ERR", as the protocol has it: "-NO" goes on as "-ERR NO".
std::string AsNegativeReply(const std::string& reply);
// The server's reply as the mail program gets it: positive or negative by its first byte, as
// the client judges it, and beginning "+OK" or "-ERR" whatever the server wrote ("+Oand" goes
// on as "+OK Oand"), so that no mail program is left with a status it cannot read.
std::string ForwardedReply(const std::string& reply);

// Empties the store at once (the caller knows nobody uses it).
void DropMessageStore(TFormVazireRevivo& form);

// Marks the store as being built or sent from. It is never emptied meanwhile: a request to
// empty it waits until the store is free again.
class TStoreInUse {
 public:
  explicit TStoreInUse(TFormVazireRevivo& form);
  ~TStoreInUse();
  TStoreInUse(const TStoreInUse&) = delete;
  TStoreInUse& operator=(const TStoreInUse&) = delete;

 private:
  TFormVazireRevivo& form_;
};

// A mailbox command that arrives while the store is being built or a mail is being sent (a
// mail program that does not wait for its replies) is refused rather than run on a store
// that is in use. Commands arriving once a reply is out are handled as usual.
bool RefuseNestedCommand(TFormVazireRevivo& form, TWSocket* socket);

// The first mailbox command of a logged-in connection that sent no STAT checks the mailbox
// first; false when that check already answered the command.
bool EnsureMailboxChecked(TFormVazireRevivo& form, TWSocket* socket);

// "-ERR Messagenumber too high!" for a number outside the store; true when it was refused.
bool RefuseWrongNumber(TFormVazireRevivo& form, TWSocket* socket, int number);

// Sends a stored mail (or its start) byte-stuffed, ended by a line end of its own when it
// lacks one, but without the terminating "." line. Returns the bytes sent.
std::int64_t SendStuffed(TFormVazireRevivo& form, TWSocket* socket, std::string_view content);
