#include "pop3/sync_pop3_client.h"

#include "platform/application.h"
#include "platform/message_loop.h"

namespace {
// The longest the wait sleeps between two looks at the deadline and the application's end.
constexpr int kWaitStepMs = 20;
}  // namespace

void TSyncPop3Cli::RestartDeadline() {
  deadline_ = GetTickCount() + std::uint32_t(timeout_) * 1000u;
}

void TSyncPop3Cli::NotifyResponse(const std::string& msg) {
  TPop3Cli::NotifyResponse(msg);
  // Noted here and turned into a new deadline by the wait's next pass: reading the clock once
  // per pass instead of once per line keeps long transfers cheap.
  if (timeout_ > 0) lineSeen_ = true;
}

bool TSyncPop3Cli::WaitForCompletion() {
  RestartDeadline();
  lineSeen_ = false;
  for (;;) {
    if (lineSeen_) {
      lineSeen_ = false;
      RestartDeadline();
    }
    if (state_ == pop3Idle) {
      // A request ended by a lost session or an Abort from elsewhere may leave ErrorCode at 0
      // from an earlier positive line; its completion's error still makes it a failure.
      return errorCode_ == 0 && lastRequestError_ == 0;
    }
    if (Application->Terminated()) break;
    // The difference is taken in 32 bits so that a wrap of the tick counter does not matter.
    if (timeout_ > 0 && std::int32_t(GetTickCount() - deadline_) > 0) break;
    if (multiThreaded_) {
      socket_->PumpThreadMessages();
    } else {
      Application->ProcessMessages();
    }
    // Sleeps until the socket or anything else has news, at most one step, then looks again.
    TMessageLoop::Current().WaitForActivity(kWaitStepMs);
  }
  Abort();
  errorMessage_ = "426 Timeout";
  statusCode_ = Pop3ErrorAborted;
  return false;
}

bool TSyncPop3Cli::RunSync(void (TCustomPop3Cli::*operation)()) {
  try {
    (this->*operation)();
    return WaitForCompletion();
  } catch (const std::exception&) {
    // The refusal texts that matter are already in ErrorMessage.
    return false;
  }
}

bool TSyncPop3Cli::ConnectSync() {
  return RunSync(&TCustomPop3Cli::Connect);
}
bool TSyncPop3Cli::OpenSync() {
  return RunSync(&TCustomPop3Cli::Open);
}
bool TSyncPop3Cli::UserSync() {
  return RunSync(&TCustomPop3Cli::User);
}
bool TSyncPop3Cli::PassSync() {
  return RunSync(&TCustomPop3Cli::Pass);
}
bool TSyncPop3Cli::RPopSync() {
  return RunSync(&TCustomPop3Cli::RPop);
}
bool TSyncPop3Cli::APopSync() {
  return RunSync(&TCustomPop3Cli::APop);
}
bool TSyncPop3Cli::QuitSync() {
  return RunSync(&TCustomPop3Cli::Quit);
}
bool TSyncPop3Cli::StatSync() {
  return RunSync(&TCustomPop3Cli::Stat);
}
bool TSyncPop3Cli::ListSync() {
  return RunSync(&TCustomPop3Cli::List);
}
bool TSyncPop3Cli::RetrSync() {
  return RunSync(&TCustomPop3Cli::Retr);
}
bool TSyncPop3Cli::TopSync() {
  return RunSync(&TCustomPop3Cli::Top);
}
bool TSyncPop3Cli::DeleSync() {
  return RunSync(&TCustomPop3Cli::Dele);
}
bool TSyncPop3Cli::NoopSync() {
  return RunSync(&TCustomPop3Cli::Noop);
}
bool TSyncPop3Cli::LastSync() {
  return RunSync(&TCustomPop3Cli::Last);
}
bool TSyncPop3Cli::RSetSync() {
  return RunSync(&TCustomPop3Cli::RSet);
}
bool TSyncPop3Cli::UidlSync() {
  return RunSync(&TCustomPop3Cli::Uidl);
}

bool TSyncPop3Cli::AbortSync() {
  // Abort leaves the client idle at once; the result is the verdict of the last step.
  Abort();
  return errorCode_ == 0;
}
