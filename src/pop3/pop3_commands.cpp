// The POP3 commands: when each may be sent, its text, its request type and what is read from
// a positive reply.
#include "pop3/apop.h"
#include "pop3/pop3_client.h"
#include "pop3/reply_parsing.h"

namespace {
constexpr const char* kNumberOutOfRange = "-ERR Number in reply out of range";
}

// --- session commands ---------------------------------------------------------------------

void TCustomPop3Cli::User() {
  if (protocolState_ > pop3WaitingUser) RaiseInvalidNow("USER");
  currentStep_ = pop3StepUser;
  StartCommand(pop3User, "USER " + Pop3Trim(userName_), nullptr, pop3WaitingPass);
}

void TCustomPop3Cli::Pass() {
  if (protocolState_ > pop3WaitingPass) RaiseInvalidNow("PASS");
  currentStep_ = pop3StepPass;
  StartCommand(pop3Pass, "PASS " + Pop3Trim(passWord_), nullptr, pop3Transaction);
}

void TCustomPop3Cli::RPop() {
  if (protocolState_ > pop3WaitingPass) RaiseInvalidNow("RPOP");
  currentStep_ = pop3StepRPop;
  StartCommand(pop3RPop, "RPOP " + Pop3Trim(passWord_), nullptr, pop3Transaction);
}

void TCustomPop3Cli::APop() {
  if (protocolState_ != pop3WaitingUser) {
    errorMessage_ = "-ERR APOP command invalid now";
    Display(errorMessage_);
    throw Pop3Exception(errorMessage_);
  }
  if (timestamp_.empty()) {
    errorMessage_ = "-ERR Server do not support APOP (no timestamp)";
    Display(errorMessage_);
    throw Pop3Exception(errorMessage_);
  }
  currentStep_ = pop3StepAPop;
  std::string text = "APOP " + Pop3Trim(userName_) + " " + ApopDigest(timestamp_, passWord_);
  StartCommand(pop3APop, text, nullptr, pop3Transaction);
}

void TCustomPop3Cli::Quit() {
  CheckReady();
  currentStep_ = pop3StepQuit;
  if (connected_) {
    StartCommand(pop3Quit, "QUIT", nullptr, pop3Disconnected);
    return;
  }
  // Nothing to say goodbye to: the request is over at once (its completion still comes
  // later, through the message loop).
  if (!chainActive_) rqType_ = pop3Quit;
  doneFired_ = false;
  quitHalfDone_ = false;
  CompleteRequest(0);
}

// --- transaction commands -----------------------------------------------------------------

void TCustomPop3Cli::StartTransactionCommand(const std::string& name, const std::string& argument,
                                             THandler continuation, TPop3Request request) {
  if (protocolState_ != pop3Transaction) RaiseInvalidNow(name);
  inHeader_ = true;
  header_.Clear();
  listingOverflow_ = false;
  std::string text = argument.empty() ? name : name + " " + argument;
  StartCommand(request, text, continuation, pop3Transaction);
}

void TCustomPop3Cli::Stat() {
  currentStep_ = pop3StepStat;
  StartTransactionCommand("STAT", "", &TCustomPop3Cli::StatParse, pop3Stat);
}

void TCustomPop3Cli::List() {
  currentStep_ = pop3StepList;
  if (msgNum_ > 0) {
    StartTransactionCommand("LIST", std::to_string(msgNum_), &TCustomPop3Cli::PairIntoNumAndSize,
                            pop3List);
  } else {
    StartTransactionCommand("LIST", "", &TCustomPop3Cli::ListBegin, pop3List);
  }
}

void TCustomPop3Cli::Uidl() {
  currentStep_ = pop3StepUidl;
  if (msgNum_ > 0) {
    StartTransactionCommand("UIDL", std::to_string(msgNum_), &TCustomPop3Cli::UidlSingleParse,
                            pop3Uidl);
  } else {
    StartTransactionCommand("UIDL", "", &TCustomPop3Cli::UidlBegin, pop3Uidl);
  }
}

void TCustomPop3Cli::Retr() {
  currentStep_ = pop3StepRetr;
  StartTransactionCommand("RETR", std::to_string(msgNum_), &TCustomPop3Cli::MessageBegin, pop3Retr);
}

void TCustomPop3Cli::Top() {
  if (msgLines_ < 0) throw Pop3Exception("Invalid MsgLines for TOP command");
  currentStep_ = pop3StepTop;
  StartTransactionCommand("TOP", std::to_string(msgNum_) + " " + std::to_string(msgLines_),
                          &TCustomPop3Cli::MessageBegin, pop3Top);
}

