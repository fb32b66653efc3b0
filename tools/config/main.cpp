// brindlecap-config: changes the proxy's settings and texts from the command line.

#include <iostream>
#include <string>
#include <vector>

#include "config/command_line.h"
#include "config/program_texts.h"
#include "platform/registry_file.h"

#ifdef BRINDLECAP_HAVE_CONFIG_WINDOW
#include "config/window/config_window.h"
#endif

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  const TConfigPlaces places = CurrentConfigPlaces();
#ifdef BRINDLECAP_HAVE_CONFIG_WINDOW
  // Without arguments on a desktop (as the proxy's Config button starts it): the window.
  if (args.empty()) {
    if (std::optional<int> status = RunConfigWindow(argc, argv, places)) return *status;
  }
#endif
  int status = RunConfigCommand(args, places, std::cin, std::cout, std::cerr);
  std::cout.flush();
  // Output that could not be written (a full disk behind export's redirection) is a failure.
  if (!std::cout && status == 0) {
    std::cerr << "brindlecap-config: cannot write to standard output\n";
    return 1;
  }
  return status;
}
