#include "proxy_test_support.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <stdexcept>

#include "platform/application.h"
#include "platform/message_loop.h"

namespace proxytest {

namespace {

using Clock = std::chrono::steady_clock;

int MsLeft(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

std::string Printable(std::string_view s) {
  std::string out;
  for (unsigned char c : s) {
    if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c < 32 || c >= 127) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02x", c);
      out += buf;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// TPeerIo

TPeerIo::TPeerIo(TScriptedPeer& owner, int fd) : owner_(owner), fd_(fd) {
  owner_.SetActiveFd(fd);
}

void TPeerIo::Reattach(int fd) {
  Close();
  fd_ = fd;
  peerClosed_ = false;
  pending_.clear();
  owner_.SetActiveFd(fd);
}

TPeerIo::~TPeerIo() {
  Close();
}

bool TPeerIo::SendAll(std::string_view data) {
  if (fd_ < 0) return false;
  std::size_t done = 0;
  while (done < data.size()) {
    ssize_t n = ::send(fd_, data.data() + done, data.size() - done, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  owner_.Record(data, true);
  return true;
}

bool TPeerIo::Fill(int timeoutMs) {
  if (fd_ < 0 || peerClosed_) return false;
  pollfd p{fd_, POLLIN, 0};
  int r = ::poll(&p, 1, timeoutMs);
  if (r <= 0) return false;
  char buf[16384];
  ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
  if (n <= 0) {
    peerClosed_ = true;
    return false;
  }
  pending_.append(buf, static_cast<std::size_t>(n));
  owner_.Record(std::string_view(buf, static_cast<std::size_t>(n)), false);
  return true;
}

std::optional<std::string> TPeerIo::ReadLine(int timeoutMs) {
  auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    auto pos = pending_.find("\r\n");
    if (pos != std::string::npos) {
      std::string line = pending_.substr(0, pos);
      pending_.erase(0, pos + 2);
      return line;
    }
    if (!Fill(MsLeft(deadline))) {
      if (peerClosed_ || MsLeft(deadline) == 0) return std::nullopt;
    }
  }
}

std::optional<std::string> TPeerIo::ReadBytes(std::size_t n, int timeoutMs) {
  auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (pending_.size() < n) {
    if (!Fill(MsLeft(deadline))) {
      if (peerClosed_ || MsLeft(deadline) == 0) return std::nullopt;
    }
  }
  std::string out = pending_.substr(0, n);
  pending_.erase(0, n);
  return out;
}

bool TPeerIo::WaitClosed(int timeoutMs) {
  auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!peerClosed_) {
    if (!Fill(MsLeft(deadline)) && !peerClosed_ && MsLeft(deadline) == 0) return false;
  }
  return true;
}

void TPeerIo::Close(bool reset) {
  if (fd_ < 0) return;
  owner_.CloseActiveFd(fd_, reset);
  fd_ = -1;
}

// ---------------------------------------------------------------------------------------------
// TScriptedPeer

TScriptedPeer::~TScriptedPeer() {
  Stop();
  if (thread_.joinable()) thread_.join();
}

void TScriptedPeer::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    if (activeFd_ >= 0) ::shutdown(activeFd_, SHUT_RDWR);
  }
  releasedCv_.notify_all();
}

void TScriptedPeer::SetActiveFd(int fd) {
  std::lock_guard<std::mutex> lock(mutex_);
  activeFd_ = fd;
  if (stopping_) ::shutdown(fd, SHUT_RDWR);
}

void TScriptedPeer::CloseActiveFd(int fd, bool reset) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (reset) {
    linger l{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
  }
  ::close(fd);
  if (activeFd_ == fd) activeFd_ = -1;
}

TScriptedPeer& TScriptedPeer::Do(TStep step) {
  steps_.push_back(std::move(step));
  return *this;
}

TScriptedPeer& TScriptedPeer::Send(std::string bytes) {
  return Do([bytes](TPeerIo& io, std::string& failure) {
    if (io.SendAll(bytes)) return true;
    failure = "could not send \"" + Printable(bytes) + "\"";
    return false;
  });
}

TScriptedPeer& TScriptedPeer::SendLine(std::string line) {
  return Send(line + "\r\n");
}

TScriptedPeer& TScriptedPeer::Expect(std::string line) {
  return Do([this, line](TPeerIo& io, std::string& failure) {
    auto got = io.ReadLine(stepTimeoutMs_);
    if (got && *got == line) return true;
    failure = "expected line \"" + Printable(line) + "\", got " +
              (got ? "\"" + Printable(*got) + "\""
                   : std::string(io.PeerClosed() ? "the connection's end" : "nothing (time-out)"));
    return false;
  });
}

TScriptedPeer& TScriptedPeer::ExpectPrefix(std::string prefix) {
  return Do([this, prefix](TPeerIo& io, std::string& failure) {
    auto got = io.ReadLine(stepTimeoutMs_);
    if (got && got->compare(0, prefix.size(), prefix) == 0) return true;
    failure = "expected a line beginning \"" + Printable(prefix) + "\", got " +
              (got ? "\"" + Printable(*got) + "\""
                   : std::string(io.PeerClosed() ? "the connection's end" : "nothing (time-out)"));
    return false;
  });
}

TScriptedPeer& TScriptedPeer::ExpectBytes(std::string bytes) {
  return Do([this, bytes](TPeerIo& io, std::string& failure) {
    auto got = io.ReadBytes(bytes.size(), stepTimeoutMs_);
    if (got && *got == bytes) return true;
    failure = "expected bytes \"" + Printable(bytes) + "\", got " +
              (got ? "\"" + Printable(*got) + "\"" : std::string("too few"));
    return false;
  });
}

TScriptedPeer& TScriptedPeer::ExpectClosed() {
  return Do([this](TPeerIo& io, std::string& failure) {
    if (io.WaitClosed(stepTimeoutMs_)) return true;
    failure = "expected the connection's end, it stayed open";
    return false;
  });
}

TScriptedPeer& TScriptedPeer::Pause(int ms) {
  return Do([ms](TPeerIo&, std::string&) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    return true;
  });
}

TScriptedPeer& TScriptedPeer::Close() {
  return Do([](TPeerIo& io, std::string&) {
    io.Close();
    return true;
  });
}

TScriptedPeer& TScriptedPeer::Reset() {
  return Do([](TPeerIo& io, std::string&) {
    io.Close(true);
    return true;
  });
}

TScriptedPeer& TScriptedPeer::Gate(int n) {
  return Do([this, n](TPeerIo&, std::string& failure) {
    std::unique_lock<std::mutex> lock(mutex_);
    atGate_ = n;
    bool released = releasedCv_.wait_for(lock, std::chrono::milliseconds(stepTimeoutMs_),
                                         [&] { return stopping_ || released_.count(n) > 0; });
    atGate_ = -1;
    if (released) return true;
    failure = "gate " + std::to_string(n) + " was never released";
    return false;
  });
}

void TScriptedPeer::Release(int n) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    released_.insert(n);
  }
  releasedCv_.notify_all();
}

