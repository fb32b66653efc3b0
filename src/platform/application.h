#pragma once
// The application object: the program's own message processing on top of the thread's loop.
// A front end (Qt) can hook in so that its events are processed with ours.

#include <cstdint>
#include <functional>

class TApplication {
 public:
  // Gathers readiness, fires due timers, dispatches every pending message and lets the front
  // end process its events. A quit message seen here terminates the application.
  void ProcessMessages();
  // The pause of a wait for a condition: sleeps until a message, a notification or a timer
  // arrives, or `stepMs` have passed, whichever is first, and handles nothing. The wait then
  // processes pending messages and looks at its condition as after a fixed pause, only sooner.
  void AwaitActivity(std::uint32_t stepMs);
  // Waits for something to happen and handles it.
  void HandleMessage();
  // Handles messages until the application is terminated.
  void Run();
  void Terminate();
  bool Terminated() const { return terminated_; }

  // Set by a front end: processes its own pending events (called from ProcessMessages).
  std::function<void()> ProcessFrontEndEvents;
  // Set by a front end that owns the main loop: runs until Terminate() is called.
  std::function<void()> RunFrontEnd;
  // Called once by Terminate(), so a front end's own loop can end too.
  std::function<void()> OnTerminate;

 private:
  bool terminated_ = false;
};

extern TApplication* Application;
