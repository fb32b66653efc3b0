// Fuzz entry for a whole session against a misbehaving server: the real window in this process,
// a scripted mail program that logs in, checks the mailbox, lists it, fetches three mails,
// deletes one and quits, and a scripted server on 127.0.0.1 whose every answer is fuzzer bytes.
//
// Invariants: every command of the mail program gets exactly one reply that begins "+OK" or
// "-ERR", and a positive reply to a listing or a mail is ended by its closing dot, until the
// proxy closes the connection; the service never stops answering; no mail the mail program
// receives holds an attachment name the policy blocks (strict names or the plain rule, as set);
// and a mail in which the policy finds no blocked name reaches the mail program byte for byte
// as the server sent it.
//
// Input: one byte of settings (bit 0: strict attachment names), then the server's answers,
// separated by "|||": the greeting, then one answer for each line the proxy sends, in turn.
// When the answers run out, or the proxy sends nothing for a while, the server closes.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "../proxy/proxy_test_support.h"
#include "fuzz_check.h"
#include "fuzz_window.h"
#include "inspection/file_extension.h"
#include "inspection/mail_attachments.h"
#include "inspection/strict_names.h"
#include "proxy/block_settings_reading.h"
#include "proxy/main_form.h"

namespace {

constexpr std::string_view kSeparator = "|||";
constexpr std::size_t kMaxInput = 16384;
// How long the server waits for the proxy's next line before it closes.
constexpr int kServerPatienceMs = 600;
// Longer than the proxy's own time limit for an upstream answer, so a time-out still counts
// as an answer and only a service that stopped answering fails.
constexpr int kReplyWaitMs = 75000;

const std::vector<std::string> kCommands = {"USER 127.0.0.1/user",
                                            "PASS secret",
                                            "STAT",
                                            "LIST",
                                            "UIDL",
                                            "RETR 1",
                                            "RETR 2",
                                            "RETR 3",
                                            "DELE 1",
                                            "QUIT"};

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

bool MultiLine(std::string_view command) {
  return command == "LIST" || command == "UIDL" || command == "CAPA" ||
         StartsWith(command, "RETR ") || StartsWith(command, "TOP ");
}

std::vector<std::string> Answers(std::string_view bytes) {
  std::vector<std::string> answers;
  for (;;) {
    std::size_t at = bytes.find(kSeparator);
    answers.emplace_back(bytes.substr(0, at));
    if (at == std::string_view::npos) return answers;
    bytes.remove_prefix(at + kSeparator.size());
  }
}

// What an answer means to a plain reading, when it is exactly one reply to `command` with
// nothing before or after it, CR LF as its only line end and its dots stuffed: the data of a
// positive multi-line reply, unstuffed, each line ended by CR LF (empty for other replies).
std::optional<std::string> CleanReply(std::string_view command, std::string_view answer) {
  for (std::size_t i = 0; i < answer.size(); ++i)
    if (answer[i] == '\n' && (i == 0 || answer[i - 1] != '\r')) return std::nullopt;
  std::size_t end = answer.find("\r\n");
  if (end == std::string_view::npos) return std::nullopt;
  std::string_view status = answer.substr(0, end);
  const bool positive = StartsWith(status, "+OK");
  if (!positive && !StartsWith(status, "-ERR")) return std::nullopt;
  std::string_view rest = answer.substr(end + 2);
  if (!positive || !MultiLine(command)) {
    if (!rest.empty()) return std::nullopt;
    return std::string();
  }
  std::string data;
  for (;;) {
    end = rest.find("\r\n");
    if (end == std::string_view::npos) return std::nullopt;
    std::string_view line = rest.substr(0, end);
    rest.remove_prefix(end + 2);
    if (line == ".") return rest.empty() ? std::optional<std::string>(data) : std::nullopt;
    // A line that begins with a dot is stuffed with a second one; a lone dot before other
    // bytes breaks the protocol, and readers differ on what it means.
    if (!line.empty() && line[0] == '.') {
      if (line.size() < 2 || line[1] != '.') return std::nullopt;
      line.remove_prefix(1);
    }
    data.append(line);
    data.append("\r\n");
  }
}

struct TServerTurn {
  std::string command;
  std::string answer;
};

struct TClientTurn {
  std::string command;
  std::string status;
  std::string data;  // a positive multi-line reply's lines, unstuffed, each ended by CR LF
  bool unended = false;
};

bool Blocked(const std::string& mail, const TBlockPolicy& policy) {
  const TNameTest blocked = [&policy](const std::string& name) {
    return IsBlockedAttachment(name, policy.BlockedExtensions);
  };
  if (policy.StrictNames) {
    for (const TStrictName& name : StrictAttachmentNames(mail))
      if (StrictNameBlocked(name, blocked)) return true;
    return false;
  }
  for (const std::string& name : AttachmentNamesOf(mail))
    if (blocked(name)) return true;
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1 || size - 1 > kMaxInput) return 0;
  static const std::string registry = fuzzwindow::UseOwnFolder("brindlecap-server-fuzz");
  const bool strict = (data[0] & 1) != 0;
  {
    std::ofstream settings(registry, std::ios::binary | std::ios::trunc);
    settings << "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Oskendar\\Brindlecap]\r\n"
             << "\"StrictAttachmentNames\"=dword:0000000" << (strict ? 1 : 0) << "\r\n";
  }
  const TBlockPolicy policy = ReadBlockPolicy();
  FUZZ_CHECK(policy.StrictNames == strict, "the settings file was not read");

