// A mail program that leaves without QUIT (a time-out while STAT's check runs, a crash, a reply
// it did not like) would leave the service closed until someone presses Reset. Without a window
// there is no one to press it, and with one the user may not be there: so, when running
// headless or when the setting asks for it, the service drops the upstream session without QUIT
// (the server commits none of the mail program's deletions) and listens again by itself.

#include "app/registry_access.h"
#include "platform/message_loop.h"
#include "proxy/main_form.h"

namespace {
// How often a pending restart looks whether the command that was running has ended.
constexpr std::uint32_t kRestartLookMs = 20;
}  // namespace

bool TFormVazireRevivo::ListenAfterDropWanted() const {
  if (ListenAfterDropAlways) return true;
  try {
    return RegReadInteger(HKEY_LOCAL_MACHINE, kSettingsKeyPath, "ListenAfterDrop") == 1;
  } catch (const ERegistryError&) {
    return false;  // a value that cannot be read asks for nothing
  }
}

void TFormVazireRevivo::NoteSessionClosed() {
  if (!sessionOpen_) return;  // the listening socket closed, not a mail program's session
  sessionOpen_ = false;
  // Whether anyone listens again is decided once the command that may still be running has
  // ended: QUIT and the Reset action restart the service themselves.
  if (listenAgainTimer_ == 0) {
    listenAgainTimer_ =
        TMessageLoop::Current().SetTimer(kRestartLookMs, [this] { ListenAgainIfDropped(); });
  }
}

void TFormVazireRevivo::ListenAgainIfDropped() {
  if (commandRunning_) return;
  StopListenAgainTimer();
  // Listening (QUIT, a failed login) or taken by a new session: nothing was left closed.
  if (WSocket1->State() != wsClosed) return;
  if (!ListenAfterDropWanted()) return;
  Memo_LOG->Lines().Add(
      "Mail program left without QUIT - server session dropped, listening again.");
  Button_RESETClick();
}

void TFormVazireRevivo::StopListenAgainTimer() {
  if (listenAgainTimer_ == 0) return;
  TMessageLoop::Current().KillTimer(listenAgainTimer_);
  listenAgainTimer_ = 0;
}
