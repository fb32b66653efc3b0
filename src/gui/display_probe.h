#pragma once
// Whether a window can be opened at all. Qt ends the process when it cannot reach the display
// it is told to use, so the program asks first and runs headless instead.

#include <functional>
#include <string>

// `getenv` is replaceable for tests. True when QT_QPA_PLATFORM names a platform that needs no
// display server, or when the Wayland or X display named in the environment accepts a
// connection (a remote X display is taken on trust).
bool DisplayAvailable(const std::function<const char*(const char*)>& getenv);
bool DisplayAvailable();

// The local X socket of a DISPLAY value (":0", "unix:1.0"), or "" when it names another host.
std::string LocalXSocketPath(const std::string& display);
