// The request life cycle: connecting and the greeting, line assembly, status lines,
// completion, loss of the session and Abort.
#include "pop3/pop3_client.h"

#include <typeinfo>

#include "platform/application.h"
#include "pop3/reply_parsing.h"

namespace {

std::string ExceptionClassName(const std::exception& e) {
  if (auto* socketError = dynamic_cast<const ESocketException*>(&e)) {
    return socketError->ClassName();
  }
  if (dynamic_cast<const Pop3Exception*>(&e) != nullptr) return "Pop3Exception";
  return "Exception";
}

std::string ComposeSocketError(std::uint16_t error) {
  return "-ERR " + SocketErrorText(error) + " (Winsock error #" + std::to_string(error) + ")";
}

}  // namespace

TCustomPop3Cli::TCustomPop3Cli() {
  notifyWindow_ = TMessageLoop::Current().AllocateTarget(
      [this](const TMessage& msg) { HandleWindowMessage(msg); });
  socket_ = std::make_unique<TWSocket>();
  socket_->OnSessionClosed = [this](TCustomWSocket*, std::uint16_t error) {
    WSocketSessionClosed(error);
  };
}

TCustomPop3Cli::~TCustomPop3Cli() {
  // The socket goes first: its handlers point at this client, so they are cleared before
  // its destruction closes the session or cancels a lookup.
  socket_->OnDnsLookupDone = nullptr;
  socket_->OnSessionConnected = nullptr;
  socket_->OnDataAvailable = nullptr;
  socket_->OnSessionClosed = nullptr;
  socket_.reset();
  if (notifyWindow_ != 0) TMessageLoop::Current().ReleaseTarget(notifyWindow_);
}

void TCustomPop3Cli::HandleWindowMessage(const TMessage& msg) {
  if (msg.msg == RequestDoneMessage) {
    // The request type is read now, not when the completion was posted: a completion that
    // waited in the queue reports the request that runs by the time it is delivered.
    if (OnRequestDone) OnRequestDone(this, rqType_, std::uint16_t(msg.lParam));
  }
}

void TCustomPop3Cli::NotifySessionConnected(std::uint16_t error) {
  if (OnSessionConnected) OnSessionConnected(this, error);
}

void TCustomPop3Cli::NotifyResponse(const std::string& msg) {
  if (OnResponse) OnResponse(this, msg);
}

void TCustomPop3Cli::NotifyStateChange() {
  if (OnStateChange) OnStateChange(this);
}

void TCustomPop3Cli::SetState(TPop3State newState) {
  if (newState == state_) return;
  state_ = newState;
  NotifyStateChange();
}

void TCustomPop3Cli::CheckReady() {
  if (state_ != pop3Idle && state_ != pop3BetweenSteps) {
    throw Pop3Exception("POP3 component not ready");
  }
}

void TCustomPop3Cli::Display(const std::string& msg) {
  if (OnDisplay) OnDisplay(this, msg);
}

void TCustomPop3Cli::SetErrorMessageIfEmpty(const std::string& text) {
  if (errorMessage_.empty()) errorMessage_ = text;
}

void TCustomPop3Cli::RaiseInvalidNow(const std::string& command) {
  errorMessage_ = "-ERR " + command + " command invalid now";
  Display(errorMessage_);
  throw Pop3Exception(errorMessage_);
}

// --- connecting ---------------------------------------------------------------------------

void TCustomPop3Cli::Connect() {
  CheckReady();
  if (connected_) throw Pop3Exception("POP3 component already connected");
  currentStep_ = pop3StepConnect;
  if (!chainActive_) rqType_ = pop3Connect;
  doneFired_ = false;
  quitHalfDone_ = false;
  lastRequestError_ = 0;
  receive_.Clear();
  readAhead_.Clear();
  continuesPiece_ = false;
  statusRest_ = false;
  lastResponseComplete_ = true;
  errorCode_ = 0;
  tlsFailure_.clear();
  startTlsStep_ = 0;
  SetState(pop3Resolving);
  ClearErrorMessage();

  socket_->OnDataSent = nullptr;
  socket_->OnDnsLookupDone = [this](TCustomWSocket*, std::uint16_t error) {
    WSocketDnsLookupDone(error);
  };
  try {
    socket_->DnsLookup(host_);
  } catch (const std::exception& e) {
    // An empty host name (or a lookup that cannot start) must not leave the client stuck in
    // pop3Resolving: it ends the request like a connect that cannot start.
    if (!doneFired_ && state_ == pop3Resolving) FailConnectStart(e);
  }
}

