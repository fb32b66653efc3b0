#pragma once
// The APOP digest: MD5 of the greeting's timestamp followed by the password, in lower-case
// hexadecimal as the server compares it.

#include <string>
#include <string_view>

std::string ApopDigest(std::string_view timestamp, std::string_view password);
