#pragma once
// A POP3 server for tests: a thread with blocking sockets on 127.0.0.1 that accepts one
// connection and plays a script of replies to send and commands to expect. Replies may be
// split across several sends (with pauses, so the client sees several reads) or merged.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class ScriptedPop3Server {
 public:
  struct Step {
    enum Kind { Send, Expect, Pause, Close, AwaitClose, SendSlowly } kind;
    std::string text;
    int number = 0;   // pause in ms; piece size for SendSlowly
    int pauseMs = 0;  // pause between the pieces of SendSlowly
  };

  static Step Send(std::string bytes) { return {Step::Send, std::move(bytes)}; }
  // Sends in pieces of `pieceSize` bytes with `pauseMs` between them.
  static Step SendSlowly(std::string bytes, int pieceSize, int pauseMs) {
    return {Step::SendSlowly, std::move(bytes), pieceSize, pauseMs};
  }
  // Reads one command line and compares it (without its CR LF).
  static Step Expect(std::string line) { return {Step::Expect, std::move(line)}; }
  static Step Pause(int ms) { return {Step::Pause, "", ms}; }
  static Step Close() { return {Step::Close, ""}; }
  // Waits until the client closes its end.
  static Step AwaitClose() { return {Step::AwaitClose, ""}; }

  ScriptedPop3Server();
  ~ScriptedPop3Server();

  std::string Port() const { return std::to_string(port_); }
  // Starts the thread: accept one connection, play the script, close.
  void Play(std::vector<Step> script);
  // Joins the thread; the mismatches and socket errors seen, empty when all went as scripted.
  std::vector<std::string> Finish();
  // True once the script has been played to its end.
  bool Done() const { return done_; }
  // Every command line received, in order.
  std::vector<std::string> Received();

 private:
  void Run(std::vector<Step> script);
  bool ReadLine(int fd, std::string& line);
  void Fail(const std::string& what);

  int listenFd_ = -1;
  std::uint16_t port_ = 0;
  std::thread thread_;
  std::mutex mutex_;
  std::vector<std::string> failures_;
  std::vector<std::string> received_;
  std::string pending_;
  std::atomic<bool> done_{false};
};

// A port on 127.0.0.1 where nothing listens (bound, then closed).
std::string UnusedLoopbackPort();
