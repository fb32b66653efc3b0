// The mail program's side: greeting, one session at a time, command lines and their order,
// the window's state around a session, Reset, QUIT and input held back during a download.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "app/program_folder.h"
#include "inspection/message_store.h"
#include "service_fixture.h"

namespace proxytest {
namespace {

bool Connectable(std::uint16_t port) {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(port);
  bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
  ::close(fd);
  return ok;
}

using ServiceSession = ServiceTest;

TEST_F(ServiceSession, GreetsOneMailProgramAndShowsTheWindowUntilItLeaves) {
  Start();
  std::uint16_t port = ServicePort(*form);
  EXPECT_FALSE(form->Visible());
  EXPECT_FALSE(form->Button_Abbrechen->Enabled());

  TScriptedClient client(port);
  client.ExpectBytes(Greeting).Gate(1).Close();
  client.Start();
  ASSERT_TRUE(PumpUntil([&] { return LogHas(*form, "***Session available - connecting now."); }));
  PumpFor(50);
  // The log starts afresh with each connection.
  EXPECT_EQ(form->Memo_LOG->Lines()[0], "***Session available - connecting now.");
  EXPECT_TRUE(form->Visible());
  EXPECT_FALSE(form->Button_RESET->Enabled());
  EXPECT_TRUE(form->Button_Abbrechen->Enabled());
  // Nothing listens while a session runs.
  EXPECT_FALSE(Connectable(port));

  client.Release(1);
  ASSERT_TRUE(PumpUntil([&] { return LogHas(*form, "***WSocket - Session closed"); }));
  EXPECT_TRUE(client.Succeeded()) << client.Failure();
  EXPECT_EQ(client.Received(), Greeting);
  // No results: back to the tray.
  EXPECT_FALSE(form->Visible());
  EXPECT_TRUE(form->TrayIcon1->Visible());
  EXPECT_TRUE(form->Button_RESET->Enabled());
  EXPECT_FALSE(form->Button_Abbrechen->Enabled());
  // A plain disconnect does not make the service listen again; Reset does.
  EXPECT_FALSE(Connectable(port));
  form->Button_RESET->Click();
  TScriptedClient next(ServicePort(*form));
  next.ExpectBytes(Greeting);
  Run(next);
}

TEST_F(ServiceSession, WindowWithResultsStaysVisibleAfterTheSession) {
  Start();
  form->Memo_Meldungen->Lines().Add("an earlier result");
  TScriptedClient client(ServicePort(*form));
  client.ExpectBytes(Greeting).Close();
  Run(client);
  ASSERT_TRUE(PumpUntil([&] { return LogHas(*form, "***WSocket - Session closed"); }));
  EXPECT_TRUE(form->Visible());
}

TEST_F(ServiceSession, CommandsAreRecognisedByTheirFirstFourCharactersOnly) {
  Start();
  TScriptedClient client(ServicePort(*form));
  client.ExpectBytes(Greeting);
  for (std::string command : {"user a/b\r\n", "noop\r\n", "LAST\r\n", "STLS\r\n", "APOP x y\r\n",
                              "AUTH PLAIN\r\n", "\xff\x01junk\r\n", "Q\r\n"}) {
    client.Send(command).ExpectBytes(NotSupported);
  }
  // Binary bytes including a NUL.
  client.Send(std::string("\0\0\0\0\r\n", 6)).ExpectBytes(NotSupported);
  // "USER" followed by no blank is still USER; without a separator it is refused.
  client.Send("USERNAME\r\n").ExpectBytes("-ERR Vevazurod not configured for this account!\r\n");
  Run(client);
}

TEST_F(ServiceSession, ACommandSplitAtAnyByteIsOneCommand) {
  Start();
  TScriptedClient client(ServicePort(*form));
  client.ExpectBytes(Greeting);
  const std::string command = "USER x\r\n";
  for (std::size_t at = 1; at < command.size(); ++at) {
    client.Send(command.substr(0, at))
        .Pause(30)
        .Send(command.substr(at))
        .ExpectBytes("-ERR Vevazurod not configured for this account!\r\n");
  }
  // A lone LF ends a line as well; nothing is answered before the line is complete.
  client.Send("LAST\n").ExpectBytes(NotSupported).Send("QUIT");
  client.Do([](TPeerIo& io, std::string& failure) {
    if (auto early = io.ReadBytes(1, 300)) failure = "a reply before the line end: " + *early;
    return failure.empty();
  });
  client.Send("\r\n").ExpectBytes("+OK Vevazurod quits\r\n").ExpectClosed();
  Run(client);
}

TEST_F(ServiceSession, SeveralCommandsInOneWriteAreAnsweredInOrder) {
  Start();
  TScriptedClient client(ServicePort(*form));
  client.ExpectBytes(Greeting)
      .Send("USER x\r\nLAST\r\n\r\nUSER /a\nUSER h/\r\nQUIT\r\nUSER never\r\n")
      .ExpectBytes("-ERR Vevazurod not configured for this account!\r\n")
      .ExpectBytes(NotSupported)
      .ExpectBytes(NotSupported)
      .ExpectBytes("-ERR Hostname can not be empty!\r\n")
      .ExpectBytes("-ERR Username can not be empty!\r\n")
      .ExpectBytes("+OK Vevazurod quits\r\n")
      .ExpectClosed();
  Run(client);
  // What followed QUIT belonged to the ended session and went with it.
  ASSERT_TRUE(PumpUntil([&] { return form->WSocket1->State() == wsListening; }));
  TScriptedClient next(ServicePort(*form));
  next.ExpectBytes(Greeting).Send("LAST\r\n").ExpectBytes(NotSupported);
  Run(next);
}

TEST_F(ServiceSession, JunkOfSixtyFourKibibytesIsAnsweredOnceAndTheSessionGoesOn) {
  Start();
  TScriptedClient client(ServicePort(*form));
  client.ExpectBytes(Greeting);
  for (int i = 0; i < 64; ++i) client.Send(std::string(1024, 'X'));
  client.Send("\r\nUSERx\r\n")
      .ExpectBytes(NotSupported)
      .ExpectBytes("-ERR Vevazurod not configured for this account!\r\n")
      // Exactly one reply for the junk: nothing else is waiting.
      .Send("QUIT\r\n")
      .ExpectBytes("+OK Vevazurod quits\r\n")
      .ExpectClosed();
  Run(client, 20000);
  EXPECT_TRUE(LogHas(*form, "Command line too long - discarded.")) << LogText(*form);
}

TEST_F(ServiceSession, QuitWithoutLoginSaysGoodbyeClosesAndListensAgain) {
  Start();
  for (int round = 0; round < 2; ++round) {
    TScriptedClient client(ServicePort(*form));
    client.ExpectBytes(Greeting)
        .Send("QUIT\r\n")
        .ExpectBytes("+OK Vevazurod quits\r\n")
        .ExpectClosed();
    Run(client);
    PumpUntil([&] { return form->WSocket1->State() == wsListening; }, 5000);
    ASSERT_EQ(form->WSocket1->State(), wsListening) << LogText(*form);
    // The Reset action that followed hid the quit mark again and reset the display.
    EXPECT_FALSE(form->Image_QUIT->Visible());
    EXPECT_EQ(form->Label_Status->Caption(), "Waiting");
    EXPECT_EQ(form->Memo_LOG->Lines().Strings().back(),
              "My Server (re)started. Awaiting connection.");
  }
}

TEST_F(ServiceSession, ResetWhileListeningClosesBeforeItRestarts) {
  Start();
  form->Memo_LOG->Lines().Clear();
  form->TrayMenu_AnzeigenClick();
  form->Button_RESET->Click();
  const auto& log = form->Memo_LOG->Lines().Strings();
  ASSERT_EQ(log.size(), 2u) << LogText(*form);
  EXPECT_EQ(log[0], "***WSocket - Session closed");
  EXPECT_EQ(log[1], "My Server (re)started. Awaiting connection.");
  EXPECT_FALSE(form->Visible());
  EXPECT_EQ(form->WSocket1->State(), wsListening);
}

TEST_F(ServiceSession, ResetDuringASessionDropsTheMailProgramAndServesTheNextOne) {
  Start();
  TScriptedClient client(ServicePort(*form));
  client.ExpectBytes(Greeting).ExpectClosed();
  client.Start();
  ASSERT_TRUE(PumpUntil([&] { return LogHas(*form, "***Session available - connecting now."); }));
  form->Button_RESETClick();
  ASSERT_TRUE(PumpUntil([&] { return client.Done(); }));
  EXPECT_TRUE(client.Succeeded()) << client.Failure();
  TScriptedClient next(ServicePort(*form));
  next.ExpectBytes(Greeting);
  Run(next);
}

TEST_F(ServiceSession, ABusyPortIsLoggedAndTheNextResetTriesAgain) {
  int blocker = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  ASSERT_EQ(::bind(blocker, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  ASSERT_EQ(::listen(blocker, 1), 0);
  ::getsockname(blocker, reinterpret_cast<sockaddr*>(&a), &len);
  ::setenv("BRINDLECAP_LISTEN_PORT", std::to_string(ntohs(a.sin_port)).c_str(), 1);
  form = std::make_unique<TFormVazireRevivo>();
  EXPECT_TRUE(LogHas(*form, "***Error in Server!")) << LogText(*form);
  EXPECT_NE(form->WSocket1->State(), wsListening);

  ::close(blocker);
  ::setenv("BRINDLECAP_LISTEN_PORT", "0", 1);
  form->Button_RESETClick();
  EXPECT_EQ(form->WSocket1->State(), wsListening) << LogText(*form);
}

TEST_F(ServiceSession, InputDuringADownloadIsHeldBackThenHandledInOrder) {
  Start();
  TScriptedClient client(ServicePort(*form));
  client.ExpectBytes(Greeting).Gate(1).Send("LAST\r\n").Gate(2).ExpectBytes(NotSupported);
  client.Start();
  ASSERT_TRUE(PumpUntil([&] { return LogHas(*form, "***Session available - connecting now."); }));
  form->RetrievePending = true;
  client.Release(1);
  // Held: no reply while the download runs, and the loop is not kept busy meanwhile.
  PumpFor(300);
  EXPECT_EQ(client.Received(), Greeting);
  EXPECT_FALSE(form->WSocket1->RcvdCount() > 0);
  client.Release(2);
  // The download's completion (any request's) ends the hold.
  form->Pop3Cli1->Quit();
  ASSERT_TRUE(PumpUntil([&] { return client.Done(); }));
  EXPECT_TRUE(client.Succeeded()) << client.Failure() << client.Transcript();
  EXPECT_FALSE(form->RetrievePending);
}

}  // namespace
}  // namespace proxytest

namespace proxytest {
namespace {

// A mail program that sends its next commands, in two writes, while the proxy still
// downloads: they wait until the mail check has been answered and are then answered in
// order, and the download goes on meanwhile.
TEST_F(ServiceTest, CommandsSentDuringTheDownloadAreAnsweredInOrderAfterTheCheck) {
  char pattern[] = "/tmp/brindlecap-held-XXXXXX";
  ASSERT_NE(::mkdtemp(pattern), nullptr);
  std::string folder = pattern;
  InitProgramFolder(folder + "/brindlecap");
  ::setenv("BRINDLECAP_REGISTRY", (folder + "/registry.reg").c_str(), 1);

  std::string mail = Crlf("From: a@example.org\nSubject: held\n\n" + std::string(2000, 'x') + "\n");
  std::string size = std::to_string(mail.size());
  std::string retr = "+OK\r\n" + DotStuffed(mail);
  TScriptedServer server;
  server.SendLine("+OK hi")
      .Expect("USER alice")
      .SendLine("+OK")
      .Expect("PASS pw")
      .SendLine("+OK in")
      .Expect("STAT")
      .SendLine("+OK 1 " + size)
      .Expect("LIST")
      .Send("+OK\r\n1 " + size + "\r\n.\r\n")
      .Expect("UIDL")
      .Send("+OK\r\n1 held-1\r\n.\r\n")
      .Expect("RETR 1")
      .Send(retr.substr(0, 1000))
      .Gate(1)
      .Send(retr.substr(1000))
      .Expect("QUIT")
      .SendLine("+OK bye")
      .Close();
  server.Start();
  Start(server.Port());

  TScriptedClient client(ServicePort(*form));
  client.ExpectBytes(Greeting)
      .Send("USER 127.0.0.1/alice\r\n")
      .ExpectBytes("+OK\r\n")
      .Send("PASS pw\r\n")
      .ExpectBytes("+OK in\r\n")
      .Send("STAT\r\n")
      .Gate(2)
      .Send("LIST\r\n")
      .Pause(50)
      .Send("RETR 1\r\n")
      .ExpectBytes("+OK 1 " + size + "\r\n")
      .ExpectBytes("+OK Listing follows\r\n1 " + size + "\r\n.\r\n")
      .ExpectBytes("+OK Message follows\r\n" + DotStuffed(mail))
      .Send("QUIT\r\n")
      .ExpectBytes("+OK Vevazurod quits\r\n")
      .ExpectClosed();

  // Once the RETR runs, the mail program sends LIST and RETR; a moment later the rest of the mail
  // comes. Timers fire inside the proxy's own waits.
  auto& loop = TMessageLoop::Current();
  std::uint32_t listSentAt = 0;
  bool serverReleased = false;
  TTimerId timer = loop.SetTimer(10, [&] {
    if (listSentAt == 0 && form->RetrievePending) {
      client.Release(2);
      listSentAt = GetTickCount();
    } else if (listSentAt != 0 && !serverReleased && GetTickCount() - listSentAt > 300) {
      serverReleased = true;
      server.Release(1);
    }
  });
  Run(client, 20000);
  loop.KillTimer(timer);
  EXPECT_TRUE(serverReleased);
  EXPECT_TRUE(server.Join(5000));
  EXPECT_TRUE(server.Succeeded()) << server.Failure() << server.Transcript();

  form.reset();
  MessageStore.clear();
  ::unsetenv("BRINDLECAP_REGISTRY");
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace proxytest
