#include "net/sync_wsocket.h"

#include "platform/application.h"
#include "platform/message_loop.h"

int TCustomSyncWSocket::WaitForFlag(volatile std::uint8_t& flag) {
  auto alive = alive_;
  const std::uint32_t deadline = GetTickCount() + static_cast<std::uint32_t>(waitTimeout_);
  while (flag == 0) {
    if (waitTimeout_ > 0 && static_cast<std::int32_t>(GetTickCount() - deadline) > 0) return 12001;
    if (Application->Terminated() || quitSeen_) return 12001;
    PumpMessages();
    if (!*alive) return flag == 0 ? 12001 : 0;
    // Sleeps until the socket or anything else has news, at most 20 ms, then looks again.
    if (flag == 0) TMessageLoop::Current().WaitForActivity(20);
  }
  return 0;
}

int TCustomSyncWSocket::RunAndWait(volatile std::uint8_t& flag, const std::function<void()>& proc) {
  flag = 0;
  if (proc) proc();
  return WaitForFlag(flag);
}
