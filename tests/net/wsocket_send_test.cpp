// The send queue against peers that read at once, slowly, never, or reset.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <thread>

#include "plain_peer_fixture.h"

using namespace nettest;

namespace {

class SendTest : public PlainPeerTest {
 protected:
  // A loopback connection accepts a few megabytes before it pushes back, so the tests that
  // need a peer that does not keep up send 16 MiB while the peer reads nothing.
  void Open() {
    ConnectAndAccept();
    // The first write notification after the connect is part of every session: wait for it.
    ASSERT_TRUE(PumpUntil([&] { return log.Has("sent 0"); }));
    log.events.clear();
  }
};

TEST_F(SendTest, BlocksOfSendBlockSizeAndDataSentOnlyAfterSendReturns) {
  Open();
  std::vector<int> sendCalls;
  sock.OnSendData = [&](TCustomWSocket*, std::int32_t n) { sendCalls.push_back(n); };
  const std::string data = Pattern(5000);
  EXPECT_EQ(sock.Send(data.data(), 5000), 5000);
  EXPECT_EQ(sendCalls, (std::vector<int>{1460, 1460, 1460, 620}));
  EXPECT_TRUE(sock.SendComplete());
  EXPECT_FALSE(log.Has("sent 0"));  // never from inside Send
  ASSERT_TRUE(PumpUntil([&] { return log.Has("sent 0"); }));
  EXPECT_EQ(ReadBytes(peer, 5000), data);
  // The drained block stays queued for the next data.
  EXPECT_EQ(sock.SendQueueBlocks(), 1u);
  EXPECT_EQ(sock.SendQueueBytes(), 0);
}

TEST_F(SendTest, PeerThatStopsReadingKeepsEverythingQueuedUntilItReads) {
  Open();
  sock.SetSendBlockSize(32768);
  const std::string data = Pattern(16 * 1024 * 1024);
  EXPECT_EQ(sock.Send(data.data(), static_cast<std::int32_t>(data.size())),
            static_cast<std::int32_t>(data.size()));
  EXPECT_FALSE(sock.SendComplete());
  EXPECT_GT(sock.SendQueueBytes(), 0);
  PumpFor(100);
  EXPECT_FALSE(sock.SendComplete());
  EXPECT_FALSE(log.Has("sent 0"));

  std::string received;
  std::thread reader([&] { received = ReadBytes(peer, data.size(), 20000); });
  EXPECT_TRUE(PumpUntil([&] { return sock.SendComplete(); }, 20000));
  reader.join();
  EXPECT_TRUE(received == data) << "received " << received.size() << " bytes";
  EXPECT_TRUE(PumpUntil([&] { return log.Has("sent 0"); }));
}

TEST_F(SendTest, SendFromOnSendDataKeepsTheOrderOfBytes) {
  Open();
  sock.SetSendBlockSize(100);
  int extra = 0;
  sock.OnSendData = [&](TCustomWSocket* s, std::int32_t) {
    if (extra < 3) {
      ++extra;
      s->SendText(std::string(1, static_cast<char>('0' + extra)));
    }
  };
  sock.SendText(std::string(250, 'x'));
  ASSERT_TRUE(PumpUntil([&] { return sock.SendComplete(); }));
  std::string got = ReadBytes(peer, 253, 2000);
  EXPECT_EQ(got, std::string(250, 'x') + "123");
}

TEST_F(SendTest, SendWhileClosedReports10057AndReturnsMinusOne) {
  try {
    sock.SendText("x");
    ADD_FAILURE() << "no exception";
  } catch (const ESocketException& e) {
    EXPECT_STREQ(e.what(), "Error 10057 in function Send\r\nSocket is not connected");
  }
  int errors = 0;
  sock.OnError = [&](TCustomWSocket*) { ++errors; };
  log.events.clear();
  EXPECT_EQ(sock.SendText("x"), -1);
  EXPECT_EQ(errors, 1);
  EXPECT_EQ(sock.LastError(), 10057);
  // Already closed: the state change is still reported, OnSessionClosed is not.
  EXPECT_EQ(log.Joined(), "state 7>7");
}

TEST_F(SendTest, SendWhileConnectingClosesWith10057) {
  sock.OnError = [](TCustomWSocket*) {};
  sock.SetAddr("127.0.0.1");
  sock.SetPort(std::to_string(port));
  sock.Connect();
  ASSERT_EQ(sock.State(), wsConnecting);
  log.events.clear();
  EXPECT_EQ(sock.SendText("early"), -1);
  EXPECT_EQ(log.Joined(), "closed 10057, state 3>7");
  EXPECT_EQ(sock.HSocket(), INVALID_SOCKET);
}

TEST_F(SendTest, PeerResetWhileDataIsQueuedClosesOnceWithoutCrash) {
  Open();
  const std::string data = Pattern(16 * 1024 * 1024);
  sock.Send(data.data(), static_cast<std::int32_t>(data.size()));
  ASSERT_FALSE(sock.SendComplete());
  CloseWithReset(peer);
  peer = -1;
  ASSERT_TRUE(PumpUntil([&] { return sock.State() == wsClosed; }));
  PumpFor(50);
  int closes = 0;
  for (const auto& e : log.events) closes += e.rfind("closed ", 0) == 0;
  EXPECT_EQ(closes, 1) << log.Joined();
  EXPECT_TRUE(log.Has("closed 10054") || log.Has("closed 10053")) << log.Joined();
  EXPECT_TRUE(sock.SendComplete());
}

TEST_F(SendTest, EmptySendQueuesNothingAndLeavesSendCompleteAlone) {
  Open();
  EXPECT_EQ(sock.SendText(""), 0);
  EXPECT_EQ(sock.Send("x", 0), 0);
  EXPECT_TRUE(sock.SendComplete());
  EXPECT_EQ(sock.SendQueueBlocks(), 0u);
}

TEST_F(SendTest, FlushHandsTheQueueOverBeforeReturning) {
  Open();
  sock.SetMultiThreaded(true);
  const std::string data = Pattern(16 * 1024 * 1024);
  std::int64_t handed = 0;
  sock.OnSendData = [&](TCustomWSocket*, std::int32_t n) { handed += n; };
  sock.Send(data.data(), static_cast<std::int32_t>(data.size()));
  ASSERT_FALSE(sock.SendComplete());
  std::string received;
  std::thread reader([&] { received = ReadBytes(peer, data.size(), 20000); });
  sock.Flush();
  EXPECT_EQ(handed, static_cast<std::int64_t>(data.size())) << log.Joined();
  EXPECT_TRUE(sock.SendComplete());
  reader.join();
  ASSERT_EQ(received.size(), data.size());
  EXPECT_TRUE(received == data)
      << "first difference at "
      << std::mismatch(received.begin(), received.end(), data.begin()).first - received.begin();
}

TEST_F(SendTest, AbortDiscardsQueuedData) {
  Open();
  const std::string data = Pattern(16 * 1024 * 1024);
  sock.Send(data.data(), static_cast<std::int32_t>(data.size()));
  ASSERT_FALSE(sock.SendComplete());
  sock.Abort();
  EXPECT_EQ(sock.State(), wsClosed);
  EXPECT_EQ(sock.SendQueueBlocks(), 0u);
  EXPECT_EQ(log.Count("closed 0"), 1);
}

}  // namespace
