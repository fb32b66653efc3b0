// STLS within the Connect request: after a positive greeting the client asks for TLS and
// goes on only once the session is encrypted. A refusal closes the session with nothing more
// sent, so no user name or password ever crosses in clear.
#include "pop3/pop3_client.h"
#include "pop3/reply_parsing.h"

void TCustomPop3Cli::SendStartTls() {
  greeting_ = lastResponse_;
  startTlsStep_ = 1;
  Display("> STLS");
  try {
    socket_->SendText("STLS\r\n");
  } catch (const std::exception&) {
    // The send failure has closed the session, whose close ends the request.
  }
}

void TCustomPop3Cli::StartTlsReply() {
  Display("< " + lastResponse_);
  if (startTlsStep_ != 1) return;
  if (JudgeStatusLine(lastResponse_) != 0) {
    tlsFailure_ = "TLS: the server does not offer STLS";
    lastResponse_ = "-ERR " + tlsFailure_;
    lastResponseComplete_ = true;
    statusCode_ = 500;
    errorCode_ = 500;
    SetErrorMessageIfEmpty(lastResponse_);
    startTlsStep_ = 0;
    // The request completes through the session close.
    socket_->Close();
    return;
  }
  // Whatever came in clear after the reply is not part of the protected session.
  receive_.Clear();
  readAhead_.Clear();
  startTlsStep_ = 2;
  socket_->StartTls();
}

void TCustomPop3Cli::StartTlsDone(std::uint16_t error) {
  if (startTlsStep_ != 2) return;
  startTlsStep_ = 0;
  if (error != 0) {
    tlsFailure_ = socket_->TlsFailure();
    lastResponse_ = "-ERR " + tlsFailure_;
    lastResponseComplete_ = true;
    statusCode_ = 500;
    errorCode_ = error;
    SetErrorMessageIfEmpty(lastResponse_);
    // The layer closes the session next, which ends the request.
    return;
  }
  lastResponse_ = greeting_;
  lastResponseComplete_ = true;
  NotifyResponse(lastResponse_);
  protocolState_ = pop3WaitingUser;
  SetState(pop3Greeted);
  NotifySessionConnected(0);
  FinishRequest(0);
}
