#pragma once
// A peer on its own thread that follows a script: read an exact number of bytes, send bytes,
// close or reset. What it read is kept for the test to inspect.

#include <cstdint>
#include <string>
#include <thread>
#include <vector>

namespace nettest {

class TScriptedPeer {
 public:
  struct TStep {
    enum Kind { kRead, kWrite, kClose, kReset, kReadToEnd } kind;
    std::string bytes;      // Write: what to send
    std::size_t count = 0;  // Read: how many bytes
  };

  TScriptedPeer();
  ~TScriptedPeer();

  std::uint16_t Port() const { return port_; }
  TScriptedPeer& Read(std::size_t n);
  TScriptedPeer& Write(const std::string& bytes);
  TScriptedPeer& Close();
  TScriptedPeer& Reset();
  TScriptedPeer& ReadToEnd();
  // Starts serving one connection with the steps given so far.
  void Start();
  // Waits for the script to end; returns every byte read, in order.
  std::string Finish();

 private:
  int listenFd_ = -1;
  std::uint16_t port_ = 0;
  std::vector<TStep> steps_;
  std::string received_;
  std::thread thread_;
};

std::string Bytes(std::initializer_list<int> values);

}  // namespace nettest
