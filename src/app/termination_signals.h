#pragma once
// SIGTERM, SIGINT and SIGUSR1 delivered through the message loop: the signals are blocked and
// read from a signalfd that the loop watches, so the reaction runs as ordinary work on the main
// thread, never inside a signal handler.

#include <functional>

class TTerminationSignals {
 public:
  // Blocks the three signals for the calling thread. Call it first in main(), before any thread
  // starts, so that every later thread inherits the mask and none of them takes the signal.
  static void Block();

  // Watches for the signals on the calling thread's loop; `onSignal` gets the signal number.
  explicit TTerminationSignals(std::function<void(int signal)> onSignal);
  ~TTerminationSignals();
  TTerminationSignals(const TTerminationSignals&) = delete;
  TTerminationSignals& operator=(const TTerminationSignals&) = delete;

 private:
  void Drain();

  int fd_ = -1;
  std::function<void(int)> onSignal_;
};
