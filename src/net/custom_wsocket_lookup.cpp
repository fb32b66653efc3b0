// Host look-ups in the background, answered through OnDnsLookupDone.
#include <netinet/in.h>

#include "net/custom_wsocket.h"
#include "net/resolve.h"
#include "platform/socket_errors.h"

void TCustomWSocket::DnsLookup(const std::string& hostName) {
  if (hostName.empty()) {
    SignalError("DNS lookup: invalid host name.");
    FireDnsLookupDone(wsa::kInvalidArgument);
    return;
  }
  if (lookupHandle_ != 0) {
    CancelAsyncRequest(lookupHandle_);
    lookupHandle_ = 0;
  }
  dnsResult_.clear();
  dnsResultList_.clear();
  std::uint32_t address = InetAddr(hostName);
  if (address != INADDR_NONE) {
    // A dotted address needs no look-up: answered at once, from inside this call.
    dnsResult_ = DottedAddress(address);
    FireDnsLookupDone(0);
    return;
  }
  if (notifyWindow_ == 0) {
    SignalError("DnsLookup: Window not assigned");
    return;
  }
  earlyReply_ = false;
  lookupHandle_ = AsyncGetHostByName(notifyWindow_, LookupDoneMessage, hostName);
  if (lookupHandle_ == 0) {
    SignalErrorFmt("%s: can't start DNS lookup, error #%d", hostName.c_str(), wsa::GetLastError());
    return;
  }
  if (earlyReply_) {
    earlyReply_ = false;
    HandleLookupDone(savedReply_);
  }
}

void TCustomWSocket::HandleLookupDone(const TMessage& msg) {
  if (lookupHandle_ == 0) {
    // Recorded only; a new look-up forgets it before it starts.
    savedReply_ = msg;
    earlyReply_ = true;
    return;
  }
  if (static_cast<TLookupHandle>(msg.wParam) != lookupHandle_) return;
  TLookupHandle handle = lookupHandle_;
  lookupHandle_ = 0;
  int error = SelectError(msg.lParam);
  THostEntry entry;
  bool have = TakeLookupResult(handle, entry);
  if (error == 0) {
    if (have && !entry.addresses.empty()) {
      for (std::uint32_t a : entry.addresses) dnsResultList_.push_back(DottedAddress(a));
      dnsResult_ = dnsResultList_.front();
    } else {
      error = wsa::kNoData;
    }
  }
  FireDnsLookupDone(error);
}

void TCustomWSocket::ReverseDnsLookup(const std::string& hostAddr) {
  if (hostAddr.empty() || hostAddr.size() > 256) {
    SignalError("ReverseDnsLookup: Invalid host name.");
    FireDnsLookupDone(wsa::kInvalidArgument);
    return;
  }
  if (lookupHandle_ != 0) {
    CancelAsyncRequest(lookupHandle_);
    lookupHandle_ = 0;
  }
  dnsResult_.clear();
  dnsResultList_.clear();
  std::uint32_t address = InetAddr(hostAddr);
  if (notifyWindow_ == 0) {
    SignalError("ReverseDnsLookup: Window not assigned");
    return;
  }
  lookupHandle_ = AsyncGetHostByAddr(notifyWindow_, ReverseLookupDoneMessage, address);
  if (lookupHandle_ == 0)
    SignalErrorFmt("%s: can't start DNS lookup, error #%d", hostAddr.c_str(), wsa::GetLastError());
}

void TCustomWSocket::HandleReverseLookupDone(const TMessage& msg) {
  if (lookupHandle_ == 0 || static_cast<TLookupHandle>(msg.wParam) != lookupHandle_) return;
  TLookupHandle handle = lookupHandle_;
  lookupHandle_ = 0;
  int error = SelectError(msg.lParam);
  THostEntry entry;
  bool have = TakeLookupResult(handle, entry);
  if (error == 0) {
    if (have) {
      dnsResult_ = entry.officialName;
      dnsResultList_.assign(1, entry.officialName);
    } else {
      error = wsa::kNoData;
    }
  }
  FireDnsLookupDone(error);
}

void TCustomWSocket::CancelLookup() {
  if (lookupHandle_ == 0) return;
  TLookupHandle handle = lookupHandle_;
  lookupHandle_ = 0;
  if (!CancelAsyncRequest(handle)) {
    ReportSocketError("WSACancelAsyncRequest");
    return;
  }
  if (!Destroying()) FireDnsLookupDone(wsa::kInterrupted);
}