void TCustomPop3Cli::Dele() {
  currentStep_ = pop3StepDele;
  StartTransactionCommand("DELE", std::to_string(msgNum_), nullptr, pop3Dele);
}

void TCustomPop3Cli::Noop() {
  currentStep_ = pop3StepNoop;
  StartTransactionCommand("NOOP", "", nullptr, pop3Noop);
}

void TCustomPop3Cli::Last() {
  currentStep_ = pop3StepLast;
  StartTransactionCommand("LAST", "", &TCustomPop3Cli::PairIntoNumAndSize, pop3Last);
}

void TCustomPop3Cli::RSet() {
  currentStep_ = pop3StepRSet;
  StartTransactionCommand("RSET", "", nullptr, pop3RSet);
}

// --- single-line replies ------------------------------------------------------------------

void TCustomPop3Cli::FinishAfterParse(bool overflow) {
  if (overflow) {
    // A count that does not fit 32 bits cannot be trusted; the values stay 0 and the request
    // fails instead of reporting a wrapped number.
    errorCode_ = 500;
    SetErrorMessageIfEmpty(kNumberOutOfRange);
    Display(kNumberOutOfRange);
  }
  FinishRequest(std::uint16_t(errorCode_));
}

void TCustomPop3Cli::StatParse() {
  bool overflow = ParseNumberPair(lastResponse_, msgCount_, msgSize_) == TNumberParse::Overflow;
  FinishAfterParse(overflow);
}

void TCustomPop3Cli::PairIntoNumAndSize() {
  bool overflow = ParseNumberPair(lastResponse_, msgNum_, msgSize_) == TNumberParse::Overflow;
  FinishAfterParse(overflow);
}

void TCustomPop3Cli::UidlSingleParse() {
  bool overflow = ParseNumberAndId(lastResponse_, msgNum_, msgUidl_) == TNumberParse::Overflow;
  FinishAfterParse(overflow);
}

// --- multi-line replies -------------------------------------------------------------------

void TCustomPop3Cli::BeginMultiLine(THandler parser, const TPop3NotifyEvent& lineEvent,
                                    const TPop3NotifyEvent& endEvent,
                                    const TPop3NotifyEvent& beginEvent) {
  lineEvent_ = lineEvent;
  endEvent_ = endEvent;
  lineParser_ = parser;
  if (beginEvent) beginEvent(this);
  replyHandler_ = &TCustomPop3Cli::DataLineHandler;
}

void TCustomPop3Cli::ListBegin() {
  BeginMultiLine(&TCustomPop3Cli::ListLineParser, OnListLine, OnListEnd, OnListBegin);
}

void TCustomPop3Cli::UidlBegin() {
  BeginMultiLine(&TCustomPop3Cli::UidlLineParser, OnUidlLine, OnUidlEnd, OnUidlBegin);
}

void TCustomPop3Cli::MessageBegin() {
  BeginMultiLine(nullptr, OnMessageLine, OnMessageEnd, OnMessageBegin);
}

void TCustomPop3Cli::ListLineParser() {
  if (ParseNumberPair(lastResponse_, msgNum_, msgSize_) == TNumberParse::Overflow) {
    listingOverflow_ = true;
  }
}

void TCustomPop3Cli::UidlLineParser() {
  if (ParseNumberAndId(lastResponse_, msgNum_, msgUidl_) == TNumberParse::Overflow) {
    listingOverflow_ = true;
  }
}

void TCustomPop3Cli::DataLineHandler() {
  if (!connected_) {
    errorMessage_ = "-ERR Disconneced unexpectedly";
    errorCode_ = 500;
    Display(errorMessage_);
    FinishRequest(500);
    return;
  }
  if (!continuesPiece_ && lastResponse_ == ".") {
    if (endEvent_) endEvent_(this);
    lastResponse_.clear();
    replyHandler_ = nullptr;
    if (listingOverflow_) {
      // The listing was read to its end so the session stays in step; it still failed.
      FinishAfterParse(true);
    } else {
      FinishRequest(0);
    }
    return;
  }
  if (!continuesPiece_) {
    UnstuffDataLine(lastResponse_);
    if (inHeader_ && CaptureHeaderLine(lastResponse_, header_)) {
      inHeader_ = false;
      if (OnHeaderEnd) OnHeaderEnd(this);
    }
  }
  if (lineParser_ != nullptr) (this->*lineParser_)();
  if (lineEvent_) lineEvent_(this);
}
