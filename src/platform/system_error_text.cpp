#include "platform/system_error_text.h"

#include <cstring>

std::string SystemErrorText(std::string_view what, std::string_view path, int error) {
  std::string text(what);
  text += ' ';
  text += path;
  text += ": ";
  text += std::strerror(error);
  return text;
}
