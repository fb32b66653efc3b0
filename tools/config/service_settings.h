#pragma once
// The service's own switch beside the attachment policy: whether it listens again at once
// after a mail program dropped its connection without QUIT (ListenAfterDrop).

#include <string>

inline constexpr const char* kListenAfterDropName = "ListenAfterDrop";

// As the proxy reads it: on only when the value reads as the number 1. EConfigError when the
// store file cannot be parsed.
bool ReadListenAfterDrop(const std::string& registryPath);

// Stores 1 or 0 as a number.
void WriteListenAfterDrop(const std::string& registryPath, bool on);

// One line for the user that says what the proxy will do.
std::string DescribeListenAfterDrop(bool on);
