#include "platform/application.h"

#include "platform/message_loop.h"

namespace {
TApplication theApplication;
}
TApplication* Application = &theApplication;

void TApplication::ProcessMessages() {
  if (TMessageLoop::Current().ProcessPending()) Terminate();
  if (ProcessFrontEndEvents) ProcessFrontEndEvents();
}

void TApplication::AwaitActivity(std::uint32_t stepMs) {
  TMessageLoop::Current().WaitForActivity(static_cast<int>(stepMs));
}

void TApplication::HandleMessage() {
  if (!TMessageLoop::Current().WaitAndDispatchOne()) Terminate();
}

void TApplication::Run() {
  if (RunFrontEnd) {
    RunFrontEnd();
  } else {
    while (!terminated_) HandleMessage();
  }
}

void TApplication::Terminate() {
  if (terminated_) return;
  terminated_ = true;
  if (OnTerminate) OnTerminate();
}
