#pragma once
// The socket component: the whole chain of layers, core, SOCKS, line mode and waiting.

#include "net/custom_wsocket.h"
#include "net/line_wsocket.h"
#include "net/resolve.h"
#include "net/socket_error_text.h"
#include "net/socks_wsocket.h"
#include "net/tls_wsocket.h"
#include "net/sync_wsocket.h"
#include "net/wsocket_types.h"

class TWSocket : public TCustomSyncWSocket {
 public:
  TWSocket() = default;
};
