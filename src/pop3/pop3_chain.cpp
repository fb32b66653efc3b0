// Chained requests: several steps reported as one request. Open is connect, USER and PASS.
#include "pop3/pop3_client.h"

void TCustomPop3Cli::Open() {
  StartChain(pop3Open,
             Pop3StepBit(pop3StepConnect) | Pop3StepBit(pop3StepUser) | Pop3StepBit(pop3StepPass));
}

void TCustomPop3Cli::StartChain(TPop3Request request, TPop3Steps steps) {
  if (connected_ && (steps & Pop3StepBit(pop3StepConnect)) != 0) {
    throw Pop3Exception("pop3 component already connected");
  }
  CheckReady();
  rqType_ = request;
  errorCode_ = 0;
  lastRequestError_ = 0;
  pendingSteps_ = steps;
  currentStep_ = pop3StepNone;
  chainError_ = 0;
  chainActive_ = true;
  lastResponse_.clear();
  lastResponseComplete_ = true;
  ClearErrorMessage();
  RunNextStep();
}

void TCustomPop3Cli::RunNextStep() {
  if (state_ == pop3Aborting) {
    pendingSteps_ = 0;
    chainError_ = Pop3ErrorAborted;
    errorMessage_ = "426 Operation aborted.";
  }
  chainContinuation_ = &TCustomPop3Cli::RunNextStep;

  if (errorCode_ != 0) {
    // The step that just finished failed: only a pending QUIT still runs.
    chainError_ = errorCode_;
    bool quitPending = (pendingSteps_ & Pop3StepBit(pop3StepQuit)) != 0;
    pendingSteps_ = quitPending && currentStep_ != pop3StepQuit ? Pop3StepBit(pop3StepQuit) : 0;
  }

  static constexpr struct {
    TPop3Step step;
    void (TCustomPop3Cli::*operation)();
  } kOrder[] = {
      {pop3StepConnect, &TCustomPop3Cli::Connect}, {pop3StepUser, &TCustomPop3Cli::User},
      {pop3StepPass, &TCustomPop3Cli::Pass},       {pop3StepRPop, &TCustomPop3Cli::RPop},
      {pop3StepDele, &TCustomPop3Cli::Dele},       {pop3StepNoop, &TCustomPop3Cli::Noop},
      {pop3StepList, &TCustomPop3Cli::List},       {pop3StepRSet, &TCustomPop3Cli::RSet},
      {pop3StepAPop, &TCustomPop3Cli::APop},       {pop3StepRetr, &TCustomPop3Cli::Retr},
      {pop3StepTop, &TCustomPop3Cli::Top},         {pop3StepStat, &TCustomPop3Cli::Stat},
      {pop3StepUidl, &TCustomPop3Cli::Uidl},       {pop3StepLast, &TCustomPop3Cli::Last},
      {pop3StepQuit, &TCustomPop3Cli::Quit},
  };
  for (const auto& entry : kOrder) {
    if ((pendingSteps_ & Pop3StepBit(entry.step)) == 0) continue;
    currentStep_ = entry.step;
    pendingSteps_ &= TPop3Steps(~Pop3StepBit(entry.step));
    (this->*entry.operation)();
    return;
  }

  pendingSteps_ = 0;
  chainContinuation_ = nullptr;
  doneFired_ = false;
  FinishRequest(std::uint16_t(chainError_));
}