void TScriptedPeer::Record(std::string_view bytes, bool sent) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!sent) received_.append(bytes);
  std::string& partial = sent ? partialOut_ : partialIn_;
  partial.append(bytes);
  std::size_t pos;
  while ((pos = partial.find("\r\n")) != std::string::npos) {
    transcript_ += (sent ? "> " : "< ") + Printable(partial.substr(0, pos)) + "\n";
    partial.erase(0, pos + 2);
  }
}

void TScriptedPeer::Fail(std::string why) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (failure_.empty()) failure_ = std::move(why);
}

void TScriptedPeer::Finish() {
  std::lock_guard<std::mutex> lock(mutex_);
  for (std::string* partial : {&partialIn_, &partialOut_}) {
    if (!partial->empty())
      transcript_ +=
          (partial == &partialOut_ ? "> " : "< ") + Printable(*partial) + " (no CR LF)\n";
    partial->clear();
  }
  done_ = true;
}

void TScriptedPeer::RunScript(int fd) {
  auto io = std::make_unique<TPeerIo>(*this, fd);
  for (std::size_t i = 0; i < steps_.size(); ++i) {
    std::string failure;
    bool ok = steps_[i](*io, failure);
    if (!ok) {
      Fail("step " + std::to_string(i + 1) + ": " + failure);
      break;
    }
  }
  io.reset();
  Finish();
}

std::string TScriptedPeer::Failure() const {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!done_) return failure_.empty() ? "script still running" : failure_;
  return failure_;
}

std::string TScriptedPeer::Received() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return received_;
}

std::string TScriptedPeer::Transcript() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return transcript_;
}

bool TScriptedPeer::Join(int timeoutMs) {
  auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!done_ && Clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  if (done_ && thread_.joinable()) thread_.join();
  return done_;
}

// ---------------------------------------------------------------------------------------------
// Server and client

TScriptedServer::TScriptedServer() {
  listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listenFd_ < 0) throw std::runtime_error("socket failed");
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = 0;
  socklen_t len = sizeof a;
  if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
      ::listen(listenFd_, 8) != 0 ||
      ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&a), &len) != 0)
    throw std::runtime_error(std::string("listen failed: ") + std::strerror(errno));
  port_ = ntohs(a.sin_port);
}

