// Fuzz entry for the POP3 client's reply reader: arbitrary server bytes answer a greeting and a
// series of commands, handed to the client in reads cut at fuzzer-chosen points. The client
// runs unchanged; only its socket is replaced by one that serves the script. A plain reading of
// the same bytes (lines end at CR LF, a multi-line reply at a "." line) says where each reply
// ends, and the server sends a reply only once its command was sent, as a real one does.
//
// Invariants: once a reply's bytes are in, its request has ended exactly once and nothing of it
// is left held; the lines delivered for a multi-line reply, each followed by CR LF unless it is
// a forced piece of a longer line, are the reply's data with the stuffed dots removed; a reply
// cut short by the end of the session ends its request once, when the session closes; and the
// same bytes cut into other reads deliver the same lines with the same outcome.
//
// Input: two bytes choose the cuts, eight bytes the commands, the rest is what the server sends.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "fuzz_check.h"
#include "platform/application.h"
#include "pop3/pop3_client.h"
#include "pop3/receive_buffer.h"

namespace {

class TScriptedSocket : public TWSocket {
 public:
  std::int32_t Receive(void* buffer, std::int32_t size) override {
    std::size_t n = std::min<std::size_t>(std::size_t(std::max(size, 0)), waiting.size() - read);
    std::memcpy(buffer, waiting.data() + read, n);
    read += n;
    return std::int32_t(n);
  }
  std::int32_t SendText(const std::string& text) override {
    sent.push_back(text);
    return std::int32_t(text.size());
  }
  void Close() override { closeAsked = true; }
  void Abort() override { closeAsked = true; }
  bool Waiting() const { return read < waiting.size(); }

  std::string waiting;
  std::size_t read = 0;
  std::vector<std::string> sent;
  bool closeAsked = false;
};

enum class TCommand { Retr, Top, List, Uidl, ListOne, UidlOne, Stat, Last, Noop, Dele, RSet };
constexpr int kCommandKinds = 11;

bool IsMultiLine(TCommand c) {
  return c == TCommand::Retr || c == TCommand::Top || c == TCommand::List || c == TCommand::Uidl;
}

// What one run saw, compared between different cuts of the same bytes.
struct TTrace {
  std::vector<std::pair<std::string, bool>> responses;  // every line: text, complete
  std::vector<std::string> data;                        // joined data of each multi-line reply
  std::vector<std::int32_t> errorCodes;                 // ErrorCode at each request's end
  bool operator==(const TTrace&) const = default;
};

class TFuzzPop3Cli : public TCustomPop3Cli {
 public:
  TFuzzPop3Cli() {
    socket_ = std::make_unique<TScriptedSocket>();
    auto line = [this](TCustomPop3Cli*) {
      data_ += LastResponse();
      if (LastResponseComplete()) data_ += "\r\n";
    };
    OnMessageLine = line;
    OnListLine = line;
    OnUidlLine = line;
    OnResponse = [this](TCustomPop3Cli*, const std::string& text) {
      trace.responses.emplace_back(text, LastResponseComplete());
    };
  }
  TScriptedSocket& Script() { return static_cast<TScriptedSocket&>(*socket_); }

  void FinishRequest(std::uint16_t error) override {
    bool before = doneFired_;
    ++finishCalls;
    TCustomPop3Cli::FinishRequest(error);
    if (!before && doneFired_) trace.errorCodes.push_back(errorCode_);
  }

  void AwaitGreeting() {
    connected_ = true;
    rqType_ = pop3Connect;
    doneFired_ = false;
    receive_.Clear();
    SetState(pop3WaitingGreeting);
  }

  void Issue(TCommand command) {
    finishCalls = 0;
    data_.clear();
    protocolState_ = pop3Transaction;
    SetMsgNum(command == TCommand::List || command == TCommand::Uidl ? 0 : 1);
    SetMsgLines(0);
    switch (command) {
      case TCommand::Retr:
        Retr();
        break;
      case TCommand::Top:
        Top();
        break;
      case TCommand::List:
      case TCommand::ListOne:
        List();
        break;
      case TCommand::Uidl:
      case TCommand::UidlOne:
        Uidl();
        break;
      case TCommand::Stat:
        Stat();
        break;
      case TCommand::Last:
        Last();
        break;
      case TCommand::Noop:
        Noop();
        break;
      case TCommand::Dele:
        Dele();
        break;
      case TCommand::RSet:
        RSet();
        break;
    }
  }

  // The server's bytes arrive; the socket reports them until every one was read, as the
  // real socket does.
  void Arrive(std::string_view bytes) {
    TScriptedSocket& s = Script();
    s.waiting.append(bytes);
    std::size_t rounds = 0;
    while (s.Waiting() && !s.closeAsked) {
      FUZZ_CHECK(++rounds <= 2 * bytes.size() + 4, "the reader stopped taking bytes");
      WSocketDataAvailable(0);
    }
  }

  void SessionCloses() { WSocketSessionClosed(Pop3ErrorSessionClosed); }

  int Held() const { return receive_.Length(); }
  const std::string& Data() const { return data_; }

  TTrace trace;
  int finishCalls = 0;

 private:
  std::string data_;
};

// A plain reading of the server's bytes.
class TPlainReader {
 public:
  explicit TPlainReader(std::string_view bytes) : bytes_(bytes) {}
  // The next line with its CR LF; false at the end of the bytes (`line` then holds the rest).
  bool Line(std::string_view& line) {
    std::size_t end = bytes_.find("\r\n", pos_);
    if (end == std::string_view::npos) {
      line = bytes_.substr(pos_);
      pos_ = bytes_.size();
      return false;
    }
    line = bytes_.substr(pos_, end + 2 - pos_);
    pos_ = end + 2;
    return true;
  }
  bool AtEnd() const { return pos_ >= bytes_.size(); }

