#pragma once
// A repeating timer component on the calling thread's message loop. It runs while it is
// enabled, its interval is above zero and OnTimer is assigned; changing any of them while it
// runs starts the interval anew.

#include <cstdint>

#include "platform/component.h"
#include "platform/message_loop.h"

class TTimer : public TComponent {
 public:
  explicit TTimer(TComponent* owner);
  ~TTimer() override;

  std::uint32_t Interval() const { return interval_; }
  void SetInterval(std::uint32_t ms);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  // Assign through SetOnTimer so that a running timer notices.
  void SetOnTimer(TNotifyEvent handler);
  const TNotifyEvent& OnTimer() const { return onTimer_; }
  bool Running() const { return timerId_ != 0; }

 private:
  void Update();
  void Fire();

  std::uint32_t interval_ = 1000;
  bool enabled_ = true;
  TNotifyEvent onTimer_;
  TTimerId timerId_ = 0;
};
