// The store and the policy steps that go through files: rename, notice, report mail.

#include "inspection/mail_files.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "inspection/message_store.h"

namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

class MailFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/brindlecap-inspection-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
  }
  void TearDown() override { fs::remove_all(folder_); }

  std::string Path(const std::string& name) const { return folder_ + "/" + name; }
  void Write(const std::string& name, const std::string& bytes) const {
    std::ofstream(Path(name), std::ios::binary) << bytes;
  }
  std::string Read(const std::string& name) const {
    std::string content, error;
    EXPECT_TRUE(ReadWholeFile(Path(name), content, error)) << error;
    return content;
  }

  std::string folder_;
};

TNachricht EntryWith(const std::string& content, int number = 1) {
  TNachricht entry;
  entry.Number = number;
  entry.Content.WriteString(content);
  return entry;
}

const std::string kMail =
    "From: Mallory <m@x>\r\n"
    "Subject: tool\r\n"
    "Content-Type: multipart/mixed; boundary=\"--=_b\"\r\n"
    "\r\n"
    "----=_b\r\n"
    "Content-Type: text/plain\r\n"
    "\r\n"
    "Body with a lone \n inside and a NUL \0 byte\r\n"
    "----=_b\r\n"
    "Content-Type: application/octet-stream; name=\"t.exe\"\r\n"
    "Content-Disposition: attachment; filename=\"t.exe\"\r\n"
    "\r\n"
    "QUJD\r\n"
    "----=_b--\r\n"s;

std::string MailBytes() {
  return kMail;
}

TEST(MessageStoreOps, RemovingKeepsOrderAndServerNumbers) {
  TNachrichten store;
  for (int n = 1; n <= 3; ++n) {
    store.push_back(EntryWith(std::string(static_cast<size_t>(n), 'x') + "\r\n", n));
    store.back().Size = n * 100;
  }
  EXPECT_EQ(TotalSize(store), 600);
  EXPECT_EQ(ServedTotalSize(store), 3 + 4 + 5);
  RemoveMessage(store, 0);
  ASSERT_EQ(store.size(), 2u);
  EXPECT_EQ(store[0].Number, 2);
  EXPECT_EQ(store[1].Number, 3);
  EXPECT_EQ(store[1].Content.DataString(), "xxx\r\n");
  RemoveMessage(store, 5);
  RemoveMessage(store, -1);
  EXPECT_EQ(store.size(), 2u);
  TNachrichten empty;
  RemoveMessage(empty, 0);
  EXPECT_TRUE(empty.empty());
}

TEST_F(MailFiles, RenameChangesOnlyTheNameLinesAndRemovesTheWorkFile) {
  TNachricht entry = EntryWith(MailBytes());
  std::string error;
  ASSERT_TRUE(RenameAttachment(entry, "t.exe", Path("dummy.dummy"), error)) << error;
  std::string expected = MailBytes();
  for (std::string from : {"name=\"t.exe\"", "filename=\"t.exe\""}) {
    std::string to = from.substr(0, from.size() - 1) + "BLOCKED\"";
    expected.replace(expected.find(from), from.size(), to);
  }
  EXPECT_EQ(entry.Content.DataString(), expected);
  EXPECT_FALSE(fs::exists(Path("dummy.dummy")));
}

TEST_F(MailFiles, NoticeOpensTheTextPartAndMissingNoticeLeavesContentAsItWas) {
  Write("RenameTXT.txt", "Renamed for your safety.\nSecond line");
  TNachricht entry = EntryWith(MailBytes());
  std::string error;
  ASSERT_TRUE(InsertNotice(entry, Path("RenameTXT.txt"), Path("RenameHTML.txt"),
                           Path("dummy.dummy"), error))
      << error;
  std::string expected = MailBytes();
  const std::string header = "Content-Type: text/plain\r\n";
  expected.insert(expected.find(header) + header.size(),
                  "\r\nRenamed for your safety.\r\nSecond line\r\n");
  EXPECT_EQ(entry.Content.DataString(), expected);
  EXPECT_FALSE(fs::exists(Path("dummy.dummy")));

  TNachricht other = EntryWith(MailBytes());
  fs::remove(Path("RenameTXT.txt"));
  EXPECT_FALSE(InsertNotice(other, Path("RenameTXT.txt"), Path("RenameHTML.txt"),
                            Path("dummy.dummy"), error));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(other.Content.DataString(), MailBytes());
  EXPECT_FALSE(fs::exists(Path("dummy.dummy")));
}

TEST_F(MailFiles, AnUnwritableWorkFileLeavesContentAsItWas) {
  TNachricht entry = EntryWith(MailBytes());
  std::string error;
  EXPECT_FALSE(RenameAttachment(entry, "t.exe", Path("no-such-folder/dummy.dummy"), error));
  EXPECT_EQ(entry.Content.DataString(), MailBytes());
}

TEST_F(MailFiles, ReportIsFilledWrittenAndOpened) {
  const std::string record = Path("opened.txt");
  // Written aside and moved in, so the wait below never sees the file half written.
  Write("open.sh",
        "#!/bin/sh\necho \"$1\" > " + record + ".part && mv " + record + ".part " + record + "\n");
  fs::permissions(Path("open.sh"), fs::perms::owner_all);
  setenv("BRINDLECAP_OPEN", Path("open.sh").c_str(), 1);
  Write("response.eml", "To: XXX%3\nSubject: Re: XXX%2\n\nYour mail to XXX%1 was refused.");
  std::string error;
  EXPECT_EQ(SendReport("\"M\" <m@x>", "tool", "Alice <a@y>", Path("response.eml"), Path("mail.eml"),
                       error),
            TReportResult::Opened);
  EXPECT_EQ(Read("mail.eml"),
            "To: m@x\r\nSubject: Re: tool\r\n\r\nYour mail to a@y was refused.\r\n");
  for (int i = 0; i < 500 && !fs::exists(record); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(Read("opened.txt"), Path("mail.eml") + "\n");
  unsetenv("BRINDLECAP_OPEN");
}

TEST_F(MailFiles, MissingOrEmptyTemplateWritesNothing) {
  std::string error;
  EXPECT_EQ(SendReport("a", "b", "c", Path("response.eml"), Path("mail.eml"), error),
            TReportResult::Failed);
  EXPECT_FALSE(error.empty());
  Write("response.eml", "");
  EXPECT_EQ(SendReport("a", "b", "c", Path("response.eml"), Path("mail.eml"), error),
            TReportResult::EmptyTemplate);
  EXPECT_FALSE(fs::exists(Path("mail.eml")));
}

}  // namespace
