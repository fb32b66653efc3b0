#include <gtest/gtest.h>
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/headless_mirror.h"
#include "app/termination_signals.h"
#include "platform/application.h"
#include "platform/forms.h"
#include "platform/message_loop.h"

namespace {

std::string Captured(std::FILE* f) {
  std::fflush(f);
  std::rewind(f);
  std::string text;
  char buffer[256];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
  return text;
}

TEST(HeadlessMirror, WritesExistingAndNewLinesWithResultsPrefixed) {
  TForm form;
  TMemo* log = NewComponent<TMemo>(&form, "Memo_LOG");
  TMemo* results = NewComponent<TMemo>(&form, "Memo_Meldungen");
  TMemo* other = NewComponent<TMemo>(&form, "Other");
  log->Lines().Add("before");
  std::FILE* out = std::tmpfile();
  ASSERT_NE(out, nullptr);
  {
    THeadlessMirror mirror(form, log, results, out);
    log->Lines().Add("first\r\nsecond");
    results->Lines().Add("blocked mail");
    other->Lines().Add("not mirrored");
    log->Lines().Clear();
    log->Lines().Add("\xe4 raw bytes");
  }
  log->Lines().Add("after the mirror is gone");
  EXPECT_EQ(Captured(out), "before\nfirst\nsecond\nRESULT: blocked mail\n\xe4 raw bytes\n");
  std::fclose(out);
}

TEST(HeadlessMirror, SurvivesAMemoDestroyedBeforeIt) {
  TForm form;
  TMemo* log = NewComponent<TMemo>(&form, "Memo_LOG");
  TMemo* results = NewComponent<TMemo>(&form, "Memo_Meldungen");
  std::FILE* out = std::tmpfile();
  THeadlessMirror mirror(form, log, results, out);
  delete log;
  results->Lines().Add("still here");
  EXPECT_EQ(Captured(out), "RESULT: still here\n");
  std::fclose(out);
}

TEST(HeadlessMirror, EnvironmentDecides) {
  unsetenv("BRINDLECAP_HEADLESS");
  EXPECT_FALSE(HeadlessRequested());
  setenv("BRINDLECAP_HEADLESS", "0", 1);
  EXPECT_FALSE(HeadlessRequested());
  setenv("BRINDLECAP_HEADLESS", "1", 1);
  EXPECT_TRUE(HeadlessRequested());
  unsetenv("BRINDLECAP_HEADLESS");
}

TEST(TerminationSignals, ArriveThroughTheLoopNotAHandler) {
  sigset_t old;
  pthread_sigmask(SIG_SETMASK, nullptr, &old);
  TTerminationSignals::Block();
  std::vector<int> seen;
  {
    TTerminationSignals signals([&seen](int signal) { seen.push_back(signal); });
    raise(SIGTERM);
    raise(SIGINT);
    // Nothing happens until the loop looks.
    EXPECT_TRUE(seen.empty());
    for (int i = 0; i < 10 && seen.size() < 2; ++i) TMessageLoop::Current().WaitAndDispatchOne(100);
  }
  pthread_sigmask(SIG_SETMASK, &old, nullptr);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0] + seen[1], SIGTERM + SIGINT);
}

}  // namespace
