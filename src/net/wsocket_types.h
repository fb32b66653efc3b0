#pragma once
// Types shared by every layer of the socket class chain: states, options, event signatures,
// the exception and the private notification messages.

#include <cstdint>
#include <exception>
#include <functional>
#include <set>
#include <stdexcept>
#include <string>

#include "platform/async_select.h"
#include "platform/host_lookup.h"
#include "platform/message_loop.h"

class TCustomWSocket;

enum TSocketState : std::uint8_t {
  wsInvalidState = 0,
  wsOpened = 1,
  wsBound = 2,
  wsConnecting = 3,
  wsConnected = 4,
  wsAccepting = 5,  // never entered
  wsListening = 6,
  wsClosed = 7,
};

enum TSocketSendFlags { wsSendNormal = 0, wsSendUrgent = 1 };

enum TSocketLingerOnOff { wsLingerOff = 0, wsLingerOn = 1, wsLingerNoSet = 2 };

enum TWSocketOption { wsoNoReceiveLoop, wsoTcpNoDelay };
using TWSocketOptions = std::set<TWSocketOption>;

// Raised by an operation that cannot start, unless the socket has an OnError handler.
class ESocketException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
  virtual const char* ClassName() const noexcept { return "ESocketException"; }
};

// Event signatures; the sender is the socket that fires the event.
using TDataAvailable = std::function<void(TCustomWSocket* Sender, std::uint16_t Error)>;
using TDataSent = std::function<void(TCustomWSocket* Sender, std::uint16_t Error)>;
using TSessionClosed = std::function<void(TCustomWSocket* Sender, std::uint16_t Error)>;
using TSessionAvailable = std::function<void(TCustomWSocket* Sender, std::uint16_t Error)>;
using TSessionConnected = std::function<void(TCustomWSocket* Sender, std::uint16_t Error)>;
using TDnsLookupDone = std::function<void(TCustomWSocket* Sender, std::uint16_t Error)>;
using TSendData = std::function<void(TCustomWSocket* Sender, std::int32_t BytesSent)>;
using TChangeState =
    std::function<void(TCustomWSocket* Sender, TSocketState OldState, TSocketState NewState)>;
using TSocketNotifyEvent = std::function<void(TCustomWSocket* Sender)>;
using TBgExceptionEvent =
    std::function<void(TCustomWSocket* Sender, const std::exception& E, bool& CanClose)>;

// Private notification messages of a socket's notification target. SocketEventMessage (1025)
// comes from platform/async_select.h, LookupDoneMessage (1026) and ReverseLookupDoneMessage
// (1027) from platform/host_lookup.h.
constexpr unsigned CloseLaterMessage = WM_USER + 4;
constexpr unsigned ReleaseLaterMessage = WM_USER + 5;
constexpr unsigned TestExceptionMessage = WM_USER + 6;
constexpr unsigned LineResumeMessage = WM_USER + 20;

// IPv4 socket address record: family 2, port and address in network order, 8 zero bytes.
struct TSockAddrIn {
  std::uint16_t sin_family = 2;
  std::uint16_t sin_port = 0;
  std::uint32_t sin_addr = 0;
  std::uint8_t sin_zero[8] = {};
};
static_assert(sizeof(TSockAddrIn) == 16);
