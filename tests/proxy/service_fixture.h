#pragma once
// A window with its service on a free port, texts for the result groups, and helpers to run
// scripted mail programs against it.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

#include "app/text_table.h"
#include "platform/message_loop.h"
#include "proxy/main_form.h"
#include "proxy_test_support.h"

namespace proxytest {

constexpr char Greeting[] = "+OK Welcome to vevazurod\r\n";
constexpr char NotSupported[] = "-ERR This POP3-Command is not supported by \"Brindlecap\"!\r\n";
const std::string Dashes(100, '-');

class ServiceTest : public ::testing::Test {
 public:
  void SetUp() override {
    ClearTextTable();
    // One file per test process: the cases run in parallel.
    std::string file =
        ::testing::TempDir() + "/service_texts_" + std::to_string(::getpid()) + ".ini";
    std::ofstream(file, std::ios::binary) << "320=connect failed one\r\n321=connect failed two\r\n"
                                             "330=user one\r\n331=user two\r\n332=user three\r\n"
                                             "340=pass one\r\n341=pass two\r\n342=pass three\r\n"
                                             "400=USER runs\r\n401=PASS runs\r\n406=Waiting\r\n";
    LoadTextTable(file);
  }
  void TearDown() override {
    form.reset();
    ClearTextTable();
    std::remove(
        (::testing::TempDir() + "/service_texts_" + std::to_string(::getpid()) + ".ini").c_str());
  }

  // Creates the window; its upstream sessions go to `upstream` (0: nowhere in particular).
  void Start(std::uint16_t upstream = 0) {
    UseTestPorts(upstream);
    form = std::make_unique<TFormVazireRevivo>();
    ASSERT_NE(ServicePort(*form), 0) << LogText(*form);
  }

  // Runs the client's script against the window, turning the loop until it ends.
  void Run(TScriptedClient& client, int timeoutMs = 15000) {
    client.Start();
    PumpUntil([&] { return client.Done(); }, timeoutMs);
    EXPECT_TRUE(client.Succeeded()) << client.Failure() << "\n"
                                    << client.Transcript() << "--- log ---\n"
                                    << LogText(*form);
  }

  // Starts the client and turns the loop until its script waits at gate n (ended by
  // Release(n) and Finish).
  void RunToGate(TScriptedClient& client, int n, int timeoutMs = 15000) {
    client.Start();
    PumpUntil([&] { return client.AtGate(n) || client.Done(); }, timeoutMs);
    PumpFor(30);
    ASSERT_TRUE(client.AtGate(n)) << client.Failure() << "\n"
                                  << client.Transcript() << "--- log ---\n"
                                  << LogText(*form);
  }
  void Finish(TScriptedClient& client, int n) {
    client.Release(n);
    PumpUntil([&] { return client.Done(); });
    EXPECT_TRUE(client.Succeeded()) << client.Failure() << "\n" << client.Transcript();
  }

  // Fires `action` once after `ms`, from inside whatever wait then runs.
  void After(std::uint32_t ms, std::function<void()> action) {
    auto& loop = TMessageLoop::Current();
    auto id = std::make_shared<TTimerId>(0);
    *id = loop.SetTimer(ms, [id, action, &loop] {
      loop.KillTimer(*id);
      action();
    });
  }

  std::vector<std::string> Results() const { return form->Memo_Meldungen->Lines().Strings(); }

  std::unique_ptr<TFormVazireRevivo> form;
};

}  // namespace proxytest
