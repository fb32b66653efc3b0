#pragma once
// Ending a connection after the last reply so that the peer surely reads that reply. Closing
// a socket while the peer's bytes wait unread in it (or arrive after it is closed) makes the
// system reset the connection instead of ending it, and a reset may throw away what the peer
// has received but not yet read. So writing is shut down first (the peer reads every byte
// sent, then the end), and what the peer still sends is read and dropped until it closes its
// side too; only then is the socket closed.

#include <cstddef>
#include <cstdint>

class TCustomWSocket;

struct TDrainLimits {
  std::uint32_t timeoutMs = 2000;               // a peer that keeps its side open is not waited for
  std::size_t maxBytes = std::size_t{1} << 20;  // nor one that goes on sending
};

// Closes a connected socket as above (a socket that is not connected is only closed). The
// wait blocks the calling thread for at most the time limit; the socket's event handlers do
// not run meanwhile. Returns true when the peer ended its side within the limits.
bool DrainAndClose(TCustomWSocket& socket, TDrainLimits limits = {});
