#pragma once
// Helpers for socket tests: plain blocking peers on loopback and pumping the loop until a
// condition holds.

#include <cstdint>
#include <functional>
#include <string>

#include "net/wsocket_types.h"

namespace nettest {

// Runs the thread's loop until `done` holds or `timeoutMs` passes; returns `done()`.
bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 5000);
// Runs the loop for about `ms` milliseconds.
void PumpFor(int ms);

// Plain blocking sockets on 127.0.0.1.
int PlainListen(std::uint16_t& port, int backlog = 5);
int PlainConnect(std::uint16_t port);
int PlainAccept(int listenFd);
// A port on which nothing listens (bound once, then released).
std::uint16_t UnusedPort();
void SendAll(int fd, const std::string& data);
// Reads until `n` bytes arrived, the peer closed, or `timeoutMs` passed.
std::string ReadBytes(int fd, std::size_t n, int timeoutMs = 5000);
// Reads until the peer closes.
std::string ReadToEnd(int fd, int timeoutMs = 5000);
// Closes with a reset instead of an orderly close.
void CloseWithReset(int fd);
void SetReceiveBuffer(int fd, int bytes);
// n letters in which a piece that went missing, came twice or out of order shows.
std::string Pattern(std::size_t n);

// True when the tests run in a network namespace of their own (name look-ups then reach
// no server at all).
bool NetworkIsolated();
// True when the name "three.test" resolves to 10.0.0.3, 10.0.0.1 and 10.0.0.2, in that order.
bool HostsFileReplaced();

// The text of the socket exception `f` raises, or "no exception".
inline std::string ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const ESocketException& e) {
    return e.what();
  }
  return "no exception";
}

}  // namespace nettest
