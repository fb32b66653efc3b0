#pragma once
// The proxy's window for the whole-session fuzz targets, in this process, behind a scripted
// server on 127.0.0.1.

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

#include "../proxy/proxy_test_support.h"
#include "app/program_folder.h"
#include "fuzz_check.h"
#include "proxy/main_form.h"

namespace fuzzwindow {

// Gives this process a folder of its own, /tmp/PREFIX-PID, for the settings file and the
// working files (the download among them), so that parallel fuzzing processes share nothing.
// It is removed when the process ends. Returns the settings file's path (not made here).
inline std::string UseOwnFolder(const std::string& prefix) {
  static std::string folder;
  folder = "/tmp/" + prefix + "-" + std::to_string(::getpid());
  std::filesystem::create_directories(folder);
  InitProgramFolder(folder + "/brindlecap");
  const std::string settings = folder + "/settings.reg";
  ::setenv("BRINDLECAP_REGISTRY", settings.c_str(), 1);
  std::atexit([] {
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
  });
  return settings;
}

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