TScriptedServer::~TScriptedServer() {
  // Wake an accept that still waits and a read that still waits, then join.
  if (listenFd_ >= 0) ::shutdown(listenFd_, SHUT_RDWR);
  Stop();
  if (thread_.joinable()) thread_.join();
  if (listenFd_ >= 0) ::close(listenFd_);
}

namespace {
int AcceptWithin(int listenFd, int timeoutMs) {
  pollfd p{listenFd, POLLIN, 0};
  if (::poll(&p, 1, timeoutMs) <= 0) return -1;
  return ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
}
}  // namespace

TScriptedServer& TScriptedServer::AcceptNext() {
  Do([this](TPeerIo& io, std::string& failure) {
    int fd = AcceptWithin(listenFd_, StepTimeout());
    if (fd < 0) {
      failure = "no further connection arrived";
      return false;
    }
    ++connections_;
    io.Reattach(fd);
    return true;
  });
  return *this;
}

void TScriptedServer::Start() {
  thread_ = std::thread([this] {
    int fd = AcceptWithin(listenFd_, StepTimeout());
    if (fd < 0) {
      Fail("no connection arrived");
      Finish();
      return;
    }
    ++connections_;
    RunScript(fd);
  });
}

void TScriptedClient::Start() {
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(port_);
  if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    if (fd >= 0) ::close(fd);
    Fail(std::string("could not connect: ") + std::strerror(errno));
    Finish();
    return;
  }
  thread_ = std::thread([this, fd] { RunScript(fd); });
}

// ---------------------------------------------------------------------------------------------
// Mailbox

std::string Crlf(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\r') {
      out += "\r\n";
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else if (c == '\n') {
      out += "\r\n";
    } else {
      out += c;
    }
  }
  if (!out.empty() && (out.size() < 2 || out.compare(out.size() - 2, 2, "\r\n") != 0))
    out += "\r\n";
  return out;
}

std::string DotStuffed(std::string_view mail) {
  std::string out;
  bool lineStart = true;
  for (std::size_t i = 0; i < mail.size(); ++i) {
    if (lineStart && mail[i] == '.') out += '.';
    out += mail[i];
    lineStart = mail[i] == '\n' && i > 0 && mail[i - 1] == '\r';
  }
  if (!out.empty() && out.compare(out.size() - 2, 2, "\r\n") != 0) out += "\r\n";
  out += ".\r\n";
  return out;
}

namespace {

int NumberArg(const std::string& line) {
  auto sp = line.find(' ');
  if (sp == std::string::npos) return 0;
  try {
    return std::stoi(line.substr(sp + 1));
  } catch (...) {
    return -1;
  }
}

bool Silent(TPeerIo& io, int timeoutMs) {
  // Holds the connection without answering until the other side gives up.
  io.WaitClosed(timeoutMs);
  return true;
}

}  // namespace

