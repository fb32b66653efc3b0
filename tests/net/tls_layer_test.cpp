// The TLS layer against a TLS server in this process: handshakes that succeed and those
// refused for the certificate or the protocol, the handshake begun on an open session, and
// the delivery rules for decrypted data.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>

#include "event_log.h"
#include "net/wsocket.h"
#include "net_test_util.h"
#include "tls_test_server.h"

using namespace nettest;

namespace {

class TlsLayerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    trust = std::make_unique<TTempFile>(authority.CertPem());
    log.Attach(sock);
    sock.OnDataAvailable = [this](TCustomWSocket* s, std::uint16_t) {
      char buf[readPiece];
      std::int32_t n = s->Receive(buf, readPiece);
      if (n > 0) {
        received.append(buf, static_cast<std::size_t>(n));
        log.events.push_back("data");
      }
    };
  }

  // Connects with the handshake first; the trust is the test authority's file.
  void ConnectImplicit(std::uint16_t port, const std::string& name = "localhost") {
    sock.SetAddr("127.0.0.1");
    sock.SetPort(std::to_string(port));
    sock.SetTlsOnConnect(true);
    sock.SetTlsHostName(name);
    sock.SetTlsCAFile(trust->Path());
    sock.Connect();
  }

  // Connects with the handshake first and returns the failure text the layer reports.
  std::string RefusedWith(TTlsTestServer& server, const std::string& name = "localhost") {
    log.events.clear();
    bool accepted = true;
    server.Serve([&](TTlsPeer& peer) { accepted = peer.Accept(); });
    ConnectImplicit(server.Port(), name);
    EXPECT_TRUE(PumpUntil([&] { return log.Has("closed 0") || log.Has("closed 20100"); }));
    server.Join();
    EXPECT_FALSE(accepted);
    EXPECT_EQ(log.Count("connected 20100"), 1) << log.Joined();
    EXPECT_EQ(received, "");
    EXPECT_FALSE(sock.TlsEstablished());
    return sock.TlsFailure();
  }

  static constexpr int readPiece = 4096;
  TTestAuthority authority;
  std::unique_ptr<TTempFile> trust;
  TWSocket sock;
  TEventLog log;
  std::string received;
};

TEST_F(TlsLayerTest, ImplicitHandshakeThenDataBothWaysByNameAndByAddress) {
  for (const char* name : {"localhost", "127.0.0.1"}) {
    SCOPED_TRACE(name);
    log.events.clear();
    received.clear();
    TTlsTestServer server(authority.Issue({}));
    std::string fromClient;
    server.Serve([&](TTlsPeer& peer) {
      if (!peer.Accept()) return;
      peer.Send("+OK ready\r\n");
      fromClient = peer.ReadLine();
      peer.Send("+OK bye\r\n");
      peer.Close();
    });
    ConnectImplicit(server.Port(), name);
    ASSERT_TRUE(PumpUntil([&] { return received == "+OK ready\r\n"; })) << log.Joined();
    // Connected only after the handshake, and before any data.
    EXPECT_EQ(log.events.front(), "state 7>1");
    EXPECT_EQ(log.Count("connected 0"), 1);
    EXPECT_TRUE(sock.TlsEstablished());
    EXPECT_EQ(sock.TlsVersion(), "TLSv1.3");
    EXPECT_EQ(sock.TlsFailure(), "");
    sock.SendText("QUIT\r\n");
    ASSERT_TRUE(PumpUntil([&] { return log.Has("closed 0"); })) << log.Joined();
    server.Join();
    EXPECT_EQ(fromClient, "QUIT\r\n");
    EXPECT_EQ(received, "+OK ready\r\n+OK bye\r\n");
    // The close comes after the last data, and the handshake never showed as data.
    EXPECT_EQ(log.Count("data"), 2);
    std::string joined = log.Joined();
    EXPECT_LT(joined.find("connected 0"), joined.find("data"));
    EXPECT_GT(joined.rfind("closed 0"), joined.rfind("data"));
  }
}

TEST_F(TlsLayerTest, CertificateRefusalsAreNamedInPlainWords) {
  {
    TTlsTestServer server(authority.Issue({}));
    EXPECT_EQ(RefusedWith(server, "pop.example.org"),
              "TLS: host name does not match the certificate");
  }
  {
    TTlsTestServer server(authority.Issue({}));
    EXPECT_EQ(RefusedWith(server, "127.0.0.2"), "TLS: host name does not match the certificate");
  }
  {
    TTestAuthority stranger("Another Test Authority");
    TTlsTestServer server(stranger.Issue({}));
    EXPECT_EQ(RefusedWith(server), "TLS: the certificate is not signed by a trusted authority");
  }
  {
    TCertRequest expired;
    expired.validFromSeconds = -86400 * 30;
    expired.validToSeconds = -86400;
    TTlsTestServer server(authority.Issue(expired));
    EXPECT_EQ(RefusedWith(server), "TLS: certificate has expired");
  }
  {
    TCertRequest early;
    early.validFromSeconds = 86400;
    TTlsTestServer server(authority.Issue(early));
    EXPECT_EQ(RefusedWith(server), "TLS: certificate is not yet valid");
  }
  {
    TTlsTestServer server(SelfSigned({}));
    EXPECT_EQ(RefusedWith(server), "TLS: the certificate is self-signed and not trusted");
  }
}

