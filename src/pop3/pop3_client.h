#pragma once
// The client side of POP3 toward the user's real mail server. Every operation only starts a
// request and returns at once; the request advances inside the events of the client's own
// socket, and its end is reported once through OnRequestDone, always later, from the message
// loop (the completion is posted to the client's own notification target).
//
// Lines are assembled here in a fixed 4096-byte buffer (the socket's line mode stays off): a
// reply line longer than 4093 bytes is handed on in pieces, the last one marked complete.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "net/wsocket.h"
#include "platform/message_loop.h"
#include "pop3/header_capture.h"
#include "pop3/pop3_types.h"
#include "pop3/read_ahead.h"
#include "pop3/receive_buffer.h"

class TCustomPop3Cli;

using TPop3Display = std::function<void(TCustomPop3Cli* Sender, const std::string& Msg)>;
using TPop3RequestDone =
    std::function<void(TCustomPop3Cli* Sender, TPop3Request RqType, std::uint16_t Error)>;
using TPop3SessionConnected = std::function<void(TCustomPop3Cli* Sender, std::uint16_t Error)>;
using TPop3SessionClosed = std::function<void(TCustomPop3Cli* Sender, std::uint16_t Error)>;
using TPop3NotifyEvent = std::function<void(TCustomPop3Cli* Sender)>;

class TCustomPop3Cli {
 public:
  TCustomPop3Cli();
  virtual ~TCustomPop3Cli();
  TCustomPop3Cli(const TCustomPop3Cli&) = delete;
  TCustomPop3Cli& operator=(const TCustomPop3Cli&) = delete;

  // --- notification and completion --------------------------------------------------------
  virtual void HandleWindowMessage(const TMessage& msg);
  virtual void NotifySessionConnected(std::uint16_t error);
  virtual void NotifyResponse(const std::string& msg);
  virtual void NotifyStateChange();
  virtual void FinishRequest(std::uint16_t error);

  // --- requests: each starts one request (one OnRequestDone) or raises Pop3Exception ------
  virtual void Connect();
  virtual void Open();
  virtual void User();
  virtual void Pass();
  virtual void RPop();
  virtual void APop();
  virtual void Quit();
  virtual void Stat();
  virtual void List();
  virtual void Retr();
  virtual void Top();
  virtual void Dele();
  virtual void Noop();
  virtual void Last();
  virtual void RSet();
  virtual void Uidl();
  // Ends whatever runs at once; never raises. A request in progress is completed by what the
  // socket reports (10004, or 426 for a chain).
  virtual void Abort();

  void ClearErrorMessage() { errorMessage_.clear(); }

  // --- properties -------------------------------------------------------------------------
  const std::string& Host() const { return host_; }
  void SetHost(const std::string& value) { host_ = value; }
  const std::string& LocalAddr() const { return localAddr_; }
  void SetLocalAddr(const std::string& value) { localAddr_ = value; }
  const std::string& Port() const { return port_; }
  void SetPort(const std::string& value) { port_ = value; }
  const std::string& UserName() const { return userName_; }
  void SetUserName(const std::string& value) { userName_ = value; }
  const std::string& PassWord() const { return passWord_; }
  void SetPassWord(const std::string& value) { passWord_ = value; }
  // Set before Connect. With STLS the Connect request ends once the session is encrypted;
  // the greeting is reported through OnResponse only then (the mail program's view of the
  // connect stays that of one request). Nothing is sent in clear after a refused STLS.
  TPop3TlsMode TlsMode() const { return tlsMode_; }
  void SetTlsMode(TPop3TlsMode value) { tlsMode_ = value; }
  // A PEM file of authorities (or a server's own certificate) trusted besides the system's.
  const std::string& TlsCAFile() const { return tlsCAFile_; }
  void SetTlsCAFile(const std::string& value) { tlsCAFile_ = value; }
  // Why the last connect failed for TLS ("TLS: ..."), "" when it did not.
  const std::string& TlsFailure() const { return tlsFailure_; }
  const std::string& ErrorMessage() const { return errorMessage_; }
  // The last line received (every byte of it, zeros included), or a composed error text.
  const std::string& LastResponse() const { return lastResponse_; }
  // False while LastResponse is a forced 4093-byte piece of a longer line; the rest of that
  // line follows as the next line(s) delivered.
  bool LastResponseComplete() const { return lastResponseComplete_; }
  TPop3ProtocolState ProtocolState() const { return protocolState_; }
  std::int32_t MsgCount() const { return msgCount_; }
  std::int32_t MsgSize() const { return msgSize_; }
  std::int32_t MsgLines() const { return msgLines_; }
  void SetMsgLines(std::int32_t value) { msgLines_ = value; }
  std::int32_t MsgNum() const { return msgNum_; }
  void SetMsgNum(std::int32_t value) { msgNum_ = value; }
  const std::string& MsgUidl() const { return msgUidl_; }
  std::int32_t Tag() const { return tag_; }
  void SetTag(std::int32_t value) { tag_ = value; }

