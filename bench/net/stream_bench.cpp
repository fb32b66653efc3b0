// Streams 256 MiB over loopback through a pair of event-driven sockets on one message loop,
// and through a plain blocking socket pair, and prints both rates and their ratio.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "net/wsocket.h"

namespace {

constexpr std::int64_t kTotal = 256LL * 1024 * 1024;
constexpr std::int32_t kBlock = 32768;
constexpr std::int32_t kChunk = 1024 * 1024;
constexpr std::size_t kReadSize = 256 * 1024;  // both receivers read this much at a time

double eventDrivenRate = 0;
double eventDrivenThreadsRate = 0;
double plainRate = 0;

double MiBPerSecond(std::int64_t bytes, double seconds) {
  return static_cast<double>(bytes) / (1024.0 * 1024.0) / seconds;
}

// The sending end: connects and keeps its queue topped up from OnSendData.
class TSender {
 public:
  explicit TSender(const std::string& port) : chunk_(kChunk, 'x') {
    client_.SetSendBlockSize(kBlock);
    client_.OnSessionConnected = [this](TCustomWSocket* s, std::uint16_t e) {
      if (e != 0) throw std::runtime_error("connect failed");
      TopUp(s);
    };
    client_.OnSendData = [this](TCustomWSocket* s, std::int32_t) { TopUp(s); };
    client_.OnDataSent = [this](TCustomWSocket* s, std::uint16_t) { TopUp(s); };
    client_.SetAddr("127.0.0.1");
    client_.SetPort(port);
    client_.Connect();
  }

 private:
  void TopUp(TCustomWSocket* s) {
    while (queued_ < kTotal && s->SendQueueBytes() < 2 * kChunk) {
      s->Send(chunk_.data(), kChunk);
      queued_ += kChunk;
    }
  }
  TWSocket client_;
  std::vector<char> chunk_;
  std::int64_t queued_ = 0;
};

// One transfer through TWSocket: the receiver is a listening socket that adopts the
// connection and reads in OnDataAvailable. The sender runs on the same loop, or on a loop of
// its own thread as the plain pair's writer does.
std::int64_t EventDrivenTransfer(bool senderThread) {
  TWSocket server;
  std::vector<char> sink(kReadSize);
  std::int64_t received = 0;
  server.OnSessionAvailable = [](TCustomWSocket* s, std::uint16_t) { s->Dup(s->Accept()); };
  server.OnDataAvailable = [&](TCustomWSocket* s, std::uint16_t) {
    int n = s->Receive(sink.data(), static_cast<std::int32_t>(sink.size()));
    if (n > 0) received += n;
  };
  server.SetAddr("127.0.0.1");
  server.SetPort("0");
  server.Listen();
  const std::string port = server.LocalBoundPort();

  std::atomic<bool> stop{false};
  std::unique_ptr<TSender> sameLoop;
  std::thread sender;
  if (senderThread) {
    sender = std::thread([&] {
      TSender own(port);
      while (!stop) TMessageLoop::Current().WaitAndDispatchOne(20);
    });
  } else {
    sameLoop = std::make_unique<TSender>(port);
  }
  while (received < kTotal) TMessageLoop::Current().WaitAndDispatchOne(100);
  stop = true;
  if (sender.joinable()) sender.join();
  return received;
}

std::int64_t PlainTransfer() {
  int listener = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a);
  listen(listener, 1);
  socklen_t len = sizeof a;
  getsockname(listener, reinterpret_cast<sockaddr*>(&a), &len);
  std::thread writer([a] {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    connect(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a);
    std::vector<char> block(kBlock, 'x');
    for (std::int64_t sent = 0; sent < kTotal;) {
      ssize_t n = send(fd, block.data(), block.size(), 0);
      if (n <= 0) break;
      sent += n;
    }
    close(fd);
  });
  int fd = accept(listener, nullptr, nullptr);
  std::vector<char> sink(kReadSize);
  std::int64_t received = 0;
  for (;;) {
    ssize_t n = recv(fd, sink.data(), sink.size(), 0);
    if (n <= 0) break;
    received += n;
  }
  writer.join();
  close(fd);
  close(listener);
  return received;
}

void BM_EventDrivenPair(benchmark::State& state) {
  const bool senderThread = state.range(0) != 0;
  double seconds = 0;
  std::int64_t bytes = 0;
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    bytes += EventDrivenTransfer(senderThread);
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  state.SetBytesProcessed(bytes);
  (senderThread ? eventDrivenThreadsRate : eventDrivenRate) = MiBPerSecond(bytes, seconds);
}

void BM_PlainBlockingPair(benchmark::State& state) {
  double seconds = 0;
  std::int64_t bytes = 0;
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    bytes += PlainTransfer();
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  state.SetBytesProcessed(bytes);
  plainRate = MiBPerSecond(bytes, seconds);
}

// Argument 0: both ends on one loop; 1: the sender on a loop of its own thread.
BENCHMARK(BM_EventDrivenPair)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();
BENCHMARK(BM_PlainBlockingPair)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::printf("event-driven pair, one loop: %.1f MiB/s\n", eventDrivenRate);
  std::printf("event-driven pair, sender on its own thread: %.1f MiB/s\n", eventDrivenThreadsRate);
  std::printf("plain blocking pair (two threads): %.1f MiB/s\n", plainRate);
  if (plainRate > 0) {
    std::printf("ratio one loop / plain: %.2f\n", eventDrivenRate / plainRate);
    std::printf("ratio two loops / plain: %.2f\n", eventDrivenThreadsRate / plainRate);
  }
  return 0;
}
