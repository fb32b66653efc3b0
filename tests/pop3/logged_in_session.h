#pragma once
// A client logged in to a scripted server whose script goes on with the steps a test gives.
// The login's user name and password carry blanks that the client must trim away.

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "pop3/pop3_client.h"
#include "pop3_test_support.h"
#include "scripted_pop3_server.h"

struct LoggedInSession {
  ScriptedPop3Server server;
  TPop3Cli client;
  Pop3Recorder rec;

  // The login's completions stay counted in rec.done (three of them); its events and line
  // completeness are cleared.
  void Start(std::vector<ScriptedPop3Server::Step> rest) {
    using S = ScriptedPop3Server;
    std::vector<S::Step> script = {S::Send("+OK hi <1.2@host>\r\n"), S::Expect("USER alice"),
                                   S::Send("+OK\r\n"), S::Expect("PASS secret"),
                                   S::Send("+OK logged in\r\n")};
    script.insert(script.end(), rest.begin(), rest.end());
    server.Play(std::move(script));
    rec.Attach(client);
    client.SetHost("127.0.0.1");
    client.SetPort(server.Port());
    client.SetUserName("  alice ");
    client.SetPassWord("secret\t");
    client.Connect();
    Wait(1);
    client.User();
    Wait(2);
    client.Pass();
    Wait(3);
    ASSERT_EQ(client.ProtocolState(), pop3Transaction);
    rec.events.clear();
    rec.complete.clear();
  }
  // Runs the loop until `count` completions have arrived.
  void Wait(std::size_t count) {
    ASSERT_TRUE(PumpUntil([&] { return rec.done.size() >= count; })) << "completion " << count;
  }
  std::pair<TPop3Request, std::uint16_t> Last() const { return rec.done.back(); }
};
