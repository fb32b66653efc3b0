#include "gui/display_probe.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

std::function<const char*(const char*)> Env(std::map<std::string, std::string> vars) {
  return [vars = std::move(vars)](const char* name) -> const char* {
    auto it = vars.find(name);
    return it == vars.end() ? nullptr : it->second.c_str();
  };
}

}  // namespace

TEST(DisplayProbeTest, LocalXSocketOfDisplayNames) {
  EXPECT_EQ(LocalXSocketPath(":0"), "/tmp/.X11-unix/X0");
  EXPECT_EQ(LocalXSocketPath(":12.0"), "/tmp/.X11-unix/X12");
  EXPECT_EQ(LocalXSocketPath("unix:3"), "/tmp/.X11-unix/X3");
  EXPECT_EQ(LocalXSocketPath("otherhost:0"), "");
  EXPECT_EQ(LocalXSocketPath(":x"), "");
  EXPECT_EQ(LocalXSocketPath("garbage"), "");
}

TEST(DisplayProbeTest, NoDisplayMeansHeadless) {
  EXPECT_FALSE(DisplayAvailable(Env({})));
  // A display nobody serves: Qt would end the process, so the probe must say no.
  EXPECT_FALSE(DisplayAvailable(Env({{"DISPLAY", ":987"}})));
  EXPECT_FALSE(DisplayAvailable(
      Env({{"WAYLAND_DISPLAY", "wayland-987"}, {"XDG_RUNTIME_DIR", "/nonexistent-runtime"}})));
  EXPECT_FALSE(DisplayAvailable(Env({{"QT_QPA_PLATFORM", "xcb"}, {"DISPLAY", ":987"}})));
}

TEST(DisplayProbeTest, PlatformsWithoutDisplayServerAreAlwaysThere) {
  EXPECT_TRUE(DisplayAvailable(Env({{"QT_QPA_PLATFORM", "offscreen"}})));
  EXPECT_TRUE(DisplayAvailable(Env({{"QT_QPA_PLATFORM", "xcb;offscreen"}, {"DISPLAY", ":987"}})));
  // A remote X display cannot be probed without going there; it is taken on trust.
  EXPECT_TRUE(DisplayAvailable(Env({{"DISPLAY", "remotehost:0"}})));
}
