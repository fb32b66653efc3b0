#include "proxy/download_state.h"

#include "platform/application.h"
#include "platform/message_loop.h"
#include "pop3/sync_pop3_client.h"

void TFormVazireRevivo::TDownloadState::FlushFile() {
  if (!File || Pending.empty() || !WriteError.empty()) {
    Pending.clear();
    return;
  }
  try {
    File->WriteString(Pending);
  } catch (const std::exception& e) {
    WriteError = e.what();
  }
  Pending.clear();
}

void TFormVazireRevivo::TDownloadState::CloseFile() {
  FlushFile();
  File.reset();
}

TFormVazireRevivo::TDownloadState& DownloadState(TFormVazireRevivo& form) {
  if (!form.Download) form.Download = std::make_shared<TFormVazireRevivo::TDownloadState>();
  return *form.Download;
}

TLineWaitEnd AwaitLines(TFormVazireRevivo& form, const std::function<bool()>& done,
                        std::uint32_t stepMs, TFirstLook firstLook) {
  auto& state = DownloadState(form);
  state.LastLineTick = GetTickCount();
  if (firstLook == TFirstLook::flBeforePause && done()) return TLineWaitEnd::lwDone;
  for (;;) {
    // Nothing to sleep for when the wait can already end; its messages are still handled.
    if (!done() && !form.AbortRequested && !state.ClearRequested && !form.TimedOut)
      Application->AwaitActivity(stepMs);
    Application->ProcessMessages();
    if (done()) return TLineWaitEnd::lwDone;
    if (form.AbortRequested || state.ClearRequested) return TLineWaitEnd::lwAborted;
    if (form.TimedOut) return TLineWaitEnd::lwTimedOut;
    if (GetTickCount() - state.LastLineTick >= form.Timer_TimeOut->Interval()) {
      form.TimedOut = true;
      form.Pop3Cli1->Abort();
      return TLineWaitEnd::lwTimedOut;
    }
  }
}

const std::string& DashLine() {
  static const std::string dashes(100, '-');
  return dashes;
}
