#include "platform/host_lookup.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>

#include <chrono>
#include <vector>

#include "platform/socket_errors.h"

namespace {

class HostLookupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    target =
        TMessageLoop::Current().AllocateTarget([this](const TMessage& m) { answers.push_back(m); });
  }
  void TearDown() override { TMessageLoop::Current().ReleaseTarget(target); }
  bool WaitForAnswers(std::size_t n, int ms = 5000) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (answers.size() < n && std::chrono::steady_clock::now() < end)
      TMessageLoop::Current().WaitAndDispatchOne(10);
    return answers.size() >= n;
  }

  TNotifyTarget target = 0;
  std::vector<TMessage> answers;
};

TEST_F(HostLookupTest, NameLookupPostsTheHandleAndKeepsTheEntryUntilTaken) {
  TLookupHandle h = AsyncGetHostByName(target, LookupDoneMessage, "localhost");
  EXPECT_NE(h, 0);
  ASSERT_TRUE(WaitForAnswers(1));
  EXPECT_EQ(answers[0].msg, LookupDoneMessage);
  EXPECT_EQ(static_cast<TLookupHandle>(answers[0].wParam), h);
  EXPECT_EQ((answers[0].lParam >> 16) & 0xffff, 0);
  THostEntry entry;
  ASSERT_TRUE(TakeLookupResult(h, entry));
  ASSERT_FALSE(entry.addresses.empty());
  EXPECT_EQ(entry.addresses[0], htonl(INADDR_LOOPBACK));
  EXPECT_FALSE(TakeLookupResult(h, entry));  // taken once only
  EXPECT_FALSE(CancelAsyncRequest(h));
  EXPECT_EQ(wsa::GetLastError(), 10022);
}

TEST_F(HostLookupTest, CancelledRequestLeavesNoAnswerToTake) {
  TLookupHandle h = AsyncGetHostByName(target, LookupDoneMessage, "localhost");
  EXPECT_TRUE(CancelAsyncRequest(h));
  TLookupHandle later = AsyncGetHostByName(target, LookupDoneMessage, "localhost");
  auto answered = [&] {
    for (const auto& m : answers)
      if (static_cast<TLookupHandle>(m.wParam) == later) return true;
    return false;
  };
  auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!answered() && std::chrono::steady_clock::now() < end)
    TMessageLoop::Current().WaitAndDispatchOne(10);
  ASSERT_TRUE(answered());
  // A message for h may have been on its way already; it carries a handle nobody waits for.
  THostEntry entry;
  EXPECT_FALSE(TakeLookupResult(h, entry));
  EXPECT_TRUE(TakeLookupResult(later, entry));
}

TEST_F(HostLookupTest, ReverseLookupGivesTheOfficialName) {
  TLookupHandle h = AsyncGetHostByAddr(target, ReverseLookupDoneMessage, htonl(INADDR_LOOPBACK));
  ASSERT_TRUE(WaitForAnswers(1));
  EXPECT_EQ(answers[0].msg, ReverseLookupDoneMessage);
  THostEntry entry;
  ASSERT_TRUE(TakeLookupResult(h, entry));
  EXPECT_EQ(entry.officialName, "localhost");
}

TEST_F(HostLookupTest, AnswerForAReleasedTargetIsDropped) {
  TNotifyTarget gone = TMessageLoop::Current().AllocateTarget([](const TMessage&) {});
  TMessageLoop::Current().ReleaseTarget(gone);
  TLookupHandle h = AsyncGetHostByName(gone, LookupDoneMessage, "localhost");
  TLookupHandle probe = AsyncGetHostByName(target, LookupDoneMessage, "localhost");
  ASSERT_TRUE(WaitForAnswers(1));  // requests are served in order: h has been answered
  THostEntry entry;
  EXPECT_FALSE(TakeLookupResult(h, entry));
  EXPECT_TRUE(TakeLookupResult(probe, entry));
}

TEST(SyncLookups, ServicesAndProtocols) {
  std::uint16_t port = 0;
  EXPECT_TRUE(GetServicePort("pop3", "tcp", port));
  EXPECT_EQ(port, 110);
  EXPECT_FALSE(GetServicePort("no-such-service", "tcp", port));
  int proto = 0;
  EXPECT_TRUE(GetProtocolNumber("udp", proto));
  EXPECT_EQ(proto, 17);
  EXPECT_FALSE(GetProtocolNumber("nonsense", proto));
  THostEntry entry;
  EXPECT_TRUE(GetHostByName("localhost", entry));
}

}  // namespace
