#pragma once
// A window whose upstream is a scripted POP3 server with a mailbox, a private program folder
// and settings file, and mail programs that log in to it: for whole mail checks inside one
// process, the message loop turned by the test.

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>

#include "app/program_folder.h"
#include "inspection/message_store.h"
#include "platform/message_loop.h"
#include "proxy/main_form.h"
#include "proxy_test_support.h"

namespace proxytest {

namespace fs = std::filesystem;

inline std::uint16_t FreePort() {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  socklen_t len = sizeof addr;
  getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
  close(fd);
  return ntohs(addr.sin_port);
}

inline std::string PlainMail(const std::string& subject, const std::string& body = "Hello.\n") {
  return Crlf("From: Bob <bob@example.org>\nTo: Alice <alice@example.org>\nSubject: " + subject +
              "\n\n" + body);
}

inline std::string MailWithAttachment(const std::string& subject, const std::string& name) {
  return Crlf(
      "From: Mallory <mallory@example.net>\n"
      "To: Alice <alice@example.org>\n"
      "Subject: " +
      subject +
      "\n"
      "MIME-Version: 1.0\n"
      "Content-Type: multipart/mixed; boundary=\"--=_b\"\n"
      "\n"
      "----=_b\n"
      "Content-Type: text/plain; charset=us-ascii\n"
      "\n"
      "Please open it.\n"
      "----=_b\n"
      "Content-Type: application/octet-stream; name=\"" +
      name +
      "\"\n"
      "Content-Transfer-Encoding: base64\n"
      "Content-Disposition: attachment; filename=\"" +
      name +
      "\"\n"
      "\n"
      "QUJD\n"
      "----=_b--\n");
}

// What a mail program receives for RETR of a stored mail.
inline std::string RetrReply(const std::string& mail) {
  return "+OK Message follows\r\n" + DotStuffed(mail);
}

class MailboxSession : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/brindlecap-session-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
    InitProgramFolder(folder_ + "/brindlecap");
    setenv("BRINDLECAP_REGISTRY", (folder_ + "/registry.reg").c_str(), 1);
    // Copies of deleted mails stay in the test's folder.
    setenv("XDG_DATA_HOME", (folder_ + "/data").c_str(), 1);
    Write("RenameTXT.txt", "Renamed for safety.\r\n");
    Write("RenameHTML.txt", "<p>Renamed for safety.</p>\r\n");
    listenPort_ = FreePort();
    setenv("BRINDLECAP_LISTEN_PORT", std::to_string(listenPort_).c_str(), 1);
  }
  void TearDown() override {
    form_.reset();
    MessageStore.clear();
    unsetenv("BRINDLECAP_REGISTRY");
    unsetenv("XDG_DATA_HOME");
    unsetenv("BRINDLECAP_LISTEN_PORT");
    unsetenv("BRINDLECAP_UPSTREAM_PORT");
    fs::remove_all(folder_);
  }

  void Write(const std::string& name, const std::string& bytes) {
    std::ofstream(folder_ + "/" + name, std::ios::binary) << bytes;
  }
  std::string Read(const std::string& name) {
    std::ifstream in(folder_ + "/" + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  void Settings(const std::string& values) {
    Write("registry.reg",
          "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Oskendar\\Brindlecap]\r\n" + values);
  }

  // Starts the upstream with `box` and the window.
  TScriptedServer& Upstream(TMailbox& box) {
    server_ = std::make_unique<TScriptedServer>();
    server_->Do(ServeMailbox(box));
    setenv("BRINDLECAP_UPSTREAM_PORT", server_->PortText().c_str(), 1);
    server_->Start();
    form_ = std::make_unique<TFormVazireRevivo>();
    return *server_;
  }

  // A mail program that has logged in as the mailbox's user.
  std::unique_ptr<TScriptedClient> LoggedIn(const TMailbox& box) {
    auto client = std::make_unique<TScriptedClient>(listenPort_);
    client->ExpectPrefix("+OK Welcome")
        .SendLine("USER 127.0.0.1/" + box.user)
        .ExpectPrefix("+OK")
        .SendLine("PASS " + box.password)
        .ExpectPrefix("+OK");
    return client;
  }

  void Run(TScriptedClient& client, int timeoutMs = 30000) {
    client.Start();
    ASSERT_TRUE(PumpUntil([&] { return client.Done(); }, timeoutMs)) << client.Transcript();
    EXPECT_TRUE(client.Succeeded()) << client.Failure() << "\n"
                                    << client.Transcript() << "\nlog:\n"
                                    << form_->Memo_LOG->Lines().Text();
  }

  std::string Log() const { return form_->Memo_LOG->Lines().Text(); }
  std::string Results() const { return form_->Memo_Meldungen->Lines().Text(); }

  // Ends the upstream script (after QUIT or a dropped connection).
  void FinishUpstream() {
    ASSERT_TRUE(PumpUntil([&] { return server_->Done(); }, 15000)) << server_->Transcript();
  }

  std::string folder_;
  std::uint16_t listenPort_ = 0;
  std::unique_ptr<TScriptedServer> server_;
  std::unique_ptr<TFormVazireRevivo> form_;
};

inline bool Contains(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

}  // namespace proxytest
