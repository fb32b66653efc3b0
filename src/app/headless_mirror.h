#pragma once
// Without a display the window's two memos are mirrored to standard output: every line of the
// log as it is, every line of the results with a prefix, each line flushed at once so that a
// watching script sees it immediately.

#include <cstdio>

#include "platform/component.h"

class TMemo;

inline constexpr char ResultLinePrefix[] = "RESULT: ";

// Whether the environment asks for headless mode: BRINDLECAP_HEADLESS set to a value other
// than "" and "0".
bool HeadlessRequested();

class THeadlessMirror : public TFormObserver {
 public:
  // Writes the lines both memos already hold, then every line added later.
  THeadlessMirror(TComponent& root, const TMemo* log, const TMemo* results,
                  std::FILE* out = stdout);
  ~THeadlessMirror() override;
  THeadlessMirror(const THeadlessMirror&) = delete;
  THeadlessMirror& operator=(const THeadlessMirror&) = delete;

  void ComponentChanged(TComponent& component, TChange change) override;

 private:
  void Write(const TMemo* memo, int index);

  TComponent& root_;
  const TMemo* log_;
  const TMemo* results_;
  std::FILE* out_;
};
