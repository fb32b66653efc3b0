#pragma once
// The one form of every failed file operation's text: what was tried, on which path, and the
// system's reason ("cannot write /a/b: No space left on device").

#include <string>
#include <string_view>

std::string SystemErrorText(std::string_view what, std::string_view path, int error);
