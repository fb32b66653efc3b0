// Handlers of the upstream client's events: its lines, its completions and its trace, which
// goes to the log with the password masked.

#include "proxy/main_form.h"

namespace {

constexpr std::size_t kLongestReply = 510;

const char* RequestName(TPop3Request request) {
  switch (request) {
    case pop3Connect:
      return "Connect";
    case pop3User:
      return "USER";
    case pop3Pass:
      return "PASS";
    case pop3Quit:
      return "QUIT";
    case pop3Stat:
      return "STAT";
    case pop3List:
      return "LIST";
    case pop3Retr:
      return "RETR";
    case pop3Dele:
      return "DELE";
    case pop3Open:
      return "OPEN";
    default:
      return "Custom Reques!";
  }
}

}  // namespace

// A line that comes while no request runs answers nothing the proxy asked: a server that
// sends two replies for one command, or one before it is asked. Taken as the reply, it would
// replace the real one ("+OK" after "-ERR" would tell the mail program that a refused DELE
// was done).
void TFormVazireRevivo::Pop3Cli1Response(TCustomPop3Cli* Sender, const std::string& Msg) {
  if (Sender != nullptr && Sender->State() == pop3Idle) {
    Memo_LOG->Lines().Add("Line from the POP3 server that answers no request ignored.");
    return;
  }
  // A reply passed on to the mail program fits in 512 bytes with its line end (RFC 1939);
  // some mail programs give up on a longer line. Its beginning carries the meaning.
  LastReply.assign(Msg, 0, kLongestReply);
}

// Success or failure is judged from LastReply alone; the error number is not looked at.
void TFormVazireRevivo::Pop3Cli1RequestDone(TCustomPop3Cli*, TPop3Request RqType, std::uint16_t) {
  RequestFinished = true;
  Memo_LOG->Lines().Add(std::string("POP3 ; Request done: ") + RequestName(RqType));
  if (RetrievePending) {
    RetrievePending = false;
    // Lines held back during the download are handed on once no command runs any more.
    ScheduleWaitingCommands();
  }
}

void TFormVazireRevivo::Pop3Cli1Display(TCustomPop3Cli*, const std::string& Msg) {
  std::string line = Msg;
  if (line.find("PASS ") != std::string::npos)
    line = ">PASS " + std::string(UpstreamPassword.size(), '*');
  Memo_LOG->Lines().Add("DISPLAY:" + line);
}

void TFormVazireRevivo::Pop3Cli1SessionConnected(TCustomPop3Cli*, std::uint16_t) {
  Memo_LOG->Lines().Add("***Pop3Cli - Session connected");
}

void TFormVazireRevivo::Pop3Cli1SessionClosed(TCustomPop3Cli*, std::uint16_t) {
  Memo_LOG->Lines().Add("***Pop3Cli - Session closed");
}
