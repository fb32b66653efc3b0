#pragma once
// Records the events of a socket as short texts, in the order they fire.

#include <string>
#include <vector>

#include "net/wsocket.h"

namespace nettest {

struct TEventLog {
  std::vector<std::string> events;

  void Attach(TWSocket& s) {
    s.OnChangeState = [this](TCustomWSocket*, TSocketState o, TSocketState n) {
      events.push_back("state " + std::to_string(o) + ">" + std::to_string(n));
    };
    s.OnSessionConnected = [this](TCustomWSocket*, std::uint16_t e) {
      events.push_back("connected " + std::to_string(e));
    };
    s.OnSessionClosed = [this](TCustomWSocket*, std::uint16_t e) {
      events.push_back("closed " + std::to_string(e));
    };
    s.OnDataSent = [this](TCustomWSocket*, std::uint16_t e) {
      events.push_back("sent " + std::to_string(e));
    };
    s.OnSessionAvailable = [this](TCustomWSocket*, std::uint16_t e) {
      events.push_back("available " + std::to_string(e));
    };
  }
  int Count(const std::string& e) const {
    int n = 0;
    for (const auto& x : events) n += x == e;
    return n;
  }
  bool Has(const std::string& e) const { return Count(e) > 0; }
  std::string Joined() const {
    std::string out;
    for (const auto& x : events) out += (out.empty() ? "" : ", ") + x;
    return out;
  }
};

}  // namespace nettest
