#pragma once
// The event-driven socket object. Every system notification about the socket arrives as a
// posted message on the object's own notification target and is turned, inside the message
// loop of the thread that created the object, into calls of its event handlers. No call
// blocks except the synchronous name, service and protocol look-ups of the resolve routines.
//
// Handlers may call any operation, Close, Abort, Send and ReleaseLater included. A handler
// frees its own socket with ReleaseLater, which takes the socket's ownership from its owner.

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "net/wsock_buf.h"
#include "net/wsocket_types.h"

class TCustomWSocket {
 public:
  TCustomWSocket();
  virtual ~TCustomWSocket();
  TCustomWSocket(const TCustomWSocket&) = delete;
  TCustomWSocket& operator=(const TCustomWSocket&) = delete;

  // --- operations -------------------------------------------------------------------------
  virtual void Connect();
  virtual void Close();
  virtual void CloseLater();
  // Frees the socket from the message loop once the handler that runs now has returned. The
  // loop takes the ownership, so no owner can free it a second time: an owner's unique_ptr is
  // handed over, an object made with `new` that nothing owns is wrapped in one.
  static void ReleaseLater(std::unique_ptr<TCustomWSocket> socket);
  virtual void Abort();
  virtual void Flush();
  virtual void WaitUntilClosed();
  virtual void Listen();
  virtual TSocket Accept();
  virtual std::int32_t Receive(void* buffer, std::int32_t size);
  virtual std::string ReceiveText();
  virtual std::int32_t ReceiveFrom(void* buffer, std::int32_t size, TSockAddrIn& from,
                                   std::int32_t& fromLen);
  virtual std::int32_t Send(const void* data, std::int32_t len);
  virtual std::int32_t SendTo(const TSockAddrIn& dest, std::int32_t destLen, const void* data,
                              std::int32_t len);
  virtual std::int32_t SendText(const std::string& str);
  virtual void DnsLookup(const std::string& hostName);
  virtual void ReverseDnsLookup(const std::string& hostAddr);
  virtual void CancelLookup();
  virtual std::int32_t ReadPeerName(TSockAddrIn& name, std::int32_t& nameLen);
  virtual std::string LocalBoundPort();
  virtual std::string LocalBoundAddr();
  virtual std::int32_t GetLocalName(TSockAddrIn& name, std::int32_t& nameLen);
  virtual void Dup(TSocket newHandle);
  virtual void Shutdown(std::int32_t how);
  virtual void PauseEvents();
  virtual void ResumeEvents();
  // The application's message processing, or only this thread's messages when MultiThreaded.
  virtual void PumpMessages();
  // Dispatches every message waiting in the calling thread's queue (socket readiness and
  // timers gathered first). Returns true when a quit message was taken off the queue, which
  // is then remembered as seen (QuitSeen) rather than dispatched.
  bool PumpThreadMessages();
  // Hands queued data to the system; called by Send, Flush and the write notification.
  void TryToSend();

  // --- properties -------------------------------------------------------------------------
  const std::string& Addr() const { return addrStr_; }
  void SetAddr(const std::string& value);
  const std::string& Port() const { return portStr_; }
  virtual void SetPort(const std::string& value);
  const std::string& Proto() const { return protoStr_; }
  virtual void SetProto(const std::string& value);
  const std::string& LocalAddr() const { return localAddr_; }
  void SetLocalAddr(const std::string& value);
  const std::string& LocalPort() const { return localPortStr_; }
  void SetLocalPort(const std::string& value);

  bool MultiThreaded() const { return multiThreaded_; }
  void SetMultiThreaded(bool value) { multiThreaded_ = value; }
  bool MultiCast() const { return multiCast_; }
  void SetMultiCast(bool value) { multiCast_ = value; }
  const std::string& MultiCastAddrStr() const { return multiCastAddrStr_; }
  void SetMultiCastAddrStr(const std::string& value) { multiCastAddrStr_ = value; }
  std::int32_t MultiCastIpTTL() const { return multiCastIpTTL_; }
  void SetMultiCastIpTTL(std::int32_t value) { multiCastIpTTL_ = value; }
  bool ReuseAddr() const { return reuseAddr_; }
  void SetReuseAddr(bool value) { reuseAddr_ = value; }
  const TWSocketOptions& ComponentOptions() const { return componentOptions_; }
  void SetComponentOptions(const TWSocketOptions& value) { componentOptions_ = value; }
  std::int32_t FlushTimeout() const { return flushTimeout_; }
  void SetFlushTimeout(std::int32_t value) { flushTimeout_ = value; }
  TSocketSendFlags SendFlags();
  void SetSendFlags(TSocketSendFlags value);
  TSocketLingerOnOff LingerOnOff() const { return lingerOnOff_; }
  void SetLingerOnOff(TSocketLingerOnOff value) { lingerOnOff_ = value; }
  std::int32_t LingerTimeout() const { return lingerTimeout_; }
  void SetLingerTimeout(std::int32_t value) { lingerTimeout_ = value; }
  std::int32_t SendBlockSize() const { return sendBlockSize_; }
  void SetSendBlockSize(std::int32_t value) { sendBlockSize_ = value; }

