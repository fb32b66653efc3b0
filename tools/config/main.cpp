// brindlecap-config: changes the proxy's settings and texts from the command line.

#include <iostream>
#include <string>
#include <vector>

#include "config/command_line.h"
#include "config/program_texts.h"
#include "platform/registry_file.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  TConfigPlaces places{RegistryFilePath(), CurrentProgramFolder()};
  int status = RunConfigCommand(args, places, std::cin, std::cout, std::cerr);
  std::cout.flush();
  // Output that could not be written (a full disk behind export's redirection) is a failure.
  if (!std::cout && status == 0) {
    std::cerr << "brindlecap-config: cannot write to standard output\n";
    return 1;
  }
  return status;
}