void TCustomPop3Cli::FailConnectStart(const std::exception& e) {
  lastResponse_ = "-ERR " + ExceptionClassName(e) + ": " + e.what();
  lastResponseComplete_ = true;
  statusCode_ = 500;
  errorCode_ = 500;
  SetErrorMessageIfEmpty(lastResponse_);
  FinishRequest(500);
}

void TCustomPop3Cli::WSocketDnsLookupDone(std::uint16_t error) {
  if (error != 0) {
    lastResponse_ = ComposeSocketError(error);
    lastResponseComplete_ = true;
    statusCode_ = 500;
    errorCode_ = error;
    SetErrorMessageIfEmpty(lastResponse_);
    FinishRequest(error);
    return;
  }
  try {
    socket_->SetAddr(socket_->DnsResult());
    socket_->SetProto("tcp");
    socket_->SetPort(port_);
    socket_->SetLocalAddr(localAddr_);
    // The name the user gave, not the address it resolved to, is checked against the
    // server's certificate.
    socket_->SetTlsOnConnect(tlsMode_ == pop3TlsImplicit);
    socket_->SetTlsHostName(host_);
    socket_->SetTlsCAFile(tlsCAFile_);
    socket_->OnTlsDone = [this](TCustomWSocket*, std::uint16_t err) { StartTlsDone(err); };
    socket_->OnSessionConnected = [this](TCustomWSocket*, std::uint16_t err) {
      WSocketSessionConnected(err);
    };
    socket_->OnDataAvailable = [this](TCustomWSocket*, std::uint16_t err) {
      WSocketDataAvailable(err);
    };
    SetState(pop3Connecting);
    socket_->Connect();
  } catch (const std::exception& e) {
    FailConnectStart(e);
  }
}

void TCustomPop3Cli::WSocketSessionConnected(std::uint16_t error) {
  if (error == 0) {
    connected_ = true;
    SetState(pop3WaitingGreeting);
    return;
  }
  tlsFailure_ = socket_->TlsFailure();
  lastResponse_ = tlsFailure_.empty() ? ComposeSocketError(error) : "-ERR " + tlsFailure_;
  lastResponseComplete_ = true;
  statusCode_ = 500;
  connected_ = false;
  errorCode_ = error;
  SetErrorMessageIfEmpty(lastResponse_);
  FinishRequest(error);
  // The close that follows reports OnSessionClosed but completes nothing more.
  socket_->Close();
  SetState(pop3Idle);
}

// --- line assembly ------------------------------------------------------------------------

void TCustomPop3Cli::WSocketDataAvailable(std::uint16_t error) {
  // One read per notification, into the read-ahead; the socket calls again while more waits.
  if (readAhead_.Empty() && receive_.Room() > 0) {
    std::int32_t count =
        socket_->Receive(readAhead_.Space(), static_cast<std::int32_t>(TPop3ReadAhead::kSize));
    if (count <= 0) return;
    readAhead_.Filled(static_cast<std::size_t>(count));
  }
  const TSocket handle = socket_->HSocket();
  for (;;) {
    if (receive_.Room() > 0) {
      if (readAhead_.Empty()) return;
      receive_.Commit(static_cast<int>(readAhead_.MoveInto(
          receive_.WritePosition(), static_cast<std::size_t>(receive_.Room()))));
    } else {
      // 4093 bytes without a line end: hand them on as a line of their own.
      receive_.ForceLineEnd();
    }
    if (!TakeReceivedLines(error)) return;
    // A handler closed the session or began another: what was read ahead for this one is
    // nobody's now.
    if (socket_->HSocket() != handle) {
      readAhead_.Clear();
      return;
    }
  }
}

bool TCustomPop3Cli::TakeReceivedLines(std::uint16_t error) {
  bool complete = true;
  for (;;) {
    bool previousComplete = lastResponseComplete_;
    // Taken straight into LastResponse, whose storage is reused from line to line.
    if (receive_.Length() == 0 || !receive_.TakeLine(lastResponse_, complete)) break;
    continuesPiece_ = !previousComplete;
    lastResponseComplete_ = complete;
    if (startTlsStep_ != 0) {
      StartTlsReply();
      return false;
    }
    // With STLS the greeting is reported once the session is encrypted.
    if (state_ != pop3WaitingGreeting || tlsMode_ != pop3TlsStartTls) NotifyResponse(lastResponse_);
    if (continuesPiece_ && statusRest_) {
      statusRest_ = !complete;
      Display("< " + lastResponse_);
      continue;
    }

    switch (state_) {
      case pop3WaitingGreeting:
        Display("< " + lastResponse_);
        statusRest_ = !complete;
        statusCode_ = JudgeStatusLine(lastResponse_);
        if (statusCode_ != 0) {
          SetErrorMessageIfEmpty(lastResponse_);
          errorCode_ = statusCode_;
          // The request completes through the session close.
          socket_->Close();
          return false;
        }
        timestamp_ = ExtractApopTimestamp(lastResponse_);
        if (tlsMode_ == pop3TlsStartTls) {
          SendStartTls();
          return false;
        }
        protocolState_ = pop3WaitingUser;
        SetState(pop3Greeted);
        NotifySessionConnected(error);
        FinishRequest(0);
        break;
      case pop3WaitingReply:
        if (replyHandler_ == nullptr) throw Pop3Exception("Program error: FNext is nil");
        (this->*replyHandler_)();
        break;
      default:
        Display("< " + lastResponse_);
        break;
    }
  }
  return true;
}

