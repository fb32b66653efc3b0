#pragma once
// Scripted peers for in-process tests of the proxy window: an upstream POP3 server and a mail
// program, each playing its part on a thread of its own with blocking sockets on 127.0.0.1,
// while the test's main thread turns the proxy's message loop (PumpUntil).
//
// A peer runs a list of steps: send bytes, expect a line, pause, close, or any custom step.
// The first mismatch ends the script; Failure() tells what was expected and what came.
// Everything received is kept byte for byte (Received) and as a readable transcript.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace proxytest {

// One connection of a scripted peer. Every read has a deadline, so no script hangs.
class TPeerIo {
 public:
  TPeerIo(class TScriptedPeer& owner, int fd);
  ~TPeerIo();
  TPeerIo(const TPeerIo&) = delete;
  TPeerIo& operator=(const TPeerIo&) = delete;

  bool SendAll(std::string_view data);
  // One line ended by CR LF, returned without it; nothing on close or time-out.
  std::optional<std::string> ReadLine(int timeoutMs);
  // Exactly n bytes, or nothing on close or time-out.
  std::optional<std::string> ReadBytes(std::size_t n, int timeoutMs);
  // True once the other side has closed (bytes arriving meanwhile are kept).
  bool WaitClosed(int timeoutMs);
  // An orderly close, or a reset when `reset` is set.
  void Close(bool reset = false);
  bool Open() const { return fd_ >= 0; }
  // Closes this connection and goes on with another one (a server's next accepted peer).
  void Reattach(int fd);
  bool PeerClosed() const { return peerClosed_; }

 private:
  bool Fill(int timeoutMs);

  TScriptedPeer& owner_;
  int fd_;
  bool peerClosed_ = false;
  std::string pending_;
};

using TStep = std::function<bool(TPeerIo& io, std::string& failure)>;

class TScriptedPeer {
 public:
  virtual ~TScriptedPeer();
  TScriptedPeer(const TScriptedPeer&) = delete;
  TScriptedPeer& operator=(const TScriptedPeer&) = delete;

  TScriptedPeer& Send(std::string bytes);
  TScriptedPeer& SendLine(std::string line);  // CR LF appended
  TScriptedPeer& Expect(std::string line);    // one line, exactly, without its CR LF
  TScriptedPeer& ExpectPrefix(std::string prefix);
  TScriptedPeer& ExpectBytes(std::string bytes);  // exactly these bytes next
  TScriptedPeer& ExpectClosed();
  TScriptedPeer& Pause(int ms);
  TScriptedPeer& Close();
  TScriptedPeer& Reset();  // close with a connection reset
  TScriptedPeer& Do(TStep step);
  // Waits (on the peer's thread) until the main thread calls Release(n) for this gate.
  TScriptedPeer& Gate(int n);
  void Release(int n);
  // The script waits at gate n right now.
  bool AtGate(int n) const { return atGate_ == n; }

  // Deadline of every read step, 10 s unless set before Start.
  void SetStepTimeout(int ms) { stepTimeoutMs_ = ms; }
  int StepTimeout() const { return stepTimeoutMs_; }

  bool Done() const { return done_; }
  bool Succeeded() const { return done_ && failure_.empty(); }
  std::string Failure() const;
  std::string Received() const;    // every byte received, in order
  std::string Transcript() const;  // "> " for sent, "< " for received lines
  // Waits for the script's end without turning any loop (use PumpUntil while the proxy works).
  bool Join(int timeoutMs);

 protected:
  friend class TPeerIo;
  TScriptedPeer() = default;
  // Ends a running script soon: gates open, the connection is shut down under its feet.
  void Stop();
  void SetActiveFd(int fd);
  void CloseActiveFd(int fd, bool reset);
  void RunScript(int fd);
  void Fail(std::string why);
  void Record(std::string_view bytes, bool sent);
  void Finish();
  std::thread thread_;
  std::vector<TStep> steps_;

 private:
  int stepTimeoutMs_ = 10000;
  std::atomic<bool> done_{false};
  std::atomic<int> atGate_{-1};
  mutable std::mutex mutex_;
  std::string failure_;
  std::string received_;
  std::string transcript_;
  std::string partialIn_, partialOut_;
  std::set<int> released_;
  bool stopping_ = false;
  int activeFd_ = -1;
  std::condition_variable releasedCv_;
};

// Listens on 127.0.0.1 at a free port; the first connection is accepted when the script
// starts, further ones by the step AcceptNext.
class TScriptedServer : public TScriptedPeer {
 public:
  TScriptedServer();
  ~TScriptedServer() override;
  std::uint16_t Port() const { return port_; }
  std::string PortText() const { return std::to_string(port_); }
  TScriptedServer& AcceptNext();
  void Start();
  int Connections() const { return connections_; }

 private:
  int listenFd_ = -1;
  std::uint16_t port_ = 0;
  std::atomic<int> connections_{0};
};

// Connects to 127.0.0.1:port when started (the connect itself does not need the proxy's loop).
class TScriptedClient : public TScriptedPeer {
 public:
  explicit TScriptedClient(std::uint16_t port) : port_(port) {}
  void Start();

 private:
  std::uint16_t port_;
};

// A small POP3 mailbox for a scripted server: the step ServeMailbox answers USER, PASS,
// STAT, LIST, RETR, DELE, NOOP, RSET, UIDL and QUIT until QUIT or the connection's end.
struct TMailbox {
  std::string user = "user";
  std::string password = "secret";
  std::vector<std::string> mails;  // as stored on the server, lines ended by CR LF
  std::string greeting = "+OK fake POP3 server ready <1.2@fake>";
  // The unique id of each mail; without them the server refuses UIDL as an unknown command.
  std::vector<std::string> uids;

  // Misbehaviour, by 1-based message number (0: never).
  int dropDuringRetr = 0;          // close after sending half of this mail
  int refuseDele = 0;              // answer DELE of this mail with -ERR
  int silentDuringRetr = 0;        // stop answering after half of this mail
  int silentDuringListAfter = -1;  // stop answering after this many listing lines
  bool keepOpenAfterQuit = false;  // answer QUIT but never close
  bool silentAfterGreeting = false;

  // Filled while serving (read after the script ended).
  std::vector<std::string> commands;  // every command line received
  std::set<int> deleted;              // marked by DELE
  std::set<int> expunged;             // removed at QUIT
};
TStep ServeMailbox(TMailbox& box);

// A mail's text with every line ended by CR LF, however it was written.
std::string Crlf(std::string_view text);
// What a POP3 server sends for a stored mail: dot-stuffed, then ".\r\n".
std::string DotStuffed(std::string_view mail);

// Turns the application's message loop until the predicate holds or the time is up (1 ms
// pauses in between); returns the predicate's last value.
bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 10000);
// Turns the loop for the given time.
void PumpFor(int ms);

}  // namespace proxytest

class TFormVazireRevivo;
namespace proxytest {
// Makes every window created from now on listen on a free port of its own, and connect its
// upstream sessions to `upstreamPort` (when not 0).
void UseTestPorts(std::uint16_t upstreamPort = 0);
// The port the window's service listens on right now (it changes with every Reset action).
std::uint16_t ServicePort(TFormVazireRevivo& form);
// Whether the log memo holds a line equal to `line`.
bool LogHas(TFormVazireRevivo& form, const std::string& line);
// The log memo's lines joined by "\n", for failure messages.
std::string LogText(TFormVazireRevivo& form);
}  // namespace proxytest
