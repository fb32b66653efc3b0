#pragma once
// MD5 message digest (RFC 1321), kept in the program's own code so that the APOP login needs
// nothing beyond the standard library.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

struct TMD5Context {
  std::uint32_t state[4];
  std::uint32_t count[2];  // bits hashed, low half first
  std::uint8_t buffer[64];
};

using TMD5Digest = std::array<std::uint8_t, 16>;

void MD5Init(TMD5Context& context);
void MD5Update(TMD5Context& context, const std::uint8_t* data, std::size_t length);
// Pads, appends the length and writes the digest; the context is wiped afterwards.
void MD5Final(TMD5Context& context, TMD5Digest& digest);

// The digest of the text's bytes as 32 hexadecimal digits, upper-case letters.
std::string MD5HexDigest(std::string_view text);
