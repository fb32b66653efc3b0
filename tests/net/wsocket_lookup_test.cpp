// Name look-ups in the background and their answers through OnDnsLookupDone.
#include <gtest/gtest.h>
#include <unistd.h>

#include "net/wsocket.h"
#include "net_test_util.h"

using namespace nettest;

namespace {

class LookupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sock.OnDnsLookupDone = [this](TCustomWSocket*, std::uint16_t e) { done.push_back(e); };
  }
  TWSocket sock;
  std::vector<int> done;
};

TEST_F(LookupTest, DottedAddressIsAnsweredFromInsideTheCall) {
  sock.DnsLookup("10.1.2.3");
  ASSERT_EQ(done, std::vector<int>{0});
  EXPECT_EQ(sock.DnsResult(), "10.1.2.3");
  EXPECT_TRUE(sock.DnsResultList().empty());
}

TEST_F(LookupTest, LocalhostIsAnsweredLaterThroughTheLoop) {
  sock.DnsLookup("localhost");
  EXPECT_TRUE(done.empty());
  ASSERT_TRUE(PumpUntil([&] { return !done.empty(); }));
  EXPECT_EQ(done, std::vector<int>{0});
  EXPECT_EQ(sock.DnsResult(), "127.0.0.1");
  EXPECT_EQ(sock.DnsResultList(), std::vector<std::string>{"127.0.0.1"});
}

TEST_F(LookupTest, EveryAddressInTheResolversOrder) {
  if (!HostsFileReplaced()) GTEST_SKIP() << "no private hosts file";
  sock.DnsLookup("three.test");
  ASSERT_TRUE(PumpUntil([&] { return !done.empty(); }));
  EXPECT_EQ(done, std::vector<int>{0});
  EXPECT_EQ(sock.DnsResultList(), (std::vector<std::string>{"10.0.0.3", "10.0.0.1", "10.0.0.2"}));
  EXPECT_EQ(sock.DnsResult(), "10.0.0.3");
}

TEST_F(LookupTest, ASecondLookupReplacesTheFirstSilently) {
  sock.DnsLookup("localhost");
  sock.DnsLookup("localhost");
  ASSERT_TRUE(PumpUntil([&] { return !done.empty(); }));
  PumpFor(100);
  EXPECT_EQ(done, std::vector<int>{0});
}

TEST_F(LookupTest, CancelFiresInterruptedAndTheAnswerIsDropped) {
  sock.DnsLookup("localhost");
  sock.CancelLookup();
  EXPECT_EQ(done, std::vector<int>{10004});
  PumpFor(100);
  EXPECT_EQ(done, std::vector<int>{10004});
  EXPECT_EQ(sock.DnsResult(), "");
  sock.CancelLookup();  // nothing pending: nothing happens
  EXPECT_EQ(done.size(), 1u);
}

TEST_F(LookupTest, AbortCancelsAPendingLookup) {
  sock.DnsLookup("localhost");
  sock.Abort();
  EXPECT_EQ(done, std::vector<int>{10004});
}

TEST_F(LookupTest, EmptyNameIsRefused) {
  try {
    sock.DnsLookup("");
    ADD_FAILURE() << "no exception";
  } catch (const ESocketException& e) {
    EXPECT_STREQ(e.what(), "DNS lookup: invalid host name.");
  }
  EXPECT_TRUE(done.empty());
  int errors = 0;
  sock.OnError = [&](TCustomWSocket*) { ++errors; };
  sock.DnsLookup("");
  EXPECT_EQ(errors, 1);
  EXPECT_EQ(done, std::vector<int>{10022});
}

TEST_F(LookupTest, UnknownHostReportsAResolverError) {
  if (!NetworkIsolated()) GTEST_SKIP() << "would ask the system's name server";
  sock.DnsLookup("no-such-host.invalid");
  ASSERT_TRUE(PumpUntil([&] { return !done.empty(); }, 10000));
  ASSERT_EQ(done.size(), 1u);
  EXPECT_GE(done[0], 11001);
  EXPECT_LE(done[0], 11004);
  EXPECT_EQ(sock.DnsResult(), "");
}

TEST_F(LookupTest, StrayLookupMessageOnAnIdleSocketHasNoEffect) {
  // The local service posts this to its idle socket when it resets.
  PostMessage(sock.NotifyWindow(), LookupDoneMessage, 0, reinterpret_cast<LPARAM>(&sock));
  PumpFor(20);
  EXPECT_TRUE(done.empty());
  sock.DnsLookup("localhost");
  ASSERT_TRUE(PumpUntil([&] { return !done.empty(); }));
  EXPECT_EQ(done, std::vector<int>{0});
  EXPECT_EQ(sock.DnsResult(), "127.0.0.1");
}

TEST_F(LookupTest, ReverseLookupGivesTheName) {
  sock.ReverseDnsLookup("127.0.0.1");
  ASSERT_TRUE(PumpUntil([&] { return !done.empty(); }));
  EXPECT_EQ(done, std::vector<int>{0});
  EXPECT_EQ(sock.DnsResult(), "localhost");
  EXPECT_EQ(sock.DnsResultList(), std::vector<std::string>{"localhost"});
}

TEST_F(LookupTest, DestroyingTheSocketWithALookupPendingIsSilent) {
  auto* s = new TWSocket;
  int calls = 0;
  s->OnDnsLookupDone = [&](TCustomWSocket*, std::uint16_t) { ++calls; };
  s->DnsLookup("localhost");
  delete s;
  PumpFor(100);
  EXPECT_EQ(calls, 0);
}

// The POP3 client's way: look the host up, then connect to the answer.
TEST_F(LookupTest, LookupThenConnect) {
  std::uint16_t port = 0;
  int listenFd = PlainListen(port);
  ASSERT_GE(listenFd, 0);
  bool connected = false;
  sock.OnDnsLookupDone = [&](TCustomWSocket* s, std::uint16_t e) {
    ASSERT_EQ(e, 0);
    s->SetAddr(s->DnsResult());
    s->SetProto("tcp");
    s->SetPort(std::to_string(port));
    s->SetLocalAddr("0.0.0.0");
    s->Connect();
  };
  sock.OnSessionConnected = [&](TCustomWSocket*, std::uint16_t e) { connected = e == 0; };
  sock.DnsLookup("localhost");
  ASSERT_TRUE(PumpUntil([&] { return connected; }));
  close(listenFd);
}

}  // namespace