 private:
  std::string_view bytes_;
  std::size_t pos_ = 0;
};

// Cuts a reply's bytes into reads of 1..maxRead bytes, chosen by a seed; maxRead 0 leaves the
// reply whole.
class TCutter {
 public:
  TCutter(std::uint32_t seed, std::size_t maxRead)
      : state_(seed * 2654435761u + 1), max_(maxRead) {}
  std::vector<std::string_view> Cut(std::string_view bytes) {
    std::vector<std::string_view> reads;
    while (!bytes.empty()) {
      state_ ^= state_ << 13;
      state_ ^= state_ >> 17;
      state_ ^= state_ << 5;
      std::size_t n =
          max_ == 0 ? bytes.size() : std::min<std::size_t>(bytes.size(), 1 + state_ % max_);
      reads.push_back(bytes.substr(0, n));
      bytes.remove_prefix(n);
    }
    return reads;
  }

 private:
  std::uint32_t state_;
  std::size_t max_;
};

void Deliver(TFuzzPop3Cli& client, TCutter& cutter, std::string_view reply) {
  for (std::string_view read : cutter.Cut(reply)) client.Arrive(read);
}

// Runs the whole script; returns what the client delivered.
TTrace Run(std::string_view server, const std::uint8_t* commands, TCutter cutter) {
  TFuzzPop3Cli client;
  TPlainReader plain(server);
  std::string_view line;

  client.AwaitGreeting();
  bool whole = plain.Line(line);
  Deliver(client, cutter, line);
  if (!whole) {
    // A greeting longer than the receive buffer is taken by its first piece, as any long
    // status line is; a shorter one waits for its line end.
    if (line.size() < std::size_t(TPop3ReceiveBuffer::kMaxHeld))
      FUZZ_CHECK(client.trace.errorCodes.empty(), "a greeting without its line end was taken");
    client.SessionCloses();
    FUZZ_CHECK(client.trace.errorCodes.size() == 1, "a cut greeting did not end the connect once");
    Application->ProcessMessages();
    return client.trace;
  }
  if (line[0] != '+') {
    FUZZ_CHECK(client.Script().closeAsked, "a negative greeting did not close the session");
    client.SessionCloses();
    FUZZ_CHECK(client.trace.errorCodes.size() == 1, "a negative greeting did not end once");
    FUZZ_CHECK(client.trace.errorCodes[0] != 0, "a negative greeting ended the connect well");
    Application->ProcessMessages();
    return client.trace;
  }
  FUZZ_CHECK(client.trace.errorCodes.size() == 1 && client.trace.errorCodes[0] == 0,
             "a positive greeting did not end the connect once, well");
  FUZZ_CHECK(client.Held() == 0, "bytes of the greeting stay held");

  for (int step = 0; step < 64 && !plain.AtEnd(); ++step) {
    const TCommand command = TCommand(commands[step % 8] % kCommandKinds);
    std::size_t endsBefore = client.trace.errorCodes.size();
    client.Issue(command);
    FUZZ_CHECK(client.Script().sent.size() == std::size_t(step) + 1, "a command was not sent");

    // Where the server's reply ends, and the data it carries.
    std::string reply, data;
    whole = plain.Line(line);
    reply += line;
    // A status line that fills the buffer is judged by its first piece, before its end.
    const bool judgedEarly = line.size() >= 4093;
    const bool positive = whole && line[0] == '+';
    if (positive && IsMultiLine(command)) {
      for (;;) {
        whole = plain.Line(line);
        reply += line;
        if (!whole) break;
        if (line == ".\r\n") break;
        if (line.substr(0, 2) == "..") line.remove_prefix(1);
        data += line;
      }
    }
    Deliver(client, cutter, reply);
    if (!whole) {
      FUZZ_CHECK(client.trace.errorCodes.size() == endsBefore || judgedEarly,
                 "a reply without its line end was taken as whole");
      client.SessionCloses();
      FUZZ_CHECK(client.trace.errorCodes.size() - endsBefore == 1,
                 "a reply cut short by the session's end did not end its request once");
      break;
    }
    FUZZ_CHECK(client.trace.errorCodes.size() - endsBefore == 1,
               "a whole reply did not end its request exactly once");
    FUZZ_CHECK(client.finishCalls == 1, "the end of a reply was found more than once");
    FUZZ_CHECK(client.Held() == 0, "bytes of a whole reply stay held after its end");
    if (!positive) {
      FUZZ_CHECK(client.trace.errorCodes.back() != 0, "a negative reply ended well");
    } else if (IsMultiLine(command)) {
      FUZZ_CHECK(client.Data() == data, "the delivered lines are not the reply's unstuffed data");
      client.trace.data.push_back(client.Data());
    }
    Application->ProcessMessages();
  }
  Application->ProcessMessages();
  return client.trace;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 10) return 0;
  const std::uint32_t seed = std::uint32_t(data[0]) | std::uint32_t(data[1]) << 8;
  static constexpr std::size_t kMaxReads[] = {1, 3, 64, 5000};
  const std::uint8_t* commands = data + 2;
  std::string_view server(reinterpret_cast<const char*>(data + 10), size - 10);

  TTrace cut = Run(server, commands, TCutter(seed, kMaxReads[seed >> 14]));
  TTrace whole = Run(server, commands, TCutter(0, 0));
  FUZZ_CHECK(cut == whole, "the same bytes cut into other reads were delivered differently");
  return 0;
}
