#pragma once
// Waiting on a flag while the message loop runs, for callers that want a blocking style.

#include <cstdint>
#include <functional>

#include "net/line_wsocket.h"

class TCustomSyncWSocket : public TCustomLineWSocket {
 public:
  // 0: wait without a deadline.
  std::int32_t WaitTimeout() const { return waitTimeout_; }
  void SetWaitTimeout(std::int32_t ms) { waitTimeout_ = ms; }

  // Pumps messages until `flag` becomes non-zero; 12001 on a deadline, application end or a
  // quit message, 0 once the flag is set.
  virtual int WaitForFlag(volatile std::uint8_t& flag);
  // Clears the flag, runs `proc` and waits for the flag.
  virtual int RunAndWait(volatile std::uint8_t& flag, const std::function<void()>& proc);

 protected:
  std::int32_t waitTimeout_ = 0;
};
