#include "pop3_test_support.h"

#include "platform/application.h"
#include "platform/message_loop.h"

void Pop3Recorder::Attach(TCustomPop3Cli& client) {
  client.OnRequestDone = [this](TCustomPop3Cli*, TPop3Request rq, std::uint16_t error) {
    done.emplace_back(rq, error);
  };
  client.OnDisplay = [this](TCustomPop3Cli*, const std::string& msg) { display.push_back(msg); };
  client.OnResponse = [this](TCustomPop3Cli*, const std::string& msg) { responses.push_back(msg); };
  client.OnStateChange = [this](TCustomPop3Cli* c) { states.push_back(c->State()); };
  client.OnSessionConnected = [this](TCustomPop3Cli*, std::uint16_t e) {
    events.push_back("connected " + std::to_string(e));
  };
  client.OnSessionClosed = [this](TCustomPop3Cli*, std::uint16_t) { events.push_back("closed"); };
  auto named = [this](const char* name) {
    return [this, name](TCustomPop3Cli*) { events.push_back(name); };
  };
  auto line = [this](const char* name) {
    return [this, name](TCustomPop3Cli* c) {
      events.push_back(std::string(name) + " " + c->LastResponse());
      complete.push_back(c->LastResponseComplete());
    };
  };
  client.OnMessageBegin = named("message-begin");
  client.OnMessageLine = line("message-line");
  client.OnMessageEnd = named("message-end");
  client.OnListBegin = named("list-begin");
  client.OnListLine = line("list-line");
  client.OnListEnd = named("list-end");
  client.OnUidlBegin = named("uidl-begin");
  client.OnUidlLine = line("uidl-line");
  client.OnUidlEnd = named("uidl-end");
  client.OnHeaderEnd = named("header-end");
}

bool PumpUntil(const std::function<bool()>& condition, int timeoutMs) {
  std::uint32_t start = GetTickCount();
  for (;;) {
    Application->ProcessMessages();
    if (condition()) return true;
    if (std::int32_t(GetTickCount() - start) > timeoutMs) return condition();
    TMessageLoop::Current().WaitAndDispatchOne(5);
    if (condition()) return true;
  }
}

void PumpFor(int ms) {
  std::uint32_t start = GetTickCount();
  while (std::int32_t(GetTickCount() - start) < ms) {
    Application->ProcessMessages();
    TMessageLoop::Current().WaitAndDispatchOne(5);
  }
}

bool StepUntil(const std::function<bool()>& condition, int timeoutMs) {
  std::uint32_t start = GetTickCount();
  while (!condition()) {
    if (std::int32_t(GetTickCount() - start) > timeoutMs) return false;
    TMessageLoop::Current().WaitAndDispatchOne(5);
  }
  return true;
}
