#pragma once
// Enumerations, the exception and the private message of the POP3 client. The numeric values
// of the request types are part of the interface: completion handlers tell requests apart by
// them.

#include <cstdint>
#include <stdexcept>
#include <string>

#include "platform/message_loop.h"

// The POP3 session state.
enum TPop3ProtocolState : std::uint8_t {
  pop3Disconnected = 0,
  pop3WaitingUser = 1,
  pop3WaitingPass = 2,
  pop3Transaction = 3,
};

// The request state; a new operation may start only in pop3Idle or pop3BetweenSteps.
enum TPop3State : std::uint8_t {
  pop3Idle = 0,
  pop3Resolving = 1,
  pop3Connecting = 2,
  pop3Greeted = 3,
  pop3BetweenSteps = 4,
  pop3WaitingGreeting = 5,
  pop3WaitingReply = 6,
  pop3Aborting = 7,
};

// The request type reported with each completion.
enum TPop3Request : std::uint8_t {
  pop3Connect = 0,
  pop3User = 1,
  pop3Pass = 2,
  pop3RPop = 3,
  pop3Quit = 4,
  pop3Stat = 5,
  pop3List = 6,
  pop3Retr = 7,
  pop3Top = 8,
  pop3Dele = 9,
  pop3Noop = 10,
  pop3Last = 11,
  pop3RSet = 12,
  pop3Uidl = 13,
  pop3APop = 14,
  pop3Open = 15,
};

// The numbered steps of a chained request; a set of them is a 16-bit mask, bit n for step n.
enum TPop3Step : std::uint8_t {
  pop3StepNone = 0,
  pop3StepConnect = 1,
  pop3StepUser = 2,
  pop3StepPass = 3,
  pop3StepRPop = 4,
  pop3StepQuit = 5,
  pop3StepAPop = 6,
  pop3StepStat = 7,
  pop3StepList = 8,
  pop3StepUidl = 9,
  pop3StepRetr = 10,
  pop3StepTop = 11,
  pop3StepDele = 12,
  pop3StepNoop = 13,
  pop3StepRSet = 14,
  pop3StepLast = 15,
};
using TPop3Steps = std::uint16_t;
constexpr TPop3Steps Pop3StepBit(TPop3Step step) {
  return TPop3Steps(1u << step);
}

// How the session to the server is protected: not at all, by STLS after the greeting, or
// by TLS from the first byte on.
enum TPop3TlsMode : std::uint8_t {
  pop3TlsNone = 0,
  pop3TlsStartTls = 1,
  pop3TlsImplicit = 2,
};

// Raised when an operation cannot start.
class Pop3Exception : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Posted to the client's own notification target when a request is over; the completion
// handler runs later, from the message loop.
constexpr unsigned RequestDoneMessage = WM_USER + 1;

// Outcome numbers carried by completions besides the socket error numbers.
constexpr std::uint16_t Pop3ErrorNegativeReply = 500;
constexpr std::uint16_t Pop3ErrorAborted = 426;
constexpr std::uint16_t Pop3ErrorSessionClosed = 10004;
