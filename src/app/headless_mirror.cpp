#include "app/headless_mirror.h"

#include <cstdlib>
#include <string>

#include "platform/memo.h"

bool HeadlessRequested() {
  const char* value = std::getenv("BRINDLECAP_HEADLESS");
  return value && *value && std::string(value) != "0";
}

THeadlessMirror::THeadlessMirror(TComponent& root, const TMemo* log, const TMemo* results,
                                 std::FILE* out)
    : root_(root), log_(log), results_(results), out_(out) {
  for (const TMemo* memo : {log_, results_}) {
    if (!memo) continue;
    for (int i = 0; i < memo->Lines().Count(); ++i) Write(memo, i);
  }
  root_.AddObserver(this);
}

THeadlessMirror::~THeadlessMirror() {
  root_.RemoveObserver(this);
}

void THeadlessMirror::ComponentChanged(TComponent& component, TChange change) {
  if (change == TChange::Destroying) {
    // A memo going away must not be looked at again.
    if (&component == log_) log_ = nullptr;
    if (&component == results_) results_ = nullptr;
    return;
  }
  if (change != TChange::LineAdded) return;
  const TMemo* memo = nullptr;
  if (&component == log_) memo = log_;
  if (&component == results_) memo = results_;
  if (memo) Write(memo, memo->Lines().Count() - 1);
}

void THeadlessMirror::Write(const TMemo* memo, int index) {
  std::string line = memo == results_ ? ResultLinePrefix : "";
  line += memo->Lines()[index];
  line += '\n';
  std::fwrite(line.data(), 1, line.size(), out_);
  std::fflush(out_);
}
