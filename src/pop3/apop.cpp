#include "pop3/apop.h"

#include "pop3/md5.h"

std::string ApopDigest(std::string_view timestamp, std::string_view password) {
  std::string keyed;
  keyed.reserve(timestamp.size() + password.size());
  keyed.append(timestamp);
  keyed.append(password);  // used as stored: a trailing space is part of the secret
  std::string digest = MD5HexDigest(keyed);
  for (char& c : digest) {
    if (c >= 'A' && c <= 'F') c = char(c - 'A' + 'a');
  }
  // The keyed text holds the password; do not leave it lying in freed memory.
  volatile char* wipe = keyed.data();
  for (std::size_t i = 0; i < keyed.size(); ++i) wipe[i] = 0;
  return digest;
}
