// brindlecap-config quarantine list | export | remove, on a private quarantine folder.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <sstream>

#include "config/command_line.h"
#include "config_test_support.h"
#include "quarantine/quarantine_store.h"
#include "quarantine_test_support.h"

namespace {

using config_test::kNow;
using config_test::ReadFile;
using config_test::WriteFile;
using namespace std::string_literals;

struct TResult {
  int status;
  std::string out;
  std::string err;
};

class QuarantineCommand : public ::testing::Test {
 protected:
  QuarantineCommand() {
    places_.registryPath = reg_.Path();
    places_.programFolder = folder_.Path().string();
    places_.quarantineFolder = (folder_ / "quarantine").string();
  }
  TResult Run(std::vector<std::string> args) {
    std::istringstream in;
    std::ostringstream out, err;
    int status = RunConfigCommand(args, places_, in, out, err);
    return {status, out.str(), err.str()};
  }
  TQuarantine Store() const { return TQuarantine(places_.quarantineFolder); }
  std::string Keep(const std::string& mail, const std::string& subject,
                   std::vector<std::string> blocked, std::time_t moment) {
    return config_test::KeepCopy(places_.quarantineFolder, mail, subject, std::move(blocked),
                                 moment);
  }

  config_test::PrivateRegistry reg_;
  config_test::TempFolder folder_;
  TConfigPlaces places_;
};

TEST_F(QuarantineCommand, ListsDateSenderSubjectAndBlockedNamesOldestFirst) {
  TResult empty = Run({"quarantine", "list"});
  EXPECT_EQ(empty.status, 0);
  EXPECT_EQ(empty.out, "Quarantine folder: " + places_.quarantineFolder +
                           "\nThe quarantine holds no copies.\n");

  Keep("second mail", "Invoice\x1b[2J", {"invoice.exe", "run.js"}, kNow);
  Keep("first", "Hello", {"a.bat"}, kNow - 60);
  TResult listed = Run({"quarantine", "list"});
  EXPECT_EQ(listed.status, 0) << listed.err;
  const std::string& out = listed.out;
  const auto first = out.find("\n1  ");
  const auto second = out.find("\n2  ");
  ASSERT_NE(first, std::string::npos) << out;
  ASSERT_NE(second, std::string::npos) << out;
  EXPECT_LT(first, second);
  EXPECT_NE(out.find("20261209-161430-001.eml  (5 bytes)"), std::string::npos) << out;
  EXPECT_NE(out.find("20261209-161530-001.eml  (11 bytes)"), std::string::npos) << out;
  EXPECT_NE(out.find("   From:    Mallory <m@example.net>\n"), std::string::npos) << out;
  EXPECT_NE(out.find("   Blocked: a.bat\n"), std::string::npos) << out;
  EXPECT_NE(out.find("   Blocked: invoice.exe, run.js\n"), std::string::npos) << out;
  // A sender's escape sequence does not reach the terminal.
  EXPECT_EQ(out.find('\x1b'), std::string::npos) << out;
  EXPECT_NE(out.find("Subject: Invoice?[2J\n"), std::string::npos) << out;
}

TEST_F(QuarantineCommand, ExportsTheMailAsItCameByNumberOrName) {
  const std::string mail = "From: a@b\r\nSubject: x\r\n\r\n.\r\n..dots\r\n\0nul\r\n"s;
  const std::string name = Keep(mail, "x", {"x.exe"}, kNow);
  const auto target = folder_ / "out.eml";
  TResult exported = Run({"quarantine", "export", "1", target.string()});
  EXPECT_EQ(exported.status, 0) << exported.err;
  EXPECT_EQ(exported.out, name + " written to " + target.string() + "\n");
  EXPECT_EQ(ReadFile(target), mail);

  TResult toOutput = Run({"quarantine", "export", name, "-"});
  EXPECT_EQ(toOutput.status, 0);
  EXPECT_EQ(toOutput.out, mail);
}

TEST_F(QuarantineCommand, RemovesOneCopyAndTheOthersMoveUp) {
  Keep("old", "old", {"a.exe"}, kNow - 60);
  const std::string young = Keep("young", "young", {"b.exe"}, kNow);
  TResult removed = Run({"quarantine", "remove", "1"});
  EXPECT_EQ(removed.status, 0) << removed.err;
  ASSERT_EQ(Store().List().size(), 1u);
  EXPECT_EQ(Store().List()[0].FileName, young);
  EXPECT_NE(Run({"quarantine", "list"}).out.find("\n1  "), std::string::npos);
}

TEST_F(QuarantineCommand, RefusesWhatIsNotThereAndWrongCommandLines) {
  Keep("m", "s", {"a.exe"}, kNow);
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{"quarantine", "remove", "2"},
                                             {"quarantine", "export", "0", "x.eml"},
                                             {"quarantine", "remove", "nope.eml"}}) {
    TResult r = Run(args);
    EXPECT_EQ(r.status, 1) << args[2];
    EXPECT_NE(r.err.find("there is no copy"), std::string::npos) << r.err;
  }
  // A target that cannot be written changes nothing in the quarantine.
  TResult unwritable = Run({"quarantine", "export", "1", (folder_ / "no" / "x.eml").string()});
  EXPECT_EQ(unwritable.status, 1);
  EXPECT_EQ(Store().List().size(), 1u);
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{"quarantine"},
                                             {"quarantine", "list", "extra"},
                                             {"quarantine", "export", "1"},
                                             {"quarantine", "purge"}}) {
    TResult r = Run(args);
    EXPECT_EQ(r.status, 2) << r.err;
    EXPECT_NE(r.err.find("Try 'brindlecap-config --help'"), std::string::npos) << r.err;
  }
  EXPECT_EQ(Store().List().size(), 1u);
}

}  // namespace
