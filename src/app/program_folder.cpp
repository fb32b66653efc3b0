#include "app/program_folder.h"

#include <unistd.h>

#include <vector>

namespace {
std::string programFolder;
}

const std::string& ProgramFolder() {
  return programFolder;
}

std::string FolderOfProgramFile(const std::string& programFile) {
  auto slash = programFile.rfind('/');
  if (slash == std::string::npos) return "";
  return programFile.substr(0, slash);
}

void InitProgramFolder(const std::string& programFile) {
  programFolder = FolderOfProgramFile(programFile);
}

void InitProgramFolder() {
  // The link's target may be longer than any fixed buffer; grow until it fits.
  std::vector<char> buffer(512);
  for (;;) {
    ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n < 0) return;  // no /proc: the folder stays empty and files are looked up from "/"
    if (static_cast<size_t>(n) < buffer.size()) {
      InitProgramFolder(std::string(buffer.data(), static_cast<size_t>(n)));
      return;
    }
    buffer.resize(buffer.size() * 2);
  }
}

std::string ProgramFile(const std::string& name) {
  return programFolder + "/" + name;
}
