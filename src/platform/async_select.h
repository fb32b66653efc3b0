#pragma once
// Socket readiness delivered the way the desktop socket library delivers it: the socket layer
// asks for a set of events on a notification target and receives one posted message per
// event, with the event bit and an error number, re-enabled only by the calls that consume it.
//
//   read    posted once while data waits; re-enabled by a receive call (and re-posted then
//           when data still waits)
//   write   posted once when a connect completes or a connected handle is adopted, then only
//           after a send failed with "would block" and room has come back
//   accept  posted when a connection waits; re-enabled by accept
//   connect posted once when a non-blocking connect ends, with its error number
//   close   posted once when the peer closes (0 orderly, 10054 reset), never while data that
//           has not been announced by a read notification still waits
//
// Every call on a registered socket must therefore go through this module, which keeps the
// re-enable state per handle. All functions run on the thread that owns the loop; they set
// the thread's last socket error (socket_errors.h) on failure.

#include <cstddef>
#include <cstdint>

#include "platform/message_loop.h"

using TSocket = int;
constexpr TSocket INVALID_SOCKET = -1;
constexpr int SOCKET_ERROR = -1;

// Event bits of the notification mask and of a posted event.
constexpr std::uint32_t FD_READ = 1;
constexpr std::uint32_t FD_WRITE = 2;
constexpr std::uint32_t FD_OOB = 4;
constexpr std::uint32_t FD_ACCEPT = 8;
constexpr std::uint32_t FD_CONNECT = 16;
constexpr std::uint32_t FD_CLOSE = 32;

// wParam: the socket handle tag (SockSelectTag); lParam: low 16 bits event bits, high 16 bits
// error number.
constexpr unsigned SocketEventMessage = WM_USER + 1;

// The wParam of a socket's notifications: the handle in the low 32 bits and, above it, a
// number that changes with every socket the module registers. A notification still queued
// for an earlier socket that had the same descriptor number thus never matches a later one.
WPARAM SockSelectTag(TSocket s);
constexpr TSocket SelectSocket(WPARAM wParam) {
  return static_cast<TSocket>(static_cast<std::uint32_t>(wParam & 0xffffffffu));
}

constexpr LPARAM MakeSelectParam(std::uint32_t event, int error) {
  return static_cast<LPARAM>((static_cast<std::uint32_t>(error & 0xffff) << 16) | (event & 0xffff));
}
constexpr std::uint32_t SelectEvent(LPARAM lParam) {
  return static_cast<std::uint32_t>(lParam) & 0xffff;
}
constexpr int SelectError(LPARAM lParam) {
  return static_cast<int>((static_cast<std::uint32_t>(lParam) >> 16) & 0xffff);
}

// Creates a non-blocking socket (close-on-exec). INVALID_SOCKET on failure.
TSocket SockCreate(int family, int type, int protocol);
// Asks for `eventMask` notifications posted as `msg` to `target`; mask 0 stops them. A
// connected stream socket gets one write notification right away (as an adopted handle does).
int SockAsyncSelect(TSocket s, TNotifyTarget target, unsigned msg, std::uint32_t eventMask);
// Starts a connect; SOCKET_ERROR with 10035 means it goes on in the background and ends with
// a connect notification.
int SockConnect(TSocket s, const void* addr, std::size_t addrLen);
int SockBind(TSocket s, const void* addr, std::size_t addrLen);
int SockListen(TSocket s, int backlog);
// The accepted socket is non-blocking; `addr` may be null.
TSocket SockAccept(TSocket s, void* addr, std::size_t* addrLen);
// Sending never raises SIGPIPE; a "would block" re-enables the write notification.
int SockSend(TSocket s, const void* data, std::size_t len, int flags);
int SockSendTo(TSocket s, const void* data, std::size_t len, int flags, const void* addr,
               std::size_t addrLen);
int SockRecv(TSocket s, void* buffer, std::size_t len, int flags);
int SockRecvFrom(TSocket s, void* buffer, std::size_t len, int flags, void* addr,
                 std::size_t* addrLen);
// Bytes ready for reading (the FIONREAD query); SOCKET_ERROR on failure.
int SockBytesReady(TSocket s, unsigned long* count);
int SockShutdown(TSocket s, int how);
// Forgets the handle's notifications before the descriptor number can be reused.
int SockClose(TSocket s);
int SockSetOption(TSocket s, int level, int name, const void* value, std::size_t len);
int SockGetOption(TSocket s, int level, int name, void* value, std::size_t* len);
int SockGetName(TSocket s, void* addr, std::size_t* addrLen);
int SockGetPeerName(TSocket s, void* addr, std::size_t* addrLen);

// For tests: true while the handle is registered with the poller, and how many readiness
// reports this thread's handles have had (a storm of reports shows up here).
bool SockIsSelected(TSocket s);
std::uint64_t SockReadinessReports();
static_assert(sizeof(WPARAM) == 8, "handle tags need a 64-bit wParam");