  TPop3State State() const { return state_; }
  bool Connected() const { return connected_; }
  TWSocket* Socket() const { return socket_.get(); }
  // The APOP timestamp of the last positive greeting, brackets included.
  const std::string& Timestamp() const { return timestamp_; }
  // Outcome of the last step: 0, 500 (negative reply or local failure) or a socket error.
  std::int32_t ErrorCode() const { return errorCode_; }
  // Verdict on the last status line: 0 or 500 (426 after a synchronous wait timed out).
  std::int32_t StatusCode() const { return statusCode_; }
  TNotifyTarget NotifyWindow() const { return notifyWindow_; }

  const std::string& HeaderKeyword() const { return header_.Keyword; }
  const std::string& HeaderData() const { return header_.Data; }
  const std::string& HeaderFrom() const { return header_.From; }
  const std::string& HeaderTo() const { return header_.To; }
  const std::string& HeaderSubject() const { return header_.Subject; }
  const std::string& HeaderReplyTo() const { return header_.ReplyTo; }
  const std::string& HeaderMessageId() const { return header_.MessageId; }
  const std::string& HeaderDate() const { return header_.Date; }
  const std::string& HeaderReturnPath() const { return header_.ReturnPath; }

  // --- events -----------------------------------------------------------------------------
  TPop3Display OnDisplay;
  TPop3NotifyEvent OnMessageBegin;
  TPop3NotifyEvent OnMessageEnd;
  TPop3NotifyEvent OnMessageLine;
  TPop3NotifyEvent OnListBegin;
  TPop3NotifyEvent OnListEnd;
  TPop3NotifyEvent OnListLine;
  TPop3NotifyEvent OnUidlBegin;
  TPop3NotifyEvent OnUidlEnd;
  TPop3NotifyEvent OnUidlLine;
  TPop3NotifyEvent OnHeaderEnd;
  TPop3NotifyEvent OnStateChange;
  TPop3RequestDone OnRequestDone;
  // Every line received, status and data lines alike, before any other handling.
  TPop3Display OnResponse;
  TPop3SessionConnected OnSessionConnected;
  TPop3SessionClosed OnSessionClosed;

 protected:
  using THandler = void (TCustomPop3Cli::*)();

  void SetState(TPop3State newState);
  void CheckReady();
  void Display(const std::string& msg);
  void SetErrorMessageIfEmpty(const std::string& text);
  void RaiseInvalidNow(const std::string& command);

  // Socket events.
  void WSocketDnsLookupDone(std::uint16_t error);
  void WSocketSessionConnected(std::uint16_t error);
  void WSocketDataAvailable(std::uint16_t error);
  // Hands on every complete line in the line buffer; false when one of them ended the
  // reading for now (a refused greeting, the start of TLS).
  bool TakeReceivedLines(std::uint16_t error);
  void WSocketSessionClosed(std::uint16_t error);
  void FailConnectStart(const std::exception& e);