TEST_F(TlsLayerTest, TheExtraTrustFileLetsASelfSignedServerIn) {
  TTestIdentity own = SelfSigned({});
  trust = std::make_unique<TTempFile>(own.certPem);
  TTlsTestServer server(own);
  server.Serve([&](TTlsPeer& peer) {
    if (peer.Accept()) peer.Send("+OK self\r\n");
    peer.Close();
  });
  ConnectImplicit(server.Port());
  ASSERT_TRUE(PumpUntil([&] { return log.Has("closed 0"); })) << log.Joined();
  EXPECT_EQ(received, "+OK self\r\n");
  EXPECT_EQ(log.Count("connected 0"), 1);
}

TEST_F(TlsLayerTest, AnUnreadableTrustFileRefusesWithoutAHandshake) {
  TTlsTestServer server(authority.Issue({}));
  std::string firstBytes = "none";
  server.Serve([&](TTlsPeer& peer) { firstBytes = ReadToEnd(peer.Fd()); });
  sock.SetAddr("127.0.0.1");
  sock.SetPort(std::to_string(server.Port()));
  sock.SetTlsOnConnect(true);
  sock.SetTlsHostName("localhost");
  sock.SetTlsCAFile("/nonexistent/trusted.pem");
  sock.Connect();
  ASSERT_TRUE(PumpUntil([&] { return log.Has("connected 20100"); }));
  server.Join();
  EXPECT_EQ(sock.TlsFailure(),
            "TLS: cannot read trusted certificates from /nonexistent/trusted.pem");
  EXPECT_EQ(firstBytes, "");
}

TEST_F(TlsLayerTest, ProtocolRefusals) {
  {
    // A plain server greets at once in clear text.
    TTlsTestServer server(authority.Issue({}));
    server.Serve([&](TTlsPeer& peer) {
      peer.SendPlain("+OK plain server ready\r\n");
      ReadToEnd(peer.Fd(), 2000);
    });
    ConnectImplicit(server.Port());
    ASSERT_TRUE(PumpUntil([&] { return log.Has("connected 20100"); })) << log.Joined();
    EXPECT_EQ(sock.TlsFailure(), "TLS: the server does not answer in TLS");
    EXPECT_EQ(received, "");
    server.Join();
  }
  log.events.clear();
  {
    TTlsTestServer server(authority.Issue({}), TLS1_1_VERSION);
    EXPECT_EQ(RefusedWith(server), "TLS: the server offers no TLS version of 1.2 or later");
  }
  log.events.clear();
  {
    TTlsTestServer server(authority.Issue({}));
    // Takes the client's hello, then hangs up.
    server.Serve([&](TTlsPeer& peer) { ReadBytes(peer.Fd(), 100000, 300); });
    ConnectImplicit(server.Port());
    ASSERT_TRUE(PumpUntil([&] { return log.Has("connected 20100"); })) << log.Joined();
    EXPECT_EQ(sock.TlsFailure(), "TLS: the server closed the connection during the handshake");
    server.Join();
  }
}

TEST_F(TlsLayerTest, HandshakeOnAnOpenSessionHoldsWhatIsSentMeanwhile) {
  TTlsTestServer server(authority.Issue({}));
  std::string command, afterHandshake;
  server.Serve([&](TTlsPeer& peer) {
    peer.SendPlain("+OK plain greeting\r\n");
    command = peer.ReadPlainLine();
    peer.SendPlain("+OK begin TLS\r\n");
    if (!peer.Accept()) return;
    afterHandshake = peer.ReadLine();
    peer.Send("+OK secret\r\n");
    peer.Close();
  });
  int tlsDone = -1;
  sock.OnTlsDone = [&](TCustomWSocket*, std::uint16_t e) { tlsDone = e; };
  sock.OnDataAvailable = [&](TCustomWSocket* s, std::uint16_t) {
    std::string text = s->ReceiveText();
    received += text;
    if (text == "+OK plain greeting\r\n") s->SendText("STLS\r\n");
    if (text == "+OK begin TLS\r\n") {
      sock.SetTlsHostName("localhost");
      sock.SetTlsCAFile(trust->Path());
      sock.StartTls();
      // Sent before the handshake ended: it must not cross in clear.
      s->SendText("USER alice\r\n");
    }
  };
  sock.SetAddr("127.0.0.1");
  sock.SetPort(std::to_string(server.Port()));
  sock.Connect();
  ASSERT_TRUE(PumpUntil([&] { return log.Has("closed 0"); })) << log.Joined();
  server.Join();
  EXPECT_EQ(tlsDone, 0);
  EXPECT_EQ(command, "STLS\r\n");
  EXPECT_EQ(afterHandshake, "USER alice\r\n");
  EXPECT_EQ(received, "+OK plain greeting\r\n+OK begin TLS\r\n+OK secret\r\n");
  EXPECT_EQ(log.Count("connected 0"), 1);
}

