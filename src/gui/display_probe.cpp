#include "gui/display_probe.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>

namespace {

bool CanConnect(const std::string& path, bool abstract) {
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  const size_t offset = abstract ? 1 : 0;
  if (path.size() + offset >= sizeof addr.sun_path) return false;
  std::memcpy(addr.sun_path + offset, path.data(), path.size());
  const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + offset +
                                             path.size() + (abstract ? 0 : 1));
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  bool ok = connect(fd, reinterpret_cast<sockaddr*>(&addr), length) == 0;
  close(fd);
  return ok;
}

}  // namespace

std::string LocalXSocketPath(const std::string& display) {
  size_t colon = display.rfind(':');
  if (colon == std::string::npos) return "";
  std::string host = display.substr(0, colon);
  if (!host.empty() && host != "unix") return "";
  std::string number = display.substr(colon + 1);
  number = number.substr(0, number.find('.'));
  if (number.empty() || number.find_first_not_of("0123456789") != std::string::npos) return "";
  return "/tmp/.X11-unix/X" + number;
}

bool DisplayAvailable(const std::function<const char*(const char*)>& getenv) {
  auto env = [&](const char* name) {
    const char* v = getenv(name);
    return std::string(v ? v : "");
  };
  auto waylandUp = [&] {
    std::string name = env("WAYLAND_DISPLAY");
    if (name.empty()) return false;
    if (name[0] != '/') {
      std::string runtime = env("XDG_RUNTIME_DIR");
      if (runtime.empty()) return false;
      name = runtime + "/" + name;
    }
    return CanConnect(name, false);
  };
  auto xUp = [&] {
    std::string display = env("DISPLAY");
    if (display.empty()) return false;
    std::string path = LocalXSocketPath(display);
    if (path.empty()) return display.find(':') != std::string::npos;  // another host
    return CanConnect(path, false) || CanConnect(path, true);
  };

  std::string platform = env("QT_QPA_PLATFORM");
  if (!platform.empty()) {
    // "xcb", "wayland", or a list to try in turn ("wayland;xcb").
    bool any = false;
    size_t start = 0;
    while (start <= platform.size()) {
      size_t end = platform.find(';', start);
      std::string one =
          platform.substr(start, end == std::string::npos ? std::string::npos : end - start);
      if (one.starts_with("xcb")) {
        any = any || xUp();
      } else if (one.starts_with("wayland")) {
        any = any || waylandUp();
      } else if (!one.empty()) {
        return true;  // offscreen, minimal, vnc and the like need no display server
      }
      if (end == std::string::npos) break;
      start = end + 1;
    }
    return any;
  }
  return waylandUp() || xUp();
}

bool DisplayAvailable() {
  return DisplayAvailable([](const char* name) { return std::getenv(name); });
}