  // STLS after a positive greeting (pop3_stls.cpp).
  void SendStartTls();
  void StartTlsReply();
  void StartTlsDone(std::uint16_t error);

  // Request machinery.
  void StartCommand(TPop3Request request, const std::string& text, THandler okContinuation,
                    TPop3ProtocolState nextProtocolState);
  void SendCommand(const std::string& text);
  void StatusLineHandler();
  void CompleteRequest(std::uint16_t error);
  void StartTransactionCommand(const std::string& name, const std::string& argument,
                               THandler continuation, TPop3Request request);

  // Single-line parses run after a positive status line.
  void StatParse();
  void PairIntoNumAndSize();
  void UidlSingleParse();
  void FinishAfterParse(bool overflow);

  // Multi-line replies.
  void BeginMultiLine(THandler parser, const TPop3NotifyEvent& lineEvent,
                      const TPop3NotifyEvent& endEvent, const TPop3NotifyEvent& beginEvent);
  void ListBegin();
  void UidlBegin();
  void MessageBegin();
  void ListLineParser();
  void UidlLineParser();
  void DataLineHandler();

  // Chains.
  void StartChain(TPop3Request request, TPop3Steps steps);
  void RunNextStep();

  std::unique_ptr<TWSocket> socket_;
  TNotifyTarget notifyWindow_ = 0;
  TPop3State state_ = pop3Idle;
  TPop3ProtocolState nextProtocolState_ = pop3Disconnected;
  TPop3ProtocolState protocolState_ = pop3Disconnected;
  bool connected_ = false;
  TPop3Request rqType_ = pop3Connect;
  bool doneFired_ = false;
  TPop3ReceiveBuffer receive_;
  TPop3ReadAhead readAhead_;
  std::int32_t errorCode_ = 0;
  std::int32_t statusCode_ = 0;
  // The error the last completion carried; a synchronous wait counts it as well as ErrorCode.
  std::uint16_t lastRequestError_ = 0;
  THandler replyHandler_ = nullptr;
  TPop3Steps pendingSteps_ = 0;
  TPop3Step currentStep_ = pop3StepNone;
  std::int32_t chainError_ = 0;
  bool chainActive_ = false;
  THandler chainContinuation_ = nullptr;
  THandler okContinuation_ = nullptr;
  TPop3NotifyEvent lineEvent_;
  TPop3NotifyEvent endEvent_;
  THandler lineParser_ = nullptr;
  // A number in a listing line did not fit; the listing is read to its end, then fails.
  bool listingOverflow_ = false;

  std::string host_;
  std::string localAddr_ = "0.0.0.0";
  std::string port_ = "pop3";
  std::string userName_;
  std::string passWord_;
  std::string errorMessage_;
  std::string lastResponse_;
  bool lastResponseComplete_ = true;
  // The line being handled continues a forced piece: it is not the start of a line, so it is
  // neither the "." terminator nor dot-stuffed nor a header line.
  bool continuesPiece_ = false;
  // A status line longer than a piece was judged by its first piece; its further pieces are
  // no reply lines of their own (neither data of the reply nor the status of the next one).
  bool statusRest_ = false;
  std::string msgUidl_;
  std::string timestamp_;
  std::int32_t msgCount_ = 0;
  std::int32_t msgSize_ = 0;
  std::int32_t msgLines_ = 0;
  std::int32_t msgNum_ = 0;
  std::int32_t tag_ = 0;
  bool quitHalfDone_ = false;
  TPop3TlsMode tlsMode_ = pop3TlsNone;
  std::string tlsCAFile_;
  std::string tlsFailure_;
  // STLS progress within a Connect: 0 none, 1 its reply awaited, 2 the handshake running.
  std::uint8_t startTlsStep_ = 0;
  std::string greeting_;
  bool inHeader_ = false;
  TPop3HeaderValues header_;
};

// Publishes the engine's properties and events; adds no behaviour.
class TPop3Cli : public TCustomPop3Cli {
 public:
  TPop3Cli() = default;
};