  virtual std::string PeerAddr();
  virtual std::string PeerPort();
  const std::string& DnsResult() const { return dnsResult_; }
  const std::vector<std::string>& DnsResultList() const { return dnsResultList_; }
  TSocketState State() const { return state_; }
  std::int32_t ReadCount() const { return readCount_; }
  // Bytes ready for reading; -1 when the query fails.
  virtual std::int32_t RcvdCount();
  std::int32_t LastError() const { return lastError_; }
  bool SendComplete() const { return sendComplete_; }
  TNotifyTarget NotifyWindow() const { return notifyWindow_; }
  TSocket HSocket() const { return hSocket_; }
  bool QuitSeen() const { return quitSeen_; }
  // Blocks in the send queue, for tests and benchmarks.
  std::size_t SendQueueBlocks() const { return bufList_.size(); }
  std::int64_t SendQueueBytes() const;

  // --- events -----------------------------------------------------------------------------
  TSessionAvailable OnSessionAvailable;
  TSessionConnected OnSessionConnected;
  TSessionClosed OnSessionClosed;
  TChangeState OnChangeState;
  TDataAvailable OnDataAvailable;
  TDataSent OnDataSent;
  TSendData OnSendData;
  TDnsLookupDone OnDnsLookupDone;
  TSocketNotifyEvent OnError;
  TBgExceptionEvent OnBgException;

 protected:
  virtual void DispatchNotification(const TMessage& msg);
  virtual void CreateNotifyWindow();
  virtual void DestroyNotifyWindow();
  virtual void ResetToDefaults();
  virtual void DoClose(bool shut, int error);
  virtual void BindLocal();
  virtual std::int32_t RawSend(const void* data, std::int32_t len);
  virtual void SignalErrorFmt(const char* fmt, ...) __attribute__((format(printf, 2, 3)));
  virtual void SignalError(const std::string& msg);
  virtual void HandleBackgroundError(const std::exception& e);
  // Returns whether an OnDataAvailable handler is assigned.
  virtual bool FireDataAvailable(int error);
  virtual void FireSessionAvailable(int error);
  virtual void FireSessionConnected(int error);
  virtual void FireSessionClosed(int error);
  virtual void FireDataSent(int error);
  virtual void FireChangeState(TSocketState oldState, TSocketState newState);
  virtual void FireDnsLookupDone(int error);
  virtual void FireError();
  virtual std::int32_t RecvRaw(void* buffer, std::int32_t size, int flags);
  virtual std::int32_t RecvRawFrom(void* buffer, std::int32_t size, int flags, TSockAddrIn& from,
                                   std::int32_t& fromLen);

  void ChangeState(TSocketState newState);
  void ReportSocketError(const std::string& funcName);
  void ReceiveLoop(int error, const TWSocketOptions& options);
  void ApplyLinger();
  // BindLocal that tells whether it succeeded, so that Connect can stop after a failure.
  bool BindLocalChecked();
  void QueueData(const void* data, std::int32_t len);
  void DeleteBufferedData();
  void HandleSocketEvent(WPARAM wParam, LPARAM lParam);
  void HandleLookupDone(const TMessage& msg);
  void HandleReverseLookupDone(const TMessage& msg);
  bool Destroying() const { return destroying_; }
  // Requests notifications; returns false (system error set) on failure.
  bool RequestEvents(std::uint32_t mask);

  // A flag that outlives the object: handlers that may free the object check it afterwards.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
  // Set by ReleaseLater: the socket owns itself until its release message arrives.
  std::unique_ptr<TCustomWSocket> releasing_;

  std::string dnsResult_;
  std::vector<std::string> dnsResultList_;
  TSocket acceptedHandle_ = INVALID_SOCKET;
  std::deque<std::unique_ptr<TBuffer>> bufList_;
  std::int32_t sendBlockSize_ = 1460;
  std::int32_t sendFlags_ = 0;
  std::int32_t lastError_ = 0;
  TNotifyTarget notifyWindow_ = 0;
  TLookupHandle lookupHandle_ = 0;
  bool earlyReply_ = false;
  TMessage savedReply_;
  TSocket hSocket_ = INVALID_SOCKET;
  std::string addrStr_;
  bool addrAssigned_ = false;
  bool addrResolved_ = false;
  std::int32_t addrFamily_ = 2;
  std::int32_t proto_ = 6;
  bool protoAssigned_ = true;
  bool protoResolved_ = false;
  bool localPortResolved_ = false;
  std::string protoStr_ = "tcp";
  std::string portStr_;
  bool portAssigned_ = false;
  bool portResolved_ = false;
  std::int32_t portNum_ = 0;
  std::string localPortStr_ = "0";
  std::int32_t localPortNum_ = 0;
  std::string localAddr_ = "0.0.0.0";
  std::int32_t socketType_ = 1;  // 1 stream, 2 datagram, 3 raw
  TSocketLingerOnOff lingerOnOff_ = wsLingerOn;
  std::int32_t lingerTimeout_ = 0;
  bool sendComplete_ = true;
  std::int32_t readCount_ = 0;
  bool paused_ = false;
  bool closeInvoked_ = false;
  std::int32_t flushTimeout_ = 60;
  bool multiThreaded_ = false;
  bool multiCast_ = false;
  std::string multiCastAddrStr_;
  std::int32_t multiCastIpTTL_ = 1;
  bool reuseAddr_ = false;
  TWSocketOptions componentOptions_;
  TSocketState state_ = wsClosed;
  bool quitSeen_ = false;
  bool sending_ = false;  // TryToSend is running
  std::uint32_t selectEvent_ = 0;
  TSockAddrIn sin_;

 private:
  bool destroying_ = false;
};

// Live socket objects in this process.
int WSocketInstanceCount();
