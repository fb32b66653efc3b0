// Through a real SOCKS server (Dante), started here on loopback with its own configuration.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <thread>

#include "net/wsocket.h"
#include "net_test_util.h"
#include "tls_test_server.h"

using namespace nettest;

namespace {

constexpr const char* kServer = "/usr/sbin/danted";

class RealSocksServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (access(kServer, X_OK) != 0) GTEST_SKIP() << "no SOCKS server installed";
    char dirTemplate[] = "/tmp/brindlecap-socks-XXXXXX";
    ASSERT_NE(mkdtemp(dirTemplate), nullptr);
    dir = dirTemplate;
    socksPort = UnusedPort();
    const std::string conf = dir + "/danted.conf";
    std::ofstream(conf) << "logoutput: " << dir << "/danted.log\n"
                        << "internal: 127.0.0.1 port = " << socksPort << "\n"
                        << "external: 127.0.0.1\n"
                        << "socksmethod: none\nclientmethod: none\n"
                        << "user.privileged: root\nuser.unprivileged: nobody\n"
                        << "client pass { from: 127.0.0.0/8 to: 0.0.0.0/0 }\n"
                        << "socks pass { from: 127.0.0.0/8 to: 127.0.0.0/8 command: connect }\n";
    server = fork();
    ASSERT_GE(server, 0);
    if (server == 0) {
      setpgid(0, 0);  // the server and its helpers end together
      execl(kServer, kServer, "-f", conf.c_str(), "-N", "1", static_cast<char*>(nullptr));
      _exit(127);
    }
    setpgid(server, server);
    bool up = false;
    for (int i = 0; i < 100 && !up; ++i) {
      int fd = PlainConnect(socksPort);
      if (fd >= 0) {
        close(fd);
        up = true;
      } else {
        usleep(50 * 1000);
      }
    }
    if (!up) GTEST_SKIP() << "the SOCKS server did not start";
    target = PlainListen(targetPort);
  }
  void TearDown() override {
    if (server > 0) {
      kill(-server, SIGTERM);
      waitpid(server, nullptr, 0);
    }
    if (target >= 0) close(target);
    if (!dir.empty()) std::system(("rm -rf '" + dir + "'").c_str());
  }

  // Connects through the server, exchanges a greeting and a reply with the target.
  void RoundTrip(const std::string& level, const std::string& addr) {
    TWSocket sock;
    std::string got;
    bool connected = false;
    sock.OnSessionConnected = [&](TCustomWSocket*, std::uint16_t e) {
      EXPECT_EQ(e, 0);
      connected = e == 0;
    };
    sock.OnDataAvailable = [&](TCustomWSocket* s, std::uint16_t) { got += s->ReceiveText(); };
    sock.SetSocksLevel(level);
    sock.SetSocksServer("127.0.0.1");
    sock.SetSocksPort(std::to_string(socksPort));
    sock.SetAddr(addr);
    sock.SetPort(std::to_string(targetPort));
    sock.Connect();
    // The negotiation runs in the loop; the server connects to the target at its end.
    ASSERT_TRUE(PumpUntil([&] {
      pollfd p{target, POLLIN, 0};
      return poll(&p, 1, 0) == 1;
    }));
    int peer = PlainAccept(target);
    ASSERT_GE(peer, 0);
    SendAll(peer, "+OK through the server\r\n");
    ASSERT_TRUE(PumpUntil([&] { return connected && got.size() >= 24; }));
    EXPECT_EQ(got, "+OK through the server\r\n");
    sock.SendText("QUIT\r\n");
    EXPECT_EQ(ReadBytes(peer, 6), "QUIT\r\n");
    sock.Close();
    close(peer);
  }

  std::string dir;
  pid_t server = -1;
  std::uint16_t socksPort = 0;
  int target = -1;
  std::uint16_t targetPort = 0;
};

TEST_F(RealSocksServerTest, Version5ByName) {
  RoundTrip("5", "127.0.0.1");
}

TEST_F(RealSocksServerTest, Version4ByAddress) {
  RoundTrip("4", "127.0.0.1");
}

// The tunnel first, then the handshake inside it with the name the user gave.
TEST_F(RealSocksServerTest, TlsInsideAVersion5Tunnel) {
  TTestAuthority authority;
  TTempFile trust(authority.CertPem());
  TTestIdentity identity = authority.Issue({});
  std::string fromClient;
  std::thread peerThread([&] {
    pollfd p{target, POLLIN, 0};
    if (poll(&p, 1, 10000) != 1) return;
    TTlsPeer peer(PlainAccept(target), identity, 0);
    if (!peer.Accept()) return;
    peer.Send("+OK encrypted through the server\r\n");
    fromClient = peer.ReadLine();
    peer.Close();
  });
  TWSocket sock;
  std::string got;
  int connected = -1;
  sock.OnSessionConnected = [&](TCustomWSocket*, std::uint16_t e) { connected = e; };
  sock.OnDataAvailable = [&](TCustomWSocket* s, std::uint16_t) { got += s->ReceiveText(); };
  sock.SetSocksLevel("5");
  sock.SetSocksServer("127.0.0.1");
  sock.SetSocksPort(std::to_string(socksPort));
  sock.SetAddr("127.0.0.1");
  sock.SetPort(std::to_string(targetPort));
  sock.SetTlsOnConnect(true);
  sock.SetTlsHostName("localhost");
  sock.SetTlsCAFile(trust.Path());
  sock.Connect();
  ASSERT_TRUE(PumpUntil([&] { return got.size() >= 34; }, 10000)) << got;
  EXPECT_EQ(connected, 0);
  EXPECT_TRUE(sock.TlsEstablished());
  EXPECT_EQ(got, "+OK encrypted through the server\r\n");
  sock.SendText("QUIT\r\n");
  ASSERT_TRUE(PumpUntil([&] { return sock.State() == wsClosed; }, 10000));
  peerThread.join();
  EXPECT_EQ(fromClient, "QUIT\r\n");
}

}  // namespace