TStep ServeMailbox(TMailbox& box) {
  return [&box](TPeerIo& io, std::string& failure) {
    if (!io.SendAll(box.greeting + "\r\n")) return true;
    if (box.silentAfterGreeting) return Silent(io, 120000);
    bool userOk = false, loggedIn = false;
    auto live = [&](int n) {
      return n >= 1 && n <= static_cast<int>(box.mails.size()) && !box.deleted.count(n);
    };
    for (;;) {
      auto line = io.ReadLine(120000);
      if (!line) return true;  // the proxy went away
      box.commands.push_back(*line);
      std::string cmd = line->substr(0, line->find(' '));
      for (auto& c : cmd) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      int n = NumberArg(*line);
      std::string reply;
      if (cmd == "USER") {
        userOk = line->size() > 5 && line->substr(5) == box.user;
        reply = "+OK";
      } else if (cmd == "PASS") {
        loggedIn = userOk && line->size() >= 5 && line->substr(5) == box.password;
        reply = loggedIn ? "+OK Logged in." : "-ERR [AUTH] Authentication failed.";
      } else if (cmd == "QUIT") {
        if (loggedIn)
          for (int d : box.deleted) box.expunged.insert(d);
        io.SendAll("+OK Logging out.\r\n");
        if (box.keepOpenAfterQuit) return Silent(io, 120000);
        io.Close();
        return true;
      } else if (!loggedIn) {
        reply = "-ERR Unknown command.";
      } else if (cmd == "STAT" || cmd == "LIST") {
        std::size_t count = 0, total = 0;
        std::string listing;
        for (std::size_t i = 1; i <= box.mails.size(); ++i) {
          if (!live(static_cast<int>(i))) continue;
          ++count;
          total += box.mails[i - 1].size();
          listing += std::to_string(i) + " " + std::to_string(box.mails[i - 1].size()) + "\r\n";
        }
        if (cmd == "STAT") {
          reply = "+OK " + std::to_string(count) + " " + std::to_string(total);
        } else if (n > 0) {
          reply = live(n) ? "+OK " + std::to_string(n) + " " +
                                std::to_string(box.mails[static_cast<std::size_t>(n) - 1].size())
                          : "-ERR There's no message " + std::to_string(n) + ".";
        } else if (box.silentDuringListAfter >= 0) {
          std::string head = "+OK " + std::to_string(count) + " messages:\r\n";
          std::size_t cut = 0;
          for (int k = 0; k < box.silentDuringListAfter; ++k) {
            auto e = listing.find("\r\n", cut);
            if (e == std::string::npos) break;
            cut = e + 2;
          }
          io.SendAll(head + listing.substr(0, cut));
          return Silent(io, 120000);
        } else {
          io.SendAll("+OK " + std::to_string(count) + " messages:\r\n" + listing + ".\r\n");
          continue;
        }
      } else if (cmd == "RETR") {
        if (!live(n)) {
          reply = "-ERR There's no message " + std::to_string(n) + ".";
        } else {
          const std::string& mail = box.mails[static_cast<std::size_t>(n) - 1];
          std::string body =
              "+OK " + std::to_string(mail.size()) + " octets\r\n" + DotStuffed(mail);
          if (n == box.dropDuringRetr) {
            io.SendAll(body.substr(0, body.size() / 2));
            io.Close();
            return true;
          }
          if (n == box.silentDuringRetr) {
            io.SendAll(body.substr(0, body.size() / 2));
            return Silent(io, 120000);
          }
          io.SendAll(body);
          continue;
        }
      } else if (cmd == "DELE") {
        if (n == box.refuseDele) {
          reply = "-ERR Message " + std::to_string(n) + " is locked.";
        } else if (live(n)) {
          box.deleted.insert(n);
          reply = "+OK Marked to be deleted.";
        } else {
          reply = "-ERR There's no message " + std::to_string(n) + ".";
        }
      } else if (cmd == "UIDL" && !box.uids.empty()) {
        auto uid = [&](int i) {
          return std::to_string(i) + " " + box.uids[static_cast<std::size_t>(i) - 1];
        };
        if (n > 0) {
          reply = live(n) ? "+OK " + uid(n) : "-ERR There's no message " + std::to_string(n) + ".";
        } else {
          std::string listing = "+OK\r\n";
          for (int i = 1; i <= static_cast<int>(box.mails.size()); ++i) {
            if (live(i)) listing += uid(i) + "\r\n";
          }
          io.SendAll(listing + ".\r\n");
          continue;
        }
      } else if (cmd == "NOOP") {
        reply = "+OK";
      } else if (cmd == "RSET") {
        box.deleted.clear();
        reply = "+OK";
      } else {
        reply = "-ERR Unknown command: " + cmd;
      }
      if (!io.SendAll(reply + "\r\n")) {
        failure = "the connection broke while answering " + cmd;
        return false;
      }
    }
  };
}

// ---------------------------------------------------------------------------------------------
// Loop

bool PumpUntil(const std::function<bool()>& done, int timeoutMs) {
  auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    Application->ProcessMessages();
    if (done()) return true;
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

void PumpFor(int ms) {
  PumpUntil([] { return false; }, ms);
}

}  // namespace proxytest

// ---------------------------------------------------------------------------------------------
// The window under test

#include <cstdlib>

#include "proxy/main_form.h"

namespace proxytest {

void UseTestPorts(std::uint16_t upstreamPort) {
  ::setenv("BRINDLECAP_LISTEN_PORT", "0", 1);
  if (upstreamPort != 0)
    ::setenv("BRINDLECAP_UPSTREAM_PORT", std::to_string(upstreamPort).c_str(), 1);
}

std::uint16_t ServicePort(TFormVazireRevivo& form) {
  std::string port = form.WSocket1->LocalBoundPort();
  if (port.empty() || port == "error") return 0;
  return static_cast<std::uint16_t>(std::stoi(port));
}

bool LogHas(TFormVazireRevivo& form, const std::string& line) {
  const auto& lines = form.Memo_LOG->Lines();
  for (int i = 0; i < lines.Count(); ++i)
    if (lines[i] == line) return true;
  return false;
}

std::string LogText(TFormVazireRevivo& form) {
  std::string out;
  const auto& lines = form.Memo_LOG->Lines();
  for (int i = 0; i < lines.Count(); ++i) out += lines[i] + "\n";
  return out;
}

}  // namespace proxytest
