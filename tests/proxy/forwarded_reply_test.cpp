#include <gtest/gtest.h>

#include "proxy/mailbox_guards.h"

namespace {

// Whatever status a server writes, the mail program gets one beginning "+OK" or "-ERR", judged
// by the first byte as the client judged it, with the server's own text kept.
TEST(ForwardedReply, EveryStatusReachesTheMailProgramInTheProtocolsForm) {
  EXPECT_EQ(ForwardedReply("+OK logged in"), "+OK logged in");
  EXPECT_EQ(ForwardedReply("+OKAY"), "+OKAY");
  EXPECT_EQ(ForwardedReply("-ERR no such mail"), "-ERR no such mail");
  EXPECT_EQ(ForwardedReply("+ok fine"), "+OK fine");
  EXPECT_EQ(ForwardedReply("-err gone"), "-ERR gone");
  EXPECT_EQ(ForwardedReply("-Error: bad"), "-ERR Error: bad");
  EXPECT_EQ(ForwardedReply("+okay"), "+OK okay");
  EXPECT_EQ(ForwardedReply("+Oand"), "+OK Oand");
  EXPECT_EQ(ForwardedReply("+"), "+OK");
  EXPECT_EQ(ForwardedReply("-no way"), "-ERR no way");
  EXPECT_EQ(ForwardedReply("-"), "-ERR");
  EXPECT_EQ(ForwardedReply("OK"), "-ERR OK");
  EXPECT_EQ(ForwardedReply(""), "-ERR No reply from the POP3 server");
}

}  // namespace
