#pragma once
// Host look-ups in the background. A worker thread runs the resolver (IPv4 only) and posts
// the answer to the requester's notification target: wParam the request handle, lParam's
// high 16 bits the error number (0, or 11001 host not found, ...). The requester then takes
// the host entry with TakeLookupResult. A cancelled request is forgotten: its answer is
// dropped, and a message already on its way carries a handle nobody waits for any more.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/message_loop.h"

constexpr unsigned LookupDoneMessage = WM_USER + 2;
constexpr unsigned ReverseLookupDoneMessage = WM_USER + 3;

struct THostEntry {
  std::string officialName;
  std::vector<std::string> aliases;
  std::vector<std::uint32_t> addresses;  // IPv4, network order, in the resolver's order
};

using TLookupHandle = std::int32_t;  // 0 is never a valid handle

// Name to addresses. Returns the request handle (never 0).
TLookupHandle AsyncGetHostByName(TNotifyTarget target, unsigned msg, const std::string& name);
// Address (network order) to name.
TLookupHandle AsyncGetHostByAddr(TNotifyTarget target, unsigned msg, std::uint32_t address);
// Forgets a request whose answer has not been taken yet. Returns false (last socket error
// 10022) for a handle that is unknown or already taken.
bool CancelAsyncRequest(TLookupHandle handle);
// Takes the answer of a finished request; false when there is none (unknown, cancelled, not
// finished or failed).
bool TakeLookupResult(TLookupHandle handle, THostEntry& entry);

// Synchronous look-ups through the C library, for the resolve routines. They set the
// thread's last socket error on failure.
bool GetHostByName(const std::string& name, THostEntry& entry);
bool GetServicePort(const std::string& service, const std::string& proto, std::uint16_t& port);
bool GetProtocolNumber(const std::string& name, int& number);