TEST_F(TlsLayerTest, AFailedHandshakeOnAnOpenSessionIsReportedThenClosed) {
  TTlsTestServer server(authority.Issue({}));
  server.Serve([&](TTlsPeer& peer) {
    peer.SendPlain("+OK plain greeting\r\n");
    peer.Accept();
  });
  int tlsDone = -1;
  sock.OnTlsDone = [&](TCustomWSocket*, std::uint16_t e) {
    tlsDone = e;
    log.events.push_back("tls done " + std::to_string(e));
  };
  sock.OnDataAvailable = [&](TCustomWSocket* s, std::uint16_t) {
    if (s->ReceiveText() == "+OK plain greeting\r\n") {
      sock.SetTlsHostName("wrong.example.org");
      sock.StartTls();
    }
  };
  sock.SetAddr("127.0.0.1");
  sock.SetPort(std::to_string(server.Port()));
  sock.Connect();
  ASSERT_TRUE(PumpUntil([&] { return log.Has("closed 20100") || log.Has("closed 0"); }));
  server.Join();
  EXPECT_EQ(tlsDone, 20100);
  EXPECT_EQ(sock.TlsFailure(), "TLS: the certificate is not signed by a trusted authority");
  std::string joined = log.Joined();
  EXPECT_LT(joined.find("tls done 20100"), joined.find("closed"));
}

TEST_F(TlsLayerTest, HeldDecryptedBytesAreDeliveredWithoutNewArrivalsAndBeforeTheClose) {
  // The handler takes little per call; the records hold far more, and the server sends
  // everything at once and closes, so most bytes wait decrypted with nothing new below.
  const std::string payload = Pattern(3 * 1024 * 1024 + 17);
  TTlsTestServer server(authority.Issue({}));
  server.Serve([&](TTlsPeer& peer) {
    if (!peer.Accept()) return;
    peer.Send(payload);
    peer.Close();
  });
  sock.OnDataAvailable = [&](TCustomWSocket* s, std::uint16_t) {
    char buf[1000];
    std::int32_t n = s->Receive(buf, sizeof buf);
    if (n > 0) received.append(buf, static_cast<std::size_t>(n));
  };
  std::size_t atClose = 0;
  sock.OnSessionClosed = [&](TCustomWSocket*, std::uint16_t) { atClose = received.size(); };
  ConnectImplicit(server.Port());
  ASSERT_TRUE(PumpUntil([&] { return sock.State() == wsClosed && atClose > 0; }, 30000))
      << received.size();
  server.Join();
  EXPECT_EQ(atClose, payload.size());
  EXPECT_TRUE(received == payload);
}

TEST_F(TlsLayerTest, LineModeCollectsDecryptedLines) {
  TTlsTestServer server(authority.Issue({}));
  server.Serve([&](TTlsPeer& peer) {
    if (!peer.Accept()) return;
    peer.Send("one\r\ntwo\r\nthr");
    peer.Send("ee\r\nlast without end");
    peer.Close();
  });
  std::vector<std::string> lines;
  sock.SetLineMode(true);
  sock.OnDataAvailable = [&](TCustomWSocket* s, std::uint16_t) {
    lines.push_back(s->ReceiveText());
  };
  ConnectImplicit(server.Port());
  ASSERT_TRUE(PumpUntil([&] { return log.Has("closed 0"); })) << log.Joined();
  server.Join();
  EXPECT_EQ(lines,
            (std::vector<std::string>{"one\r\n", "two\r\n", "three\r\n", "last without end"}));
}

TEST_F(TlsLayerTest, ALargeSendToASlowReaderArrivesWholeWithOneWriteNotification) {
  const std::string payload = Pattern(8 * 1024 * 1024);
  TTlsTestServer server(authority.Issue({}));
  std::string got;
  std::atomic<bool> sendIssued{false};
  server.Serve([&](TTlsPeer& peer) {
    if (!peer.Accept()) return;
    // The reader starts only once the whole payload was handed to the socket, so the queue
    // is still full then however slowly the client encrypts (sanitizer builds, a busy machine).
    for (int i = 0; i < 3000 && !sendIssued.load(); ++i) usleep(10 * 1000);
    usleep(100 * 1000);
    got = peer.Read(payload.size());
    peer.Close();
  });
  int sent = 0;
  sock.OnDataSent = [&](TCustomWSocket*, std::uint16_t) { ++sent; };
  bool connected = false;
  sock.OnSessionConnected = [&](TCustomWSocket*, std::uint16_t e) { connected = e == 0; };
  ConnectImplicit(server.Port());
  ASSERT_TRUE(PumpUntil([&] { return connected; }));
  sent = 0;
  sock.Send(payload.data(), static_cast<std::int32_t>(payload.size()));
  EXPECT_FALSE(sock.SendComplete());
  sendIssued = true;
  ASSERT_TRUE(PumpUntil([&] { return sock.SendComplete() && sent > 0; }, 30000));
  server.Join();
  EXPECT_EQ(sent, 1);
  EXPECT_TRUE(got == payload) << got.size();
}

}  // namespace
