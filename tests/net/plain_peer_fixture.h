#pragma once
// A client socket of the layer and, on loopback, a plain blocking peer that accepts it, with
// the client's notifications logged.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <string>

#include "event_log.h"
#include "net/wsocket.h"
#include "net_test_util.h"

namespace nettest {

class PlainPeerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    listenFd = PlainListen(port);
    ASSERT_GE(listenFd, 0);
    log.Attach(sock);
  }
  void TearDown() override {
    if (peer >= 0) close(peer);
    if (listenFd >= 0) close(listenFd);
  }
  // Returns once the peer has accepted and the client reports the connection.
  void ConnectAndAccept() {
    sock.SetAddr("127.0.0.1");
    sock.SetPort(std::to_string(port));
    sock.Connect();
    peer = PlainAccept(listenFd);
    ASSERT_GE(peer, 0);
    ASSERT_TRUE(PumpUntil([&] { return sock.State() == wsConnected; }));
  }

  std::uint16_t port = 0;
  int listenFd = -1;
  int peer = -1;
  TWSocket sock;
  TEventLog log;
};

}  // namespace nettest
