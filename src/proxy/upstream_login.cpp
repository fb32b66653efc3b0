// USER and PASS: the mail program names the real server and the mailbox in its USER argument
// ("server/mailbox", or "server\mailbox"); the proxy logs in there on its behalf and passes the
// server's replies back.

#include "app/text_table.h"
#include "platform/application.h"
#include "proxy/mailbox_guards.h"
#include "proxy/main_form.h"
#include "proxy/upstream_address.h"

namespace {

// The command's argument: after the keyword and its blank, up to the line end. Only the first
// line counts, so a second command sent in the same piece of data never reaches the server
// as part of this one.
std::string CommandArgument(const std::string& text) {
  if (text.size() <= 5) return std::string();
  std::string rest = text.substr(5);
  std::size_t end = rest.find_first_of("\r\n");
  if (end != std::string::npos) rest.erase(end);
  return rest;
}

std::string SecurityLogLine(const TUpstreamTarget& target) {
  return std::string("POP3 ; TLS: ") +
         (target.Tls == pop3TlsStartTls ? "STLS" : "from the first byte") + ", port " + target.Port;
}

}  // namespace

void TFormVazireRevivo::HandleUser(TWSocket* Socket, const std::string& Text) {
  std::string rest = CommandArgument(Text);
  std::size_t separator = rest.find('/');
  if (separator == std::string::npos) separator = rest.find('\\');
  if (separator == std::string::npos) {
    Socket->SendText("-ERR Vevazurod not configured for this account!\r\n");
    WaitUntilSent(Socket);
    return;
  }
  // Any earlier upstream session is dropped at once.
  Pop3Cli1->Abort();
  SessionPolicyDeletions.clear();
  std::string host = rest.substr(0, separator);
  if (host.empty()) {
    Socket->SendText("-ERR Hostname can not be empty!\r\n");
    WaitUntilSent(Socket);
    return;
  }
  UpstreamHost = host;
  Memo_LOG->Lines().Add("POP3 ; Host to connect:" + host);
  std::string name = rest.substr(separator + 1);
  if (name.empty()) {
    Socket->SendText("-ERR Username can not be empty!\r\n");
    WaitUntilSent(Socket);
    return;
  }
  UpstreamUser = name;
  Memo_LOG->Lines().Add("POP3 ; Username:" + name);

  // The server part may carry a port; the security setting decides on TLS.
  TUpstreamTarget target = UpstreamTargetFromSettings(UpstreamHost);
  Pop3Cli1->SetHost(target.Host);
  Pop3Cli1->SetUserName(UpstreamUser);
  Pop3Cli1->SetPort(target.Port);
  Pop3Cli1->SetTlsMode(target.Tls);
  Pop3Cli1->SetTlsCAFile(target.CAFile);
  Pop3Cli1->SetPassWord("");
  Pop3Cli1->SetMsgNum(0);
  Pop3Cli1->ClearErrorMessage();
  Memo_LOG->Lines().Add("Connecting to POP3-Host now.");

  bool answered = true;
  if (target.Error.empty()) {
    if (target.Tls != pop3TlsNone) Memo_LOG->Lines().Add(SecurityLogLine(target));
    answered = AskServer(&TCustomPop3Cli::Connect);
  } else {
    // A target that cannot be reached as asked is a failed connect; nothing goes out.
    Memo_LOG->Lines().Add(target.Error);
    LastReply = "-ERR " + target.Error;
    answered = !AbortRequested;
  }
  if (!answered) {
    Socket->SendText(AbortedByUserReply);
    Button_RESETClick();
    return;
  }
  // The server's greeting never reaches the mail program: it had the proxy's own. A server
  // that closed before greeting leaves no reply line at all; that is a failed connect too.
  if ((!LastReply.empty() && LastReply[0] == '-') || !Pop3Cli1->Connected()) {
    if (target.Error.empty() && !Pop3Cli1->TlsFailure().empty())
      Memo_LOG->Lines().Add(Pop3Cli1->TlsFailure());
    AddResultGroup({320, 321});
    Memo_LOG->Lines().Add("Error in \"Connect to POP3\"");
    Application->ProcessMessages();
    Socket->SendText("-ERR Error during Connect!\r\n");
    Button_RESETClick();
    return;
  }

  if (!AskServer(&TCustomPop3Cli::User)) {
    // The upstream session stays; the mail program decides what comes next.
    Socket->SendText(AbortedByUserReply);
    return;
  }
  // A line that is neither "+OK" nor "-ERR" (or no line at all) is no answer a mail program
  // can read; the client took it for a refusal, and so does the mail program.
  LastReply = ForwardedReply(LastReply);
  Socket->SendText(LastReply + "\r\n");
  if (!LastReply.empty() && LastReply[0] == '-') {
    AddResultGroup({330, 331, 332});
    Memo_LOG->Lines().Add("Error during command \"USER\" !");
  }
}

void TFormVazireRevivo::HandlePass(TWSocket* Socket, const std::string& Text) {
  std::string password = CommandArgument(Text);
  Memo_LOG->Lines().Add("POP3 ; Password:" + std::string(password.size(), '*'));
  Pop3Cli1->SetPassWord(password);
  UpstreamPassword = password;
  if (!AskServer(&TCustomPop3Cli::Pass)) {
    Socket->SendText(AbortedByUserReply);
    return;
  }
  LastReply = ForwardedReply(LastReply);
  Socket->SendText(LastReply + "\r\n");
  if (!LastReply.empty() && LastReply[0] == '+') {
    Image_LogIn->Show();
  } else if (!LastReply.empty() && LastReply[0] == '-') {
    AddResultGroup({340, 341, 342});
    Memo_LOG->Lines().Add("Error during sending Passwort! (Abort?)");
  }
}
