#pragma once
// The message store: every mail of the upstream mailbox, downloaded and decoded, while a mail
// program is connected. Entry i is the mail the mail program knows as message i+1.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/streams.h"

struct TNachricht {
  // The mail's number on the server: what DELE sends upstream. It keeps its value when
  // other entries are removed, so after a removal it differs from the position.
  std::int32_t Number = 0;
  std::string ToHeader;
  std::string FromHeader;
  std::string SubjectHeader;
  // The size the server's LIST gave.
  std::int32_t Size = 0;
  // The server's unique id of the mail (UIDL); empty when the server gave none.
  std::string UniqueId;
  // The raw mail: every data line of the RETR reply, unstuffed, each ended by CR LF.
  TMemoryStream Content;
  // Attachment file names in the order their part headers came; duplicates possible.
  std::vector<std::string> Attachments;
};

using TNachrichten = std::vector<TNachricht>;

extern TNachrichten MessageStore;
// The entry whose download and decoding are under way.
extern int CurrentMessage;
// One mail of the server's listing: its number on the server and the size LIST gave.
struct TListedMail {
  std::int32_t Number = 0;
  std::int32_t Size = 0;
};
// The server's LIST for the check under way, in the server's order. The numbers need not run
// from 1 to the count: a mail deleted earlier in the same session keeps its number taken.
extern std::vector<TListedMail> MessageListing;

// Removes entry `index`; the others keep their order and values. An index outside the store
// changes nothing.
void RemoveMessage(TNachrichten& store, int index);

// Sum of the server's sizes (`Size`) over the store.
std::int64_t TotalSize(const TNachrichten& store);

// What the mail program receives for an entry: the bytes of its stored content (before
// byte-stuffing). This, not the server's figure, is what STAT and LIST tell the mail program,
// since a renamed mail is no longer the size the server gave.
std::int64_t ServedSize(const TNachricht& entry);
std::int64_t ServedTotalSize(const TNachrichten& store);
