#include "pop3/md5.h"

#include <gtest/gtest.h>

#include <string>

#include "pop3/apop.h"

TEST(MD5HexDigest, MatchesTheReferenceSuite) {
  EXPECT_EQ(MD5HexDigest(""), "D41D8CD98F00B204E9800998ECF8427E");
  EXPECT_EQ(MD5HexDigest("a"), "0CC175B9C0F1B6A831C399E269772661");
  EXPECT_EQ(MD5HexDigest("abc"), "900150983CD24FB0D6963F7D28E17F72");
  EXPECT_EQ(MD5HexDigest("message digest"), "F96B697D7CB7938D525A2F31AAF161D0");
  EXPECT_EQ(MD5HexDigest("abcdefghijklmnopqrstuvwxyz"), "C3FCD3D76192E4007DFB496CCA67E13B");
  EXPECT_EQ(MD5HexDigest("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
            "D174AB98D277D9F5A5611C2C9F419D9F");
  EXPECT_EQ(MD5HexDigest("1234567890123456789012345678901234567890123456789012345678901234567890"
                         "1234567890"),
            "57EDF4A22BE3C955AC49DA2E2107B67A");
}

TEST(MD5HexDigest, PaddingBoundariesAndZeroBytes) {
  // 55, 56 and 64 bytes sit on either side of the point where padding needs a second block.
  EXPECT_EQ(MD5HexDigest(std::string(55, 'a')), "EF1772B6DFF9A122358552954AD0DF65");
  EXPECT_EQ(MD5HexDigest(std::string(56, 'a')), "3B0C8AC703F828B04C6C197006D17218");
  EXPECT_EQ(MD5HexDigest(std::string(64, 'a')), "014842D480B571495A4A0363793F7367");
  // Zero bytes are data, not terminators.
  EXPECT_NE(MD5HexDigest(std::string("ab\0c", 4)), MD5HexDigest("ab"));
  EXPECT_EQ(MD5HexDigest(std::string(3, '\0')), "693E9AF84D3DFCC71E640E005BDC5E2E");
}

TEST(MD5HexDigest, LongTextHashedInPiecesEqualsOneUpdate) {
  std::string text;
  for (int i = 0; i < 100000; ++i) text.push_back(char('a' + i % 26));
  TMD5Context context;
  MD5Init(context);
  MD5Update(context, reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
  TMD5Digest digest;
  MD5Final(context, digest);
  char hex[33];
  for (int i = 0; i < 16; ++i) std::snprintf(hex + i * 2, 3, "%02X", digest[i]);
  EXPECT_EQ(MD5HexDigest(text), std::string(hex));
  // One million 'a': the classic long vector, well past the piece size.
  EXPECT_EQ(MD5HexDigest(std::string(1000000, 'a')), "7707D6AE4E027C70EEA2A935C2296F21");
}

TEST(ApopDigest, ExampleLoginAndPasswordTakenAsStored) {
  EXPECT_EQ(ApopDigest("<1896.697170952@dbc.mtview.ca.us>", "tanstaaf"),
            "c4c9334bac560ecc979e58001b3e22fb");
  EXPECT_NE(ApopDigest("<1896.697170952@dbc.mtview.ca.us>", "tanstaaf "),
            "c4c9334bac560ecc979e58001b3e22fb");
}
