#include "platform/host_lookup.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

#include "platform/socket_errors.h"

namespace {

constexpr std::size_t kMaxAddresses = 256;

// Resolves a name to its IPv4 addresses; returns the socket error number.
int ResolveName(const std::string& name, THostEntry& entry) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_CANONNAME;
  addrinfo* list = nullptr;
  int rc = getaddrinfo(name.c_str(), nullptr, &hints, &list);
  if (rc != 0) return wsa::FromResolverCode(rc, errno);
  entry = THostEntry{};
  if (list && list->ai_canonname) entry.officialName = list->ai_canonname;
  for (addrinfo* ai = list; ai && entry.addresses.size() < kMaxAddresses; ai = ai->ai_next) {
    if (ai->ai_family != AF_INET) continue;
    auto* sin = reinterpret_cast<sockaddr_in*>(ai->ai_addr);
    entry.addresses.push_back(sin->sin_addr.s_addr);
  }
  freeaddrinfo(list);
  if (entry.addresses.empty()) return wsa::kNoData;
  if (entry.officialName.empty()) entry.officialName = name;
  return 0;
}

int ResolveAddress(std::uint32_t address, THostEntry& entry) {
  sockaddr_in sin{};
  sin.sin_family = AF_INET;
  sin.sin_addr.s_addr = address;
  char host[NI_MAXHOST];
  int rc = getnameinfo(reinterpret_cast<sockaddr*>(&sin), sizeof sin, host, sizeof host, nullptr, 0,
                       NI_NAMEREQD);
  if (rc != 0) return wsa::FromResolverCode(rc, errno);
  entry = THostEntry{};
  entry.officialName = host;
  entry.addresses.push_back(address);
  return 0;
}

struct TRequest {
  TLookupHandle handle;
  TNotifyTarget target;
  unsigned msg;
  bool reverse;
  std::string name;
  std::uint32_t address;
};

struct TAnswer {
  bool done = false;
  int error = 0;
  THostEntry entry;
};

// One worker thread serves the requests in order. Requests and answers are shared with it
// under one mutex; a cancelled request is simply erased, so its answer has nowhere to go.
class TLookupWorker {
 public:
  ~TLookupWorker() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
  }

  TLookupHandle Start(TRequest request) {
    std::lock_guard lock(mutex_);
    if (++nextHandle_ <= 0) nextHandle_ = 1;
    request.handle = nextHandle_;
    answers_[request.handle] = TAnswer{};
    queue_.push_back(std::move(request));
    if (!thread_.joinable()) thread_ = std::thread([this] { Work(); });
    wake_.notify_one();
    return nextHandle_;
  }

  bool Cancel(TLookupHandle handle) {
    std::lock_guard lock(mutex_);
    return answers_.erase(handle) > 0;
  }

  bool Take(TLookupHandle handle, THostEntry& entry) {
    std::lock_guard lock(mutex_);
    auto it = answers_.find(handle);
    if (it == answers_.end() || !it->second.done) return false;
    bool ok = it->second.error == 0;
    if (ok) entry = std::move(it->second.entry);
    answers_.erase(it);
    return ok;
  }

 private:
  void Work() {
    std::unique_lock lock(mutex_);
    for (;;) {
      wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
      if (stopping_) return;
      TRequest request = std::move(queue_.front());
      queue_.pop_front();
      if (!answers_.count(request.handle)) continue;  // cancelled before it started
      lock.unlock();
      TAnswer answer;
      answer.error = request.reverse ? ResolveAddress(request.address, answer.entry)
                                     : ResolveName(request.name, answer.entry);
      answer.done = true;
      lock.lock();
      auto it = answers_.find(request.handle);
      if (it == answers_.end()) continue;  // cancelled meanwhile: the answer is dropped
      int error = answer.error;
      it->second = std::move(answer);
      // A target released meanwhile drops the message; the answer is then never taken, so
      // forget it here.
      if (!PostMessage(request.target, request.msg, static_cast<WPARAM>(request.handle),
                       static_cast<LPARAM>(static_cast<std::uint32_t>(error & 0xffff) << 16)))
        answers_.erase(request.handle);
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<TRequest> queue_;
  std::map<TLookupHandle, TAnswer> answers_;
  TLookupHandle nextHandle_ = 0;
  bool stopping_ = false;
  std::thread thread_;
};

TLookupWorker& Worker() {
  static TLookupWorker worker;
  return worker;
}

}  // namespace

TLookupHandle AsyncGetHostByName(TNotifyTarget target, unsigned msg, const std::string& name) {
  return Worker().Start(TRequest{0, target, msg, false, name, 0});
}

TLookupHandle AsyncGetHostByAddr(TNotifyTarget target, unsigned msg, std::uint32_t address) {
  return Worker().Start(TRequest{0, target, msg, true, std::string(), address});
}

bool CancelAsyncRequest(TLookupHandle handle) {
  if (Worker().Cancel(handle)) return true;
  wsa::SetLastError(wsa::kInvalidArgument);
  return false;
}

bool TakeLookupResult(TLookupHandle handle, THostEntry& entry) {
  return Worker().Take(handle, entry);
}

bool GetHostByName(const std::string& name, THostEntry& entry) {
  int error = ResolveName(name, entry);
  if (error != 0) wsa::SetLastError(error);
  return error == 0;
}

bool GetServicePort(const std::string& service, const std::string& proto, std::uint16_t& port) {
  servent result{};
  servent* found = nullptr;
  char buffer[1024];
  getservbyname_r(service.c_str(), proto.c_str(), &result, buffer, sizeof buffer, &found);
  if (!found) {
    wsa::SetLastError(wsa::kNoData);
    return false;
  }
  port = ntohs(static_cast<std::uint16_t>(found->s_port));
  return true;
}

bool GetProtocolNumber(const std::string& name, int& number) {
  protoent result{};
  protoent* found = nullptr;
  char buffer[1024];
  getprotobyname_r(name.c_str(), &result, buffer, sizeof buffer, &found);
  if (!found) {
    wsa::SetLastError(wsa::kNoData);
    return false;
  }
  number = found->p_proto;
  return true;
}
