#include "net/corked_reply.h"

#include <netinet/in.h>
#include <netinet/tcp.h>

#include "net/custom_wsocket.h"
#include "platform/async_select.h"

namespace {

// A socket that refuses the option (not a TCP stream) sends as it always does.
void SetCork(int handle, int on) {
  if (handle == INVALID_SOCKET) return;
  SockSetOption(handle, IPPROTO_TCP, TCP_CORK, &on, sizeof on);
}

}  // namespace

TCorkedReply::TCorkedReply(TCustomWSocket& socket) : socket_(socket), handle_(socket.HSocket()) {
  SetCork(handle_, 1);
}

TCorkedReply::~TCorkedReply() {
  // Only the connection it was set on: a handle closed meanwhile (and perhaps reused) is left
  // alone.
  if (socket_.HSocket() == handle_) SetCork(handle_, 0);
}
