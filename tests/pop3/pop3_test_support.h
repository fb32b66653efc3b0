#pragma once
// Helpers for driving a POP3 client on the test thread's loop and recording what it reports.

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "pop3/pop3_client.h"

struct Pop3Recorder {
  std::vector<std::pair<TPop3Request, std::uint16_t>> done;
  std::vector<std::string> display;
  std::vector<std::string> responses;
  std::vector<TPop3State> states;
  std::vector<std::string> events;  // begin/line/end/header-end and session events, in order
  std::vector<bool> complete;       // LastResponseComplete at each line event

  void Attach(TCustomPop3Cli& client);
};

// Runs the loop until `condition` holds or the time is up; returns the condition's value.
bool PumpUntil(const std::function<bool()>& condition, int timeoutMs = 5000);
// Runs the loop for about `ms` milliseconds.
void PumpFor(int ms);
// Dispatches one message at a time (waiting for readiness) until `condition` holds, so that a
// test can stop between a reply's handling and the delivery of its posted completion.
bool StepUntil(const std::function<bool()>& condition, int timeoutMs = 5000);
