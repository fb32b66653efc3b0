#include "platform/socket_errors.h"

#include <gtest/gtest.h>
#include <netdb.h>

#include <cerrno>
#include <thread>

TEST(SocketErrors, ErrnoMapsOntoTheSocketLibraryNumbers) {
  EXPECT_EQ(wsa::FromErrno(0), 0);
  EXPECT_EQ(wsa::FromErrno(EWOULDBLOCK), 10035);
  EXPECT_EQ(wsa::FromErrno(EAGAIN), 10035);
  EXPECT_EQ(wsa::FromErrno(ECONNREFUSED), 10061);
  EXPECT_EQ(wsa::FromErrno(ECONNRESET), 10054);
  EXPECT_EQ(wsa::FromErrno(ENOTCONN), 10057);
  EXPECT_EQ(wsa::FromErrno(EADDRINUSE), 10048);
  EXPECT_EQ(wsa::FromErrno(EINPROGRESS), 10036);
  EXPECT_EQ(wsa::FromErrno(ENOTSOCK), 10038);
  EXPECT_EQ(wsa::FromErrno(EBADF), 10009);
  EXPECT_EQ(wsa::FromErrno(ETIMEDOUT), 10060);
  EXPECT_EQ(wsa::FromErrno(EHOSTUNREACH), 10065);
  EXPECT_EQ(wsa::FromErrno(EPIPE), 10053);
  EXPECT_EQ(wsa::FromErrno(ENOENT), 10022);  // no equivalent
}

TEST(SocketErrors, ResolverCodes) {
  EXPECT_EQ(wsa::FromResolverCode(0, 0), 0);
  EXPECT_EQ(wsa::FromResolverCode(EAI_NONAME, 0), 11001);
  EXPECT_EQ(wsa::FromResolverCode(EAI_AGAIN, 0), 11002);
  EXPECT_EQ(wsa::FromResolverCode(EAI_FAIL, 0), 11003);
  EXPECT_EQ(wsa::FromResolverCode(EAI_SYSTEM, ECONNREFUSED), 10061);
}

TEST(SocketErrors, LastErrorIsKeptPerThread) {
  wsa::SetLastError(10054);
  std::thread([] {
    EXPECT_EQ(wsa::GetLastError(), 0);
    wsa::SetLastErrorFromErrno(ECONNREFUSED);
    EXPECT_EQ(wsa::GetLastError(), 10061);
  }).join();
  EXPECT_EQ(wsa::GetLastError(), 10054);
}