// --- status lines and completion ----------------------------------------------------------

void TCustomPop3Cli::StartCommand(TPop3Request request, const std::string& text,
                                  THandler okContinuation, TPop3ProtocolState nextProtocolState) {
  CheckReady();
  if (!connected_) throw Pop3Exception("POP3 component not connected");
  if (!chainActive_) rqType_ = request;
  doneFired_ = false;
  quitHalfDone_ = false;
  lastRequestError_ = 0;
  replyHandler_ = &TCustomPop3Cli::StatusLineHandler;
  nextProtocolState_ = nextProtocolState;
  okContinuation_ = okContinuation;
  SetState(pop3WaitingReply);
  SendCommand(text);
}

void TCustomPop3Cli::SendCommand(const std::string& text) {
  Display("> " + text);
  Application->ProcessMessages();
  // The pump may have delivered the session's close, which has completed this request.
  if (!connected_ || doneFired_) return;
  try {
    socket_->SendText(text + "\r\n");
  } catch (const std::exception& e) {
    if (doneFired_) return;
    lastResponse_ = "-ERR " + ExceptionClassName(e) + ": " + e.what();
    lastResponseComplete_ = true;
    statusCode_ = 500;
    errorCode_ = 500;
    SetErrorMessageIfEmpty(lastResponse_);
    quitHalfDone_ = false;
    CompleteRequest(500);
  }
}

void TCustomPop3Cli::StatusLineHandler() {
  Display("< " + lastResponse_);
  statusRest_ = !lastResponseComplete_;
  statusCode_ = JudgeStatusLine(lastResponse_);
  if (statusCode_ == 0) {
    errorCode_ = 0;
    protocolState_ = nextProtocolState_;
    if (okContinuation_ != nullptr) {
      (this->*okContinuation_)();
    } else {
      FinishRequest(0);
    }
    return;
  }
  errorCode_ = statusCode_;
  SetErrorMessageIfEmpty(lastResponse_);
  FinishRequest(500);
}

void TCustomPop3Cli::FinishRequest(std::uint16_t error) {
  if (rqType_ == pop3Quit) {
    // A QUIT is over once both its status line and the session's close have been seen.
    if (!quitHalfDone_) {
      quitHalfDone_ = true;
      return;
    }
    quitHalfDone_ = false;
    error = 0;
  }
  CompleteRequest(error);
}

void TCustomPop3Cli::CompleteRequest(std::uint16_t error) {
  if (doneFired_) return;
  doneFired_ = true;
  // A request ended by a lost session has failed even when an earlier status line left
  // ErrorCode at 0; a chain must not go on with its next step on a dead session.
  if (error != 0 && errorCode_ == 0 && state_ != pop3Aborting) errorCode_ = error;
  if (chainContinuation_ != nullptr) {
    if (state_ != pop3Aborting) SetState(pop3BetweenSteps);
    (this->*chainContinuation_)();
    return;
  }
  SetState(pop3Idle);
  chainActive_ = false;
  lastRequestError_ = error;
  PostMessage(notifyWindow_, RequestDoneMessage, 0, LPARAM(error));
}

// --- loss of the session and Abort --------------------------------------------------------

void TCustomPop3Cli::WSocketSessionClosed(std::uint16_t error) {
  connected_ = false;
  if (OnSessionClosed) OnSessionClosed(this, error);
  if (rqType_ == pop3Quit && !quitHalfDone_ && !doneFired_) {
    // The server went away without answering QUIT: nothing more can arrive, so the request
    // ends here instead of waiting forever for its status line.
    CompleteRequest(Pop3ErrorSessionClosed);
  } else {
    FinishRequest(Pop3ErrorSessionClosed);
  }
  protocolState_ = pop3Disconnected;
}

void TCustomPop3Cli::Abort() {
  SetState(pop3Aborting);
  try {
    socket_->CancelLookup();
  } catch (const std::exception&) {
    // Abort has no preconditions and never fails; the close below still runs.
  }
  try {
    socket_->Abort();
  } catch (const std::exception&) {
  }
  SetState(pop3Idle);
}
