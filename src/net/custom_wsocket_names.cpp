// Addresses and ports of both ends of the session.
#include <arpa/inet.h>

#include "net/custom_wsocket.h"
#include "net/resolve.h"

std::string TCustomWSocket::PeerAddr() {
  if (state_ != wsConnected) return "error";
  TSockAddrIn peer{};
  std::size_t len = sizeof peer;
  if (SockGetPeerName(hSocket_, &peer, &len) != 0) {
    ReportSocketError("GetPeerName");
    return "error";
  }
  return DottedAddress(peer.sin_addr);
}

std::string TCustomWSocket::PeerPort() {
  if (state_ != wsConnected) return "error";
  TSockAddrIn peer{};
  std::size_t len = sizeof peer;
  if (SockGetPeerName(hSocket_, &peer, &len) != 0) {
    ReportSocketError("GetPeerPort");
    return "error";
  }
  return std::to_string(ntohs(peer.sin_port));
}

std::int32_t TCustomWSocket::ReadPeerName(TSockAddrIn& name, std::int32_t& nameLen) {
  if (state_ != wsConnected) return -1;
  std::size_t len = nameLen < 0 ? 0 : static_cast<std::size_t>(nameLen);
  if (len > sizeof name) len = sizeof name;
  int rc = SockGetPeerName(hSocket_, &name, &len);
  nameLen = static_cast<std::int32_t>(len);
  return rc;
}

std::int32_t TCustomWSocket::GetLocalName(TSockAddrIn& name, std::int32_t& nameLen) {
  std::size_t len = nameLen < 0 ? 0 : static_cast<std::size_t>(nameLen);
  if (len > sizeof name) len = sizeof name;
  int rc = SockGetName(hSocket_, &name, &len);
  nameLen = static_cast<std::int32_t>(len);
  return rc;
}

std::string TCustomWSocket::LocalBoundAddr() {
  if (state_ != wsBound && state_ != wsConnected && state_ != wsListening) return "error";
  TSockAddrIn local{};
  std::int32_t len = sizeof local;
  if (GetLocalName(local, len) != 0) return "error";
  return DottedAddress(local.sin_addr);
}

std::string TCustomWSocket::LocalBoundPort() {
  if (state_ != wsBound && state_ != wsConnected && state_ != wsListening) return "error";
  TSockAddrIn local{};
  std::int32_t len = sizeof local;
  if (GetLocalName(local, len) != 0) return "error";
  return std::to_string(ntohs(local.sin_port));
}
