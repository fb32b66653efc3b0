#include "net/graceful_close.h"

#include <poll.h>

#include <cerrno>
#include <chrono>

#include "net/custom_wsocket.h"
#include "platform/socket_errors.h"

bool DrainAndClose(TCustomWSocket& socket, TDrainLimits limits) {
  if (socket.State() != wsConnected || socket.HSocket() == INVALID_SOCKET) {
    socket.Close();
    return false;
  }
  // The bytes read here are nobody's: no handler may see them as input.
  socket.PauseEvents();
  socket.Shutdown(1);
  using TClock = std::chrono::steady_clock;
  const TClock::time_point deadline = TClock::now() + std::chrono::milliseconds(limits.timeoutMs);
  std::size_t dropped = 0;
  bool peerEnded = false;
  char buffer[4096];
  while (dropped <= limits.maxBytes) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - TClock::now()).count();
    if (left <= 0) break;
    pollfd watch{static_cast<int>(socket.HSocket()), POLLIN, 0};
    const int ready = ::poll(&watch, 1, static_cast<int>(left));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) break;
    const std::int32_t n = socket.Receive(buffer, sizeof buffer);
    if (n == 0) {
      peerEnded = true;
      break;
    }
    if (n < 0) {
      if (socket.LastError() == wsa::kWouldBlock) continue;
      break;  // reset or gone: there is nothing left to protect
    }
    dropped += static_cast<std::size_t>(n);
  }
  socket.Close();
  return peerEnded;
}
