#pragma once
// Blocking forms of every POP3 operation. Each starts the asynchronous request and keeps the
// thread's message loop turning until the request is over, no line has arrived for Timeout
// seconds, or the application is shutting down. Only the caller blocks: window messages,
// socket events and timers go on being handled during the wait.

#include <cstdint>

#include "pop3/pop3_client.h"

class TSyncPop3Cli : public TPop3Cli {
 public:
  TSyncPop3Cli() = default;

  // Seconds without a received line before a wait gives up; 0 or less waits without limit.
  std::int32_t Timeout() const { return timeout_; }
  void SetTimeout(std::int32_t value) { timeout_ = value; }
  // Pump only this thread's messages (the socket's pump) instead of the application's.
  bool MultiThreaded() const { return multiThreaded_; }
  void SetMultiThreaded(bool value) { multiThreaded_ = value; }

  // Every received line restarts the time limit, so a long transfer that keeps delivering
  // lines never times out.
  void NotifyResponse(const std::string& msg) override;

  // Waits for the request in progress; true when it succeeded.
  virtual bool WaitForCompletion();

  virtual bool ConnectSync();
  virtual bool OpenSync();
  virtual bool UserSync();
  virtual bool PassSync();
  virtual bool RPopSync();
  virtual bool APopSync();
  virtual bool QuitSync();
  virtual bool StatSync();
  virtual bool ListSync();
  virtual bool RetrSync();
  virtual bool TopSync();
  virtual bool DeleSync();
  virtual bool NoopSync();
  virtual bool LastSync();
  virtual bool RSetSync();
  virtual bool UidlSync();
  virtual bool AbortSync();

 protected:
  bool RunSync(void (TCustomPop3Cli::*operation)());
  void RestartDeadline();

  std::int32_t timeout_ = 15;
  bool multiThreaded_ = false;
  std::uint32_t deadline_ = 0;
  bool lineSeen_ = false;  // a line arrived since the deadline was last set
};
