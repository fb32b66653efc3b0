// Fuzz entry for the service's command reading: arbitrary mail-program bytes, sent in reads cut
// at fuzzer-chosen points, to the real window in this process, whose upstream sessions go to a
// scripted POP3 server on 127.0.0.1 (user "user", password "secret", one small mail).
//
// Invariants: every complete line (up to and including a QUIT, after which the session ends
// whatever the mail program still sends) gets exactly one reply, in order: the not-supported
// reply exactly for the lines whose first four bytes name no command or that are too long,
// another reply for the others; the service
// never stops answering; and the upstream server receives nothing from the mail program but
// USER and PASS arguments: every line it gets is one of the proxy's own commands, or USER or
// PASS with an argument that a USER or PASS line of the mail program carried.
//
// Input: two bytes choose the cuts, the rest is what the mail program sends. Inputs whose USER
// lines name any upstream host but 127.0.0.1 are skipped, so no name is ever looked up and no
// other address is ever connected to (run the fuzzer inside `unshare -n` all the same).

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "../proxy/proxy_test_support.h"
#include "fuzz_check.h"
#include "fuzz_window.h"
#include "pop3/reply_parsing.h"
#include "proxy/main_form.h"

namespace {

constexpr std::string_view kGreeting = "+OK Welcome to vevazurod\r\n";
constexpr std::string_view kNotSupported =
    "-ERR This POP3-Command is not supported by \"Brindlecap\"!";
constexpr std::size_t kLineLimit = 1024;
constexpr std::size_t kMaxInput = 4096;

struct TExpectedLine {
  std::string text;
  bool supported = false;
};

bool Known(std::string_view text) {
  static const std::string_view keywords[] = {"USER", "PASS", "LIST", "QUIT", "STAT", "RETR",
                                              "DELE", "CAPA", "UIDL", "TOP ", "NOOP", "RSET"};
  std::string_view keyword = text.substr(0, 4);
  return std::find(std::begin(keywords), std::end(keywords), keyword) != std::end(keywords);
}

// The lines the mail program sent, as a plain reading sees them: each ended by LF (a CR before
// it belongs to the line end), one that grows past the limit counted once as too long, and
// nothing after a QUIT.
std::vector<TExpectedLine> PlainLines(std::string_view input) {
  std::vector<TExpectedLine> lines;
  std::size_t start = 0;
  while (start < input.size()) {
    std::size_t lf = input.find('\n', start);
    std::size_t length = (lf == std::string_view::npos ? input.size() : lf) - start;
    if (length > kLineLimit) {
      lines.push_back({"", false});
    } else if (lf == std::string_view::npos) {
      break;
    } else {
      std::string_view text = input.substr(start, length);
      if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
      lines.push_back({std::string(text), Known(text)});
      if (text.substr(0, 4) == "QUIT") break;
    }
    if (lf == std::string_view::npos) break;
    start = lf + 1;
  }
  return lines;
}

// The argument the service takes from a USER or PASS line: after the keyword and one more
// byte, up to a CR or LF.
std::string Argument(std::string_view text) {
  if (text.size() <= 5) return "";
  std::string_view rest = text.substr(5);
  return std::string(rest.substr(0, rest.find_first_of("\r\n")));
}

// Whether a USER line names an upstream host other than the scripted one.
bool NamesAnotherHost(const TExpectedLine& line) {
  if (line.text.substr(0, 4) != "USER") return false;
  std::string rest = Argument(line.text);
  std::size_t separator = rest.find('/');
  if (separator == std::string::npos) separator = rest.find('\\');
  if (separator == std::string::npos || separator == 0) return false;
  return rest.substr(0, separator) != "127.0.0.1";
}

bool OwnCommand(std::string_view line) {
  static const std::string_view bare[] = {"STAT", "LIST", "UIDL", "NOOP", "RSET", "QUIT", "LAST"};
  if (std::find(std::begin(bare), std::end(bare), line) != std::end(bare)) return true;
  for (std::string_view name : {"LIST ", "RETR ", "DELE ", "UIDL ", "TOP "}) {
    if (line.substr(0, name.size()) != name) continue;
    std::string_view rest = line.substr(name.size());
    return !rest.empty() && rest.find_first_not_of("0123456789 ") == std::string_view::npos;
  }
  return false;
}

std::vector<std::string_view> Cut(std::string_view bytes, std::uint32_t seed) {
  std::vector<std::string_view> reads;
  std::uint32_t state = seed * 2654435761u + 1;
  const std::size_t most = (seed & 0x8000) ? 7 : 600;
  while (!bytes.empty()) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    std::size_t n = std::min<std::size_t>(bytes.size(), 1 + state % most);
    reads.push_back(bytes.substr(0, n));
    bytes.remove_prefix(n);
  }
  return reads;
}

