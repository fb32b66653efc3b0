#pragma once
// The proxy's window for the whole-session fuzz targets, in this process, behind a scripted
// server on 127.0.0.1.

#include <cstdint>
#include <memory>

#include "../proxy/proxy_test_support.h"
#include "fuzz_check.h"
#include "proxy/main_form.h"

namespace fuzzwindow {

// Starts the server's script, opens a window whose upstream sessions go to that server, and
// tells the port its service listens on.
inline std::unique_ptr<TFormVazireRevivo> WindowBehind(proxytest::TScriptedServer& upstream,
                                                       std::uint16_t& servicePort) {
  upstream.Start();
  proxytest::UseTestPorts(upstream.Port());
  auto form = std::make_unique<TFormVazireRevivo>();
  servicePort = proxytest::ServicePort(*form);
  FUZZ_CHECK(servicePort != 0, "the service does not listen");
  return form;
}

}  // namespace fuzzwindow
