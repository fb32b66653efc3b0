#include "platform/timer.h"

#include <utility>

TTimer::TTimer(TComponent* owner) : TComponent(owner, TComponentKind::Timer) {}

TTimer::~TTimer() {
  if (timerId_) TMessageLoop::Current().KillTimer(timerId_);
}

void TTimer::SetInterval(std::uint32_t ms) {
  if (ms == interval_) return;
  interval_ = ms;
  Update();
  Changed(TChange::Interval);
}

void TTimer::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  Update();
  Changed(TChange::Interval);
}

void TTimer::SetOnTimer(TNotifyEvent handler) {
  onTimer_ = std::move(handler);
  Update();
}

void TTimer::Update() {
  auto& loop = TMessageLoop::Current();
  if (timerId_) {
    loop.KillTimer(timerId_);
    timerId_ = 0;
  }
  if (enabled_ && interval_ > 0 && onTimer_) {
    timerId_ = loop.SetTimer(interval_, [this] { Fire(); });
  }
}

void TTimer::Fire() {
  // The handler may change or destroy the timer; the copy keeps it alive while it runs.
  TNotifyEvent handler = onTimer_;
  if (handler) handler(*this);
}
