#include "app/text_table.h"
#include "platform/message_loop.h"
#include "proxy/main_form.h"
#include "proxy/service_ports.h"

namespace {
// Posted to the window's own target: command lines held back during a download are due.
constexpr unsigned WaitingCommandsMessage = WM_USER + 1;
}  // namespace

void TFormVazireRevivo::CreateServiceComponents() {
  WSocket1 = std::make_unique<TWSocket>();
  WSocket1->SetAddr("localhost");
  WSocket1->SetPort(LocalServicePort());
  WSocket1->SetProto("tcp");
  WSocket1->SetLocalAddr("0.0.0.0");
  WSocket1->SetLocalPort("0");
  WSocket1->SetLineMode(false);
  WSocket1->SetReuseAddr(true);
  WSocket1->SetMultiThreaded(true);
  WSocket1->SetLingerOnOff(wsLingerOff);
  WSocket1->SetLingerTimeout(0);
  WSocket1->SetSendFlags(wsSendNormal);
  // The mail program's session is adopted from this socket; its replies go out at once.
  WSocket1->SetComponentOptions({wsoTcpNoDelay});
  WSocket1->OnSessionAvailable = [this](TCustomWSocket* s, std::uint16_t e) {
    WSocketServer1SessionAvailable(s, e);
  };
  WSocket1->OnDataAvailable = [this](TCustomWSocket* s, std::uint16_t e) {
    WSocketServer1DataAvailable(s, e);
  };
  WSocket1->OnSessionClosed = [this](TCustomWSocket* s, std::uint16_t e) {
    WSocket1SessionClosed(s, e);
  };
  WSocket1->OnError = [this](TCustomWSocket* s) { WSocketServer1Error(s); };
  WSocket1->OnSendData = [](TCustomWSocket*, std::int32_t) {};

  Pop3Cli1 = std::make_unique<TSyncPop3Cli>();
  Pop3Cli1->SetLocalAddr("0.0.0.0");
  Pop3Cli1->SetPort("pop3");
  Pop3Cli1->SetTimeout(15);
  Pop3Cli1->SetMultiThreaded(false);
  Pop3Cli1->OnResponse = [this](TCustomPop3Cli* s, const std::string& m) {
    Pop3Cli1Response(s, m);
  };
  Pop3Cli1->OnRequestDone = [this](TCustomPop3Cli* s, TPop3Request r, std::uint16_t e) {
    Pop3Cli1RequestDone(s, r, e);
  };
  Pop3Cli1->OnDisplay = [this](TCustomPop3Cli* s, const std::string& m) { Pop3Cli1Display(s, m); };
  Pop3Cli1->OnSessionConnected = [this](TCustomPop3Cli* s, std::uint16_t e) {
    Pop3Cli1SessionConnected(s, e);
  };
  Pop3Cli1->OnSessionClosed = [this](TCustomPop3Cli* s, std::uint16_t e) {
    Pop3Cli1SessionClosed(s, e);
  };

  serviceTarget_ = TMessageLoop::Current().AllocateTarget([this](const TMessage& m) {
    if (m.msg != WaitingCommandsMessage) return;
    waitingCommandsScheduled_ = false;
    RunWaitingCommands();
  });
}

TFormVazireRevivo::~TFormVazireRevivo() {
  // The components go first and must not call back into a window that is being taken apart.
  if (WSocket1) {
    WSocket1->OnSessionAvailable = nullptr;
    WSocket1->OnDataAvailable = nullptr;
    WSocket1->OnSessionClosed = nullptr;
    WSocket1->OnError = nullptr;
  }
  if (Pop3Cli1) {
    Pop3Cli1->OnResponse = nullptr;
    Pop3Cli1->OnRequestDone = nullptr;
    Pop3Cli1->OnDisplay = nullptr;
    Pop3Cli1->OnSessionConnected = nullptr;
    Pop3Cli1->OnSessionClosed = nullptr;
    Pop3Cli1->OnListLine = nullptr;
    Pop3Cli1->OnListEnd = nullptr;
    Pop3Cli1->OnUidlBegin = nullptr;
    Pop3Cli1->OnUidlLine = nullptr;
    Pop3Cli1->OnUidlEnd = nullptr;
    Pop3Cli1->OnMessageLine = nullptr;
    Pop3Cli1->OnMessageEnd = nullptr;
  }
  StopListenAgainTimer();
  Pop3Cli1.reset();
  WSocket1.reset();
  if (serviceTarget_ != 0) TMessageLoop::Current().ReleaseTarget(serviceTarget_);
}

void TFormVazireRevivo::AddResultGroup(std::initializer_list<int> TextIds) {
  std::vector<std::string> lines;
  for (int id : TextIds) lines.push_back(GetTextById(id));
  AddResultLines(lines);
}

void TFormVazireRevivo::AddResultLines(const std::vector<std::string>& Lines) {
  for (const std::string& line : Lines) Memo_Meldungen->Lines().Add(line);
  Memo_Meldungen->Lines().Add(std::string(100, '-'));
  ShowResults();
}

// A hold of the mail program's input that ends outside any command (an upstream RETR that
// completed on its own) hands the waiting lines on from the message loop.
void TFormVazireRevivo::ScheduleWaitingCommands() {
  if (waitingCommandsScheduled_ || commandRunning_ || !commandLines_.HasLine()) return;
  waitingCommandsScheduled_ = true;
  PostMessage(serviceTarget_, WaitingCommandsMessage, 0, 0);
}