bool IsStatusLine(std::string_view line) {
  return !line.empty() && (line[0] == '+' || line[0] == '-');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2 || size - 2 > kMaxInput) return 0;
  // Settings of nobody (no file): the defaults hold, whatever the machine's user has set.
  static const std::string settings = fuzzwindow::UseOwnFolder("brindlecap-command-fuzz");
  (void)settings;
  const std::uint32_t seed = std::uint32_t(data[0]) | std::uint32_t(data[1]) << 8;
  std::string_view input(reinterpret_cast<const char*>(data + 2), size - 2);
  const std::vector<TExpectedLine> lines = PlainLines(input);
  for (const TExpectedLine& line : lines)
    if (NamesAnotherHost(line)) return 0;

  proxytest::TMailbox box;
  box.mails = {"Subject: hi\r\n\r\nbody\r\n"};
  std::vector<std::string> received;
  {
    auto upstream = std::make_unique<proxytest::TScriptedServer>();
    upstream->Do(proxytest::ServeMailbox(box));
    // Each USER line may open an upstream session of its own: one connection for each.
    for (const TExpectedLine& line : lines)
      if (line.text.substr(0, 4) == "USER") upstream->AcceptNext().Do(proxytest::ServeMailbox(box));
    std::uint16_t port = 0;
    auto form = fuzzwindow::WindowBehind(*upstream, port);

    proxytest::TScriptedClient client(port);
    client.ExpectBytes(std::string(kGreeting));
    for (std::string_view read : Cut(input, seed)) client.Send(std::string(read)).Pause(1);
    const std::size_t expected = lines.size();
    client.Do([&received, expected](proxytest::TPeerIo& io, std::string&) {
      // Every reply, then a short look for one too many.
      std::size_t statuses = 0;
      while (statuses < expected) {
        auto line = io.ReadLine(20000);
        if (!line) return true;
        received.push_back(*line);
        if (IsStatusLine(*line)) ++statuses;
      }
      while (auto line = io.ReadLine(150)) received.push_back(*line);
      return true;
    });
    client.Close();
    client.Start();
    proxytest::PumpUntil([&] { return client.Done(); }, 60000);
    FUZZ_CHECK(client.Done(), "the mail program's session never ended");
    if (std::getenv("FUZZ_VERBOSE"))
      std::fprintf(stderr, "%s\n--- log ---\n%s", client.Transcript().c_str(),
                   proxytest::LogText(*form).c_str());
    form.reset();
    upstream.reset();
  }

  std::vector<std::string> statuses;
  for (const std::string& line : received)
    if (IsStatusLine(line)) statuses.push_back(line);
  if (statuses.size() != lines.size()) {
    for (const TExpectedLine& line : lines) std::fprintf(stderr, "line: %s\n", line.text.c_str());
    for (const std::string& line : received) std::fprintf(stderr, "reply: %s\n", line.c_str());
  }
  FUZZ_CHECK(statuses.size() == lines.size(), "a line did not get exactly one reply");
  for (std::size_t i = 0; i < lines.size(); ++i)
    FUZZ_CHECK((statuses[i] == kNotSupported) != lines[i].supported,
               "a reply does not answer its line, or not in order");

  std::vector<std::string> users, passwords;
  for (const TExpectedLine& line : lines) {
    if (line.text.substr(0, 4) == "USER") {
      std::string rest = Argument(line.text);
      std::size_t separator = rest.find('/');
      if (separator == std::string::npos) separator = rest.find('\\');
      if (separator != std::string::npos) users.push_back(Pop3Trim(rest.substr(separator + 1)));
    } else if (line.text.substr(0, 4) == "PASS") {
      passwords.push_back(Pop3Trim(Argument(line.text)));
    }
  }
  auto among = [](const std::vector<std::string>& list, std::string_view s) {
    return std::find(list.begin(), list.end(), s) != list.end();
  };
  for (const std::string& command : box.commands) {
    if (command.substr(0, 5) == "USER ") {
      FUZZ_CHECK(among(users, command.substr(5)), "upstream got a USER argument never sent");
    } else if (command.substr(0, 5) == "PASS ") {
      FUZZ_CHECK(among(passwords, command.substr(5)), "upstream got a PASS argument never sent");
    } else {
      FUZZ_CHECK(OwnCommand(command), "upstream got a line that is no command of the proxy");
    }
  }
  return 0;
}
