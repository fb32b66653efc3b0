// RETR throughput: one 100 MiB message of 76-character lines, and 10,000 small messages, from
// a loopback server that answers at once. The same bytes read with plain blocking recv give
// the ceiling to compare with.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "pop3/sync_pop3_client.h"

namespace {

constexpr std::size_t kLargeBytes = 100u << 20;
constexpr int kSmallCount = 10000;

// Bytes per second of each run, for the ratios printed at the end.
double clientLargeRate = 0;
double plainLargeRate = 0;
double clientSmallRate = 0;
double plainSmallRate = 0;

double Rate(const benchmark::State& state, std::size_t replyBytes, int retrievals, double seconds) {
  return seconds > 0 ? double(state.iterations()) * double(replyBytes) * retrievals / seconds : 0;
}

std::string BuildMessage(std::size_t approxBytes, int seed) {
  std::string body = "Subject: benchmark " + std::to_string(seed) + "\r\n\r\n";
  std::string line(76, 'x');
  int n = 0;
  while (body.size() < approxBytes) {
    for (int i = 0; i < 76; ++i) line[std::size_t(i)] = char('A' + (n + i) % 26);
    if (n % 50 == 0) line[0] = '.';  // some lines need stuffing
    body += line[0] == '.' ? "." + line : line;
    body += "\r\n";
    ++n;
  }
  return body;
}

std::string Reply(const std::string& message) {
  return "+OK\r\n" + message + ".\r\n";
}

const std::string& LargeReply() {
  static const std::string reply = Reply(BuildMessage(kLargeBytes, 0));
  return reply;
}
const std::string& SmallReply() {
  static const std::string reply = Reply(BuildMessage(1500, 1));
  return reply;
}

int Listener(std::uint16_t& port) {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  socklen_t len = sizeof a;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  port = ntohs(a.sin_port);
  ::listen(fd, 1);
  return fd;
}

void SendAll(int fd, const std::string& data) {
  const char* p = data.data();
  std::size_t left = data.size();
  while (left > 0) {
    ssize_t n = ::send(fd, p, left, MSG_NOSIGNAL);
    if (n <= 0) return;
    p += n;
    left -= std::size_t(n);
  }
}

// Accepts one client and answers every command line at once: RETR with `reply`, everything
// else with "+OK"; QUIT closes. With `greet` false it only sends on RETR (for plain recv).
void Serve(int listenFd, const std::string& reply, bool greet) {
  int fd = ::accept(listenFd, nullptr, nullptr);
  if (greet) SendAll(fd, "+OK bench server\r\n");
  std::string pending;
  char buffer[4096];
  for (;;) {
    std::size_t end;
    while ((end = pending.find("\r\n")) != std::string::npos) {
      std::string line = pending.substr(0, end);
      pending.erase(0, end + 2);
      if (line.rfind("RETR", 0) == 0) {
        SendAll(fd, reply);
      } else if (line == "QUIT") {
        SendAll(fd, "+OK bye\r\n");
        ::close(fd);
        return;
      } else {
        SendAll(fd, "+OK\r\n");
      }
    }
    ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    pending.append(buffer, std::size_t(n));
  }
  ::close(fd);
}

// Runs `retrievals` RETRs through the client; the session set-up is not timed.
double ClientRetr(benchmark::State& state, const std::string& reply, int retrievals) {
  double seconds = 0;
  for (auto _ : state) {
    state.PauseTiming();
    std::uint16_t port = 0;
    int listenFd = Listener(port);
    std::thread server(Serve, listenFd, std::cref(reply), true);
    std::size_t lines = 0;
    {
      TSyncPop3Cli client;
      client.SetTimeout(30);
      client.SetHost("127.0.0.1");
      client.SetPort(std::to_string(port));
      client.SetUserName("bench");
      client.SetPassWord("bench");
      client.OnMessageLine = [&lines](TCustomPop3Cli*) { ++lines; };
      if (!client.OpenSync()) state.SkipWithError("login failed");
      client.Socket()->SetSendBlockSize(32768);
      state.ResumeTiming();
      const auto start = std::chrono::steady_clock::now();
      for (int i = 1; i <= retrievals; ++i) {
        client.SetMsgNum(i);
        if (!client.RetrSync()) {
          state.SkipWithError("RETR failed");
          break;
        }
      }
      seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      state.PauseTiming();
      client.QuitSync();
    }
    server.join();
    ::close(listenFd);
    benchmark::DoNotOptimize(lines);
    state.ResumeTiming();
  }
  state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(reply.size()) *
                          retrievals);
  state.SetItemsProcessed(std::int64_t(state.iterations()) * retrievals);
  return Rate(state, reply.size(), retrievals, seconds);
}

// The same exchange with plain blocking sockets: send the command, recv until the reply's
// bytes are all in.
double PlainRecv(benchmark::State& state, const std::string& reply, int retrievals) {
  std::vector<char> buffer(65536);
  double seconds = 0;
  for (auto _ : state) {
    state.PauseTiming();
    std::uint16_t port = 0;
    int listenFd = Listener(port);
    std::thread server(Serve, listenFd, std::cref(reply), false);
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(port);
    ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    state.ResumeTiming();
    const auto start = std::chrono::steady_clock::now();
    for (int i = 1; i <= retrievals; ++i) {
      SendAll(fd, "RETR " + std::to_string(i) + "\r\n");
      std::size_t got = 0;
      while (got < reply.size()) {
        ssize_t n = ::recv(fd, buffer.data(), buffer.size(), 0);
        if (n <= 0) break;
        got += std::size_t(n);
      }
    }
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.PauseTiming();
    SendAll(fd, "QUIT\r\n");
    ::recv(fd, buffer.data(), buffer.size(), 0);
    ::close(fd);
    server.join();
    ::close(listenFd);
    state.ResumeTiming();
  }
  state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(reply.size()) *
                          retrievals);
  state.SetItemsProcessed(std::int64_t(state.iterations()) * retrievals);
  return Rate(state, reply.size(), retrievals, seconds);
}

void BM_RetrLargeMessage(benchmark::State& state) {
  clientLargeRate = ClientRetr(state, LargeReply(), 1);
}
void BM_RecvLargeMessagePlain(benchmark::State& state) {
  plainLargeRate = PlainRecv(state, LargeReply(), 1);
}
void BM_RetrSmallMessages(benchmark::State& state) {
  clientSmallRate = ClientRetr(state, SmallReply(), kSmallCount);
}
void BM_RecvSmallMessagesPlain(benchmark::State& state) {
  plainSmallRate = PlainRecv(state, SmallReply(), kSmallCount);
}

}  // namespace

BENCHMARK(BM_RetrLargeMessage)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_RecvLargeMessagePlain)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_RetrSmallMessages)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_RecvSmallMessagesPlain)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (plainLargeRate > 0)
    std::printf("ratio one 100 MiB RETR / plain recv: %.2f\n", clientLargeRate / plainLargeRate);
  if (plainSmallRate > 0)
    std::printf("ratio 10,000 small RETRs / plain recv: %.2f\n", clientSmallRate / plainSmallRate);
  return 0;
}
