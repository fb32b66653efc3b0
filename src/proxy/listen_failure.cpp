#include "proxy/listen_failure.h"

#include "net/socket_error_text.h"
#include "platform/socket_errors.h"
#include "proxy/service_ports.h"

std::string ListenFailureLine(const std::string& port, int errorNumber, bool portFromEnvironment) {
  std::string line = "***Cannot listen on port " + port;
  if (errorNumber != wsa::kNoError)
    line += ": " + SocketErrorText(errorNumber) + " (error " + std::to_string(errorNumber) + ")";
  line += ".";
  if (errorNumber == wsa::kAccessDenied)
    line += " Ports below 1024 need privileges.";
  else if (errorNumber == wsa::kAddressInUse)
    line += " Another program listens there.";
  const std::string other = port == "1111" ? "1112" : "1111";
  if (portFromEnvironment) {
    line += std::string(" Choose another port in ") + kListenPortVariable + " (e.g. " + other +
            ") and start the program again.";
  } else {
    line += " Choose another port with \"brindlecap-config port listen " + other +
            "\" (1024 to 65535), then press Reset or send SIGUSR1.";
  }
  return line;
}
