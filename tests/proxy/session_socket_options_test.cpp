// The mail program's session must not wait for acknowledgements between its small writes, and
// must end with an orderly close, never a reset, in every session.

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include "net/wsocket.h"
#include "service_fixture.h"

namespace proxytest {
namespace {

// Whether closing the socket resets the connection (lingering on, with no time).
bool ClosesWithReset(TSocket handle) {
  linger value{};
  socklen_t len = sizeof value;
  if (::getsockopt(handle, SOL_SOCKET, SO_LINGER, &value, &len) != 0) return true;
  return value.l_onoff != 0 && value.l_linger == 0;
}

int NoDelayOf(TSocket handle) {
  int value = -1;
  socklen_t len = sizeof value;
  if (::getsockopt(handle, IPPROTO_TCP, TCP_NODELAY, &value, &len) != 0) return -1;
  return value;
}

// A listening socket adopts its first connection, as the service does.
int AdoptedNoDelay(const TWSocketOptions& options) {
  TWSocket listener;
  listener.SetProto("tcp");
  listener.SetAddr("127.0.0.1");
  listener.SetPort("0");
  listener.SetComponentOptions(options);
  bool available = false;
  listener.OnSessionAvailable = [&](TCustomWSocket*, std::uint16_t) { available = true; };
  listener.Listen();
  const std::uint16_t port = static_cast<std::uint16_t>(std::stoi(listener.LocalBoundPort()));
  TScriptedClient client(port);
  client.Gate(1).Close();
  client.Start();
  PumpUntil([&] { return available; });
  int result = -2;
  if (available) {
    TSocket handle = listener.Accept();
    listener.Dup(handle);
    if (listener.State() == wsConnected) result = NoDelayOf(listener.HSocket());
  }
  client.Release(1);
  PumpUntil([&] { return client.Done(); });
  return result;
}

TEST(SessionSocketOptions, AdoptedSocketTakesTheNoDelayOptionOnlyWhenSet) {
  EXPECT_NE(AdoptedNoDelay({wsoTcpNoDelay}), 0);
  EXPECT_EQ(AdoptedNoDelay({}), 0);
}

class ServiceSocketOptions : public ServiceTest {};

TEST_F(ServiceSocketOptions, MailProgramSessionSendsWithoutDelay) {
  Start();
  TScriptedClient client(ServicePort(*form));
  client.ExpectBytes(Greeting).Gate(1).Close();
  RunToGate(client, 1);
  ASSERT_EQ(form->WSocket1->State(), wsConnected);
  EXPECT_NE(NoDelayOf(form->WSocket1->HSocket()), 0);
  Finish(client, 1);
}

TEST_F(ServiceSocketOptions, EverySessionClosesWithoutAReset) {
  Start();
  for (int session = 0; session < 3; ++session) {
    ASSERT_TRUE(PumpUntil([&] { return form->WSocket1->State() == wsListening; }));
    TScriptedClient client(ServicePort(*form));
    client.ExpectBytes(Greeting)
        .Gate(1)
        .SendLine("QUIT")
        .Expect("+OK Vevazurod quits")
        .ExpectClosed();
    client.Close();
    RunToGate(client, 1);
    ASSERT_EQ(form->WSocket1->State(), wsConnected);
    EXPECT_FALSE(ClosesWithReset(form->WSocket1->HSocket())) << "session " << session;
    Finish(client, 1);
  }
}

}  // namespace
}  // namespace proxytest
