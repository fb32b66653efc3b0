// An upstream server that goes away in the middle of a login, and a Reset pressed while a
// command waits: the mail program always gets its reply, and nothing of the dropped session
// ever reaches the listening socket that follows it.

#include "service_fixture.h"

namespace proxytest {
namespace {

using ServerGone = ServiceTest;

TEST_F(ServerGone, ServerThatClosesInsteadOfAnsweringUserGivesANegativeReply) {
  TScriptedServer server;
  server.SendLine("+OK hi").Expect("USER alice").Close();
  server.Start();
  Start(server.Port());
  TScriptedClient client(ServicePort(*form));
  client.ExpectBytes(Greeting)
      .Send("USER 127.0.0.1/alice\r\n")
      .ExpectBytes("-ERR The POP3 server closed the connection\r\n")
      .Send("QUIT\r\n")
      .ExpectBytes("+OK Vevazurod quits\r\n")
      .ExpectClosed();
  Run(client);
  EXPECT_EQ(Results(), (std::vector<std::string>{"user one", "user two", "user three", Dashes}));
  EXPECT_TRUE(LogHas(*form, "Error during command \"USER\" !")) << LogText(*form);
  ASSERT_TRUE(PumpUntil([&] { return form->WSocket1->State() == wsListening; }));
}

TEST_F(ServerGone, ServerThatClosesRightAfterItsGreetingNeverLeavesUserUnanswered) {
  for (int round = 0; round < 5; ++round) {
    TScriptedServer server;
    server.SendLine("+OK hi").Close();
    server.Start();
    Start(server.Port());
    TScriptedClient client(ServicePort(*form));
    // Whether the close is seen before or after USER went out decides which failure it is.
    client.ExpectBytes(Greeting).Send("USER 127.0.0.1/alice\r\n").ExpectPrefix("-ERR ");
    Run(client, 5000);
    form.reset();
  }
}

TEST_F(ServerGone, ResetDuringACommandNeverReachesTheNextListeningSocket) {
  TScriptedServer server;
  server.SendLine("+OK hi").Expect("USER alice").ExpectClosed();  // no answer to USER
  server.Start();
  Start(server.Port());
  TScriptedClient client(ServicePort(*form));
  client.ExpectBytes(Greeting).Send("USER 127.0.0.1/alice\r\n").ExpectClosed();
  After(300, [this] { form->Button_RESETClick(); });
  Run(client);
  ASSERT_TRUE(PumpUntil([&] { return form->WSocket1->State() == wsListening; }));
  PumpFor(200);
  EXPECT_EQ(form->WSocket1->State(), wsListening) << LogText(*form);
  EXPECT_FALSE(LogHas(*form, "***Error in Server!")) << LogText(*form);
  // Listening started once the command had returned: its last log lines come before it.
  EXPECT_EQ(form->Memo_LOG->Lines().Strings().back(),
            "My Server (re)started. Awaiting connection.");
  TScriptedClient next(ServicePort(*form));
  next.ExpectBytes(Greeting).Send("LAST\r\n").ExpectBytes(NotSupported);
  Run(next);
}

}  // namespace
}  // namespace proxytest