  const std::vector<std::string> answers =
      Answers(std::string_view(reinterpret_cast<const char*>(data + 1), size - 1));
  std::vector<TServerTurn> served;
  std::vector<TClientTurn> turns;
  bool stoppedAnswering = false;
  {
    auto upstream = std::make_unique<proxytest::TScriptedServer>();
    upstream->Do([&answers, &served](proxytest::TPeerIo& io, std::string&) {
      io.SendAll(answers[0]);
      for (std::size_t next = 1; next < answers.size(); ++next) {
        auto line = io.ReadLine(kServerPatienceMs);
        if (!line) break;
        served.push_back({*line, answers[next]});
        if (!io.SendAll(answers[next])) break;
      }
      io.Close();
      return true;
    });
    upstream->SetStepTimeout(kReplyWaitMs);
    std::uint16_t port = 0;
    auto form = fuzzwindow::WindowBehind(*upstream, port);

    proxytest::TScriptedClient client(port);
    client.Do([&turns, &stoppedAnswering](proxytest::TPeerIo& io, std::string&) {
      if (!io.ReadLine(kReplyWaitMs)) {
        stoppedAnswering = !io.PeerClosed();
        return true;
      }
      for (const std::string& command : kCommands) {
        if (!io.SendAll(command + "\r\n")) return true;
        TClientTurn turn{command, "", ""};
        auto status = io.ReadLine(kReplyWaitMs);
        if (!status) {
          stoppedAnswering = !io.PeerClosed();
          return true;
        }
        turn.status = *status;
        if (StartsWith(turn.status, "+OK") && MultiLine(command)) {
          for (;;) {
            auto line = io.ReadLine(kReplyWaitMs);
            if (!line) {
              turn.unended = true;
              turns.push_back(turn);
              return true;
            }
            if (*line == ".") break;
            std::string_view text = *line;
            if (!text.empty() && text[0] == '.') text.remove_prefix(1);
            turn.data.append(text);
            turn.data.append("\r\n");
          }
        }
        turns.push_back(turn);
      }
      return true;
    });
    client.Close();
    client.Start();
    proxytest::PumpUntil([&] { return client.Done(); }, 4 * kReplyWaitMs);
    FUZZ_CHECK(client.Done(), "the mail program's session never ended");
    if (std::getenv("FUZZ_VERBOSE"))
      std::fprintf(stderr, "--- server ---\n%s\n--- mail program ---\n%s\n--- log ---\n%s",
                   upstream->Transcript().c_str(), client.Transcript().c_str(),
                   proxytest::LogText(*form).c_str());
    form.reset();
    upstream.reset();
  }

  FUZZ_CHECK(!stoppedAnswering, "the service stopped answering the mail program");
  for (const TClientTurn& turn : turns) {
    FUZZ_CHECK(StartsWith(turn.status, "+OK") || StartsWith(turn.status, "-ERR"),
               "a command got no reply of +OK or -ERR");
    FUZZ_CHECK(!turn.unended, "a positive multi-line reply was not ended by its closing dot");
  }

  // The mails as the server sent them, as long as every answer so far was one clean reply:
  // then the n-th RETR the proxy sent fetched the mail it keeps at position n, until a mail
  // with a blocked name, which may be withheld and leave its position to the next one.
  std::vector<std::optional<std::string>> originals;
  for (const TServerTurn& turn : served) {
    std::optional<std::string> reply = CleanReply(turn.command, turn.answer);
    if (!reply) break;
    if (!StartsWith(turn.command, "RETR ")) continue;
    if (!StartsWith(turn.answer, "+OK")) break;
    originals.push_back(reply);
    if (Blocked(*reply, policy)) break;
  }
  for (const TClientTurn& turn : turns) {
    if (!StartsWith(turn.command, "RETR ") || !StartsWith(turn.status, "+OK")) continue;
    FUZZ_CHECK(!Blocked(turn.data, policy), "a mail with a blocked name reached the mail program");
    const std::size_t position = std::stoul(turn.command.substr(5));
    if (position > originals.size() || !originals[position - 1]) continue;
    const std::string& original = *originals[position - 1];
    if (!Blocked(original, policy))
      FUZZ_CHECK(turn.data == original, "a mail without a blocked name was changed");
  }
  return 0;
}
