// USER and PASS through to a scripted server: the replies byte for byte, the log with the
// password masked, the results memo, and every failure path (refusals, connect errors,
// time-outs, Cancel, closing the window).

#include <chrono>

#include "platform/forms.h"
#include "service_fixture.h"

namespace proxytest {
namespace {

using Login = ServiceTest;

// The upstream part of a good login as a scripted server plays it.
void PlayLogin(TScriptedServer& server, const std::string& user, const std::string& password) {
  server.SendLine("+OK ready <1@x>")
      .Expect("USER " + user)
      .SendLine("+OK")
      .Expect("PASS " + password);
}

TEST_F(Login, PassesUserAndPassThroughAndMasksThePassword) {
  TScriptedServer server;
  PlayLogin(server, "alice", "s3cr3t");
  server.SendLine("+OK Logged in.").Expect("QUIT").SendLine("+OK Logging out.").Close();
  server.Start();
  Start(server.Port());

  TScriptedClient client(ServicePort(*form));
  client.ExpectBytes(Greeting)
      .Send("USER 127.0.0.1/alice\r\n")
      .ExpectBytes("+OK\r\n")
      .Send("PASS s3cr3t\r\n")
      .ExpectBytes("+OK Logged in.\r\n")
      .Gate(1)
      .Send("QUIT\r\n")
      .ExpectBytes("+OK Vevazurod quits\r\n")
      .ExpectClosed();
  client.Start();
  ASSERT_TRUE(PumpUntil([&] { return form->Image_LogIn->Visible(); })) << LogText(*form);
  EXPECT_EQ(form->UpstreamHost, "127.0.0.1");
  EXPECT_EQ(form->UpstreamUser, "alice");
  EXPECT_EQ(form->Pop3Cli1->ProtocolState(), pop3Transaction);
  std::string log = LogText(*form);
  for (const char* line :
       {"POP3 ; Host to connect:127.0.0.1", "POP3 ; Username:alice", "Connecting to POP3-Host now.",
        "***Pop3Cli - Session connected", "POP3 ; Request done: Connect", "DISPLAY:> USER alice",
        "POP3 ; Request done: USER", "POP3 ; Password:******", "DISPLAY:>PASS ******",
        "POP3 ; Request done: PASS"})
    EXPECT_TRUE(LogHas(*form, line)) << line << "\n" << log;
  EXPECT_EQ(log.find("s3cr3t"), std::string::npos) << log;

  client.Release(1);
  ASSERT_TRUE(PumpUntil([&] { return client.Done(); }));
  EXPECT_TRUE(client.Succeeded()) << client.Failure() << client.Transcript();
  EXPECT_TRUE(server.Join(5000));
  EXPECT_TRUE(server.Succeeded()) << server.Failure() << server.Transcript();
  EXPECT_TRUE(LogHas(*form, "POP3 ; Request done: QUIT")) << LogText(*form);
  // The next mail program is served without anyone pressing Reset.
  EXPECT_EQ(form->WSocket1->State(), wsListening);
  EXPECT_TRUE(form->UpstreamHost.empty());
}

TEST_F(Login, SeparatorRules) {
  struct Case {
    std::string arg, upstreamUser;
  } cases[] = {
      {"127.0.0.1\\bob", "bob"},
      // The first slash separates, wherever a backslash stands.
      {"127.0.0.1/na\\me", "na\\me"},
      {"127.0.0.1/a/b", "a/b"},
  };
  for (const Case& c : cases) {
    TScriptedServer server;
    server.SendLine("+OK hi").Expect("USER " + c.upstreamUser).SendLine("+OK").ExpectClosed();
    server.Start();
    Start(server.Port());
    TScriptedClient client(ServicePort(*form));
    client.ExpectBytes(Greeting).Send("USER " + c.arg + "\r\n").ExpectBytes("+OK\r\n");
    Run(client);
    form.reset();
    EXPECT_TRUE(server.Join(5000));
    EXPECT_TRUE(server.Succeeded()) << c.arg << ": " << server.Failure();
  }
}

TEST_F(Login, MalformedUserArgumentsAreRefusedBeforeAnythingConnects) {
  TScriptedServer server;
  server.Start();
  Start(server.Port());
  TScriptedClient client(ServicePort(*form));
  client.ExpectBytes(Greeting)
      .Send("USER alice\r\n")
      .ExpectBytes("-ERR Vevazurod not configured for this account!\r\n")
      .Send("USER /alice\r\n")
      .ExpectBytes("-ERR Hostname can not be empty!\r\n")
      .Send("USER \\alice\r\n")
      .ExpectBytes("-ERR Hostname can not be empty!\r\n")
      .Send("USER 127.0.0.1/\r\n")
      .ExpectBytes("-ERR Username can not be empty!\r\n")
      .Send("USER\r\n")
      .ExpectBytes("-ERR Vevazurod not configured for this account!\r\n");
  Run(client);
  EXPECT_EQ(server.Connections(), 0);
  EXPECT_TRUE(Results().empty());
}

TEST_F(Login, RefusedUserAndWrongPasswordPassTheServersLinesAndReport) {
  TScriptedServer server;
  server.SendLine("+OK hi").Expect("USER nobody").SendLine("-ERR no such user").ExpectClosed();
  // The second USER drops that session and opens a new one.
  server.AcceptNext()
      .SendLine("+OK hi")
      .Expect("USER alice")
      .SendLine("+OK")
      .Expect("PASS wrong")
      .SendLine("-ERR [AUTH] Authentication failed.")
      .ExpectClosed();
  server.Start();
  Start(server.Port());
  TScriptedClient client(ServicePort(*form));
  client.ExpectBytes(Greeting)
      .Send("USER 127.0.0.1/nobody\r\n")
      .ExpectBytes("-ERR no such user\r\n")
      .Send("USER 127.0.0.1/alice\r\n")
      .ExpectBytes("+OK\r\n")
      .Send("PASS wrong\r\n")
      .ExpectBytes("-ERR [AUTH] Authentication failed.\r\n")
      .Gate(1);
  RunToGate(client, 1);
  // A refused login leaves both connections open.
  EXPECT_EQ(form->WSocket1->State(), wsConnected);
  EXPECT_TRUE(form->Pop3Cli1->Connected());
  Finish(client, 1);
  std::vector<std::string> expected = {"user one", "user two", "user three", Dashes,
                                       "pass one", "pass two", "pass three", Dashes};
  EXPECT_EQ(Results(), expected);
  EXPECT_TRUE(LogHas(*form, "Error during command \"USER\" !"));
  EXPECT_TRUE(LogHas(*form, "Error during sending Passwort! (Abort?)"));
  EXPECT_FALSE(form->Image_LogIn->Visible());
  EXPECT_TRUE(form->Visible());
  EXPECT_EQ(form->PageControl1->ActivePage(), form->TabSheet_MELDUNGEN);
}

// A connect that fails ends in the Reset action: the mail program is dropped, the results memo
// explains, and the service listens for the next one.
void ExpectConnectFailure(ServiceTest& t, TScriptedClient& client) {
  t.Run(client, 20000);
  std::vector<std::string> expected = {"connect failed one", "connect failed two", Dashes};
  EXPECT_EQ(t.Results(), expected);
  EXPECT_TRUE(LogHas(*t.form, "Error in \"Connect to POP3\"")) << LogText(*t.form);
  EXPECT_EQ(t.form->WSocket1->State(), wsListening);
}

TEST_F(Login, RefusedConnectionIsAConnectError) {
  int port;
  {
    TScriptedServer gone;  // a port that nothing listens on once this closes
    port = gone.Port();
  }
  Start(static_cast<std::uint16_t>(port));
  TScriptedClient client(ServicePort(*form));
  client.ExpectBytes(Greeting)
      .Send("USER 127.0.0.1/alice\r\n")
      .ExpectBytes("-ERR Error during Connect!\r\n")
      .ExpectClosed();
  ExpectConnectFailure(*this, client);
}

TEST_F(Login, NegativeGreetingIsAConnectError) {
  TScriptedServer server;
  server.SendLine("-ERR go away").ExpectClosed();
  server.Start();
  Start(server.Port());
  TScriptedClient client(ServicePort(*form));
  client.ExpectBytes(Greeting)
      .Send("USER 127.0.0.1/alice\r\n")
      .ExpectBytes("-ERR Error during Connect!\r\n")
      .ExpectClosed();
  ExpectConnectFailure(*this, client);
}

TEST_F(Login, ServerThatClosesAtOnceIsAConnectError) {
  TScriptedServer server;
  server.Close();
  server.Start();
  Start(server.Port());
  TScriptedClient client(ServicePort(*form));
  client.ExpectBytes(Greeting)
      .Send("USER 127.0.0.1/alice\r\n")
      .ExpectBytes("-ERR Error during Connect!\r\n")
      .ExpectClosed();
  ExpectConnectFailure(*this, client);
}

TEST_F(Login, SilentServerTimesOutDuringConnect) {
  TScriptedServer server;
  server.ExpectClosed();  // says nothing at all
  server.Start();
  Start(server.Port());
  EXPECT_EQ(form->Timer_TimeOut->Interval(), 58000u);
  form->Timer_TimeOut->SetInterval(300);
  TScriptedClient client(ServicePort(*form));
  client.ExpectBytes(Greeting)
      .Send("USER 127.0.0.1/alice\r\n")
      .ExpectBytes("-ERR Error during Connect!\r\n")
      .ExpectClosed();
  ExpectConnectFailure(*this, client);
  EXPECT_FALSE(form->Timer_TimeOut->Enabled());
}

TEST_F(Login, SilentServerTimesOutDuringPass) {
  TScriptedServer server;
  PlayLogin(server, "alice", "pw");
  server.ExpectClosed();  // no answer to PASS
  server.Start();
  Start(server.Port());
  form->Timer_TimeOut->SetInterval(300);
  TScriptedClient client(ServicePort(*form));
  client.ExpectBytes(Greeting)
      .Send("USER 127.0.0.1/alice\r\n")
      .ExpectBytes("+OK\r\n")
      .Send("PASS pw\r\n")
      .ExpectBytes("-ERR TimeOut\r\n")
      .Gate(1);
  RunToGate(client, 1);
  std::vector<std::string> expected = {"pass one", "pass two", "pass three", Dashes};
  EXPECT_EQ(Results(), expected);
  // The session to the mail program goes on.
  EXPECT_EQ(form->WSocket1->State(), wsConnected);
  Finish(client, 1);
}

TEST_F(Login, CancelDuringConnectAnswersAndResets) {
  TScriptedServer server;
  server.ExpectClosed();
  server.Start();
  Start(server.Port());
  TScriptedClient client(ServicePort(*form));
  client.ExpectBytes(Greeting)
      .Send("USER 127.0.0.1/alice\r\n")
      .ExpectBytes("-ERR Request aborted by User\r\n")
      .ExpectClosed();
  After(200, [this] { form->Button_Abbrechen->Click(); });
  Run(client);
  EXPECT_TRUE(LogHas(*form, "***USER ABORTED REQUEST!***"));
  EXPECT_TRUE(Results().empty());
  EXPECT_FALSE(form->AbortRequested);  // the Reset action cleared it
  EXPECT_EQ(form->WSocket1->State(), wsListening);
}

TEST_F(Login, CancelStaysInForceForTheRestOfTheSession) {
  TScriptedServer server;
  server.SendLine("+OK hi").Expect("USER alice").ExpectClosed();
  server.Start();
  Start(server.Port());
  TScriptedClient client(ServicePort(*form));
  client.ExpectBytes(Greeting)
      .Send("USER 127.0.0.1/alice\r\n")
      .ExpectBytes("-ERR Request aborted by User\r\n")
      .Send("PASS x\r\n")
      .ExpectBytes("-ERR Request aborted by User\r\n")
      .Gate(1);
  After(300, [this] { form->Button_AbbrechenClick(); });
  RunToGate(client, 1);
  EXPECT_EQ(form->WSocket1->State(), wsConnected);
  Finish(client, 1);
}

TEST_F(Login, ClosingTheWindowEndsAWaitAtOnce) {
  TScriptedServer server;
  server.ExpectClosed();
  server.Start();
  Start(server.Port());  // the time-out stays at 58 s
  TScriptedClient client(ServicePort(*form));
  client.ExpectBytes(Greeting)
      .Send("USER 127.0.0.1/alice\r\n")
      .ExpectBytes("-ERR Error during Connect!\r\n");
  After(200, [this] {
    TCloseAction action = TCloseAction::Free;
    form->FormClose(action);
  });
  auto started = std::chrono::steady_clock::now();
  Run(client);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(30));
}

TEST_F(Login, ErrorsWhileACommandRunsGetAnErrorReplyAndTheSessionGoesOn) {
  TScriptedServer server;
  PlayLogin(server, "alice", "pw");
  server.SendLine("+OK Logged in.").ExpectClosed();
  server.Start();
  Start(server.Port());
  TScriptedClient client(ServicePort(*form));
  client
      .ExpectBytes(Greeting)
      // The client refuses PASS while not connected: its text gets the "-ERR " prefix.
      .Send("PASS early\r\n")
      .ExpectBytes("-ERR POP3 component not connected\r\n")
      .Send("USER 127.0.0.1/alice\r\n")
      .ExpectBytes("+OK\r\n")
      .Send("PASS pw\r\n")
      .ExpectBytes("+OK Logged in.\r\n")
      // Once logged in, a second PASS is refused with a text that already is a reply.
      .Send("PASS again\r\n")
      .ExpectBytes("-ERR PASS command invalid now\r\n");
  // Every reply after the first error shows that the connection stayed open.
  Run(client);
  EXPECT_EQ(LogText(*form).find("early"), std::string::npos);
  EXPECT_EQ(LogText(*form).find("again"), std::string::npos);
}

TEST_F(Login, QuitAfterLoginEndsTheUpstreamSession) {
  TScriptedServer server;
  PlayLogin(server, "alice", "pw");
  server.SendLine("+OK Logged in.").Expect("QUIT").SendLine("+OK Logging out.").Close();
  server.Start();
  Start(server.Port());
  TScriptedClient client(ServicePort(*form));
  client.ExpectBytes(Greeting)
      .Send("USER 127.0.0.1/alice\r\nPASS pw\r\n")  // two commands in one write
      .ExpectBytes("+OK\r\n")
      .ExpectBytes("+OK Logged in.\r\n")
      .Send("QUIT\r\n")
      .ExpectBytes("+OK Vevazurod quits\r\n")
      .ExpectClosed();
  Run(client);
  EXPECT_TRUE(server.Join(5000));
  EXPECT_TRUE(server.Succeeded()) << server.Failure() << server.Transcript();
  EXPECT_EQ(form->Pop3Cli1->State(), pop3Idle);
  EXPECT_FALSE(form->Pop3Cli1->Connected());
}

TEST_F(Login, QuitToAServerThatNeverClosesIsBounded) {
  TScriptedServer server;
  PlayLogin(server, "alice", "pw");
  server.SendLine("+OK Logged in.").Expect("QUIT").SendLine("+OK bye").ExpectClosed();
  server.Start();
  Start(server.Port());
  form->QuitCloseLimitMs = 300;
  TScriptedClient client(ServicePort(*form));
  client.ExpectBytes(Greeting)
      .Send("USER 127.0.0.1/alice\r\n")
      .ExpectBytes("+OK\r\n")
      .Send("PASS pw\r\n")
      .ExpectBytes("+OK Logged in.\r\n")
      .Send("QUIT\r\n")
      .ExpectBytes("+OK Vevazurod quits\r\n")
      .ExpectClosed();
  Run(client);
  EXPECT_TRUE(LogHas(*form, "Server kept its session open - session dropped.")) << LogText(*form);
  EXPECT_TRUE(server.Join(5000));
  EXPECT_TRUE(server.Succeeded()) << server.Failure();
  EXPECT_EQ(form->WSocket1->State(), wsListening);
}

}  // namespace
}  // namespace proxytest
