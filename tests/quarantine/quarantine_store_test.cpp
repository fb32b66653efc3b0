// The quarantine folder: copies written whole and private, listed, found, exported, removed
// and pruned by age.

#include "quarantine/quarantine_store.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "config_test_support.h"
#include "quarantine/copy_names.h"
#include "quarantine/startup_pruning.h"

namespace {

using config_test::ReadFile;
using config_test::TempFolder;
using config_test::WriteFile;
namespace fs = std::filesystem;

constexpr std::time_t kNow = 1796832930;  // 2026-12-09 16:15:30 UTC
constexpr std::time_t kDay = 24 * 60 * 60;

// Every byte value, bare CR and LF, a lone dot line and a line of two dots: none may change.
std::string AwkwardMail() {
  std::string mail = "From: Mallory <m@example.net>\r\nSubject: odd\r\n\r\n.\r\n..\r\nbare\rcr\n";
  for (int b = 0; b < 256; ++b) mail += static_cast<char>(b);
  return mail + "\r\n";
}

unsigned Mode(const fs::path& p) {
  struct stat st {};
  EXPECT_EQ(::stat(p.c_str(), &st), 0) << p;
  return st.st_mode & 07777;
}

std::string FileStemOf(const std::string& name) {
  return std::string(FileStem(name));
}

std::vector<std::string> Names(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

class QuarantineStoreTest : public ::testing::Test {
 protected:
  fs::path Folder() const { return temp / "data" / "brindlecap" / "quarantine"; }
  TQuarantine Store() const { return TQuarantine(Folder().string()); }
  TCopyRecord Record(const std::string& subject) const {
    TCopyRecord record;
    record.Mailbox = "127.0.0.1/alice";
    record.From = "Mallory <m@example.net>";
    record.Subject = subject;
    record.Blocked = {"a.exe", "b.js"};
    return record;
  }

  TempFolder temp;
};

TEST_F(QuarantineStoreTest, AKeptCopyIsTheMailByteForBytePrivateAndDescribed) {
  const std::string mail = AwkwardMail();
  const std::string name = Store().Keep(mail, Record("odd"), kNow);
  EXPECT_EQ(name, "20261209-161530-001.eml");
  EXPECT_EQ(ReadFile(Folder() / name), mail);
  EXPECT_EQ(Mode(Folder() / name), 0600u);
  EXPECT_EQ(Mode(Folder() / "20261209-161530-001.info"), 0600u);
  // The folder and the parents it needed are the user's alone.
  EXPECT_EQ(Mode(Folder()), 0700u);
  EXPECT_EQ(Mode(Folder().parent_path()), 0700u);
  // No temporary file is left behind.
  EXPECT_EQ(Names(Folder()),
            (std::vector<std::string>{"20261209-161530-001.eml", "20261209-161530-001.info"}));

  auto copies = Store().List();
  ASSERT_EQ(copies.size(), 1u);
  EXPECT_EQ(copies[0].FileName, name);
  EXPECT_EQ(copies[0].Copied, kNow);
  EXPECT_EQ(copies[0].Size, static_cast<std::int64_t>(mail.size()));
  EXPECT_TRUE(copies[0].Described);
  EXPECT_EQ(copies[0].Record, Record("odd"));
  EXPECT_EQ(Store().ReadMail(copies[0]), mail);
}

TEST_F(QuarantineStoreTest, CopiesOfOneSecondGetCountersAndListInTheOrderTheyWereMade) {
  std::vector<std::string> names;
  for (int i = 0; i < 3; ++i) names.push_back(Store().Keep("m", Record(std::to_string(i)), kNow));
  names.push_back(Store().Keep("m", Record("earlier"), kNow - 5));
  EXPECT_EQ(names[0], "20261209-161530-001.eml");
  EXPECT_EQ(names[1], "20261209-161530-002.eml");
  EXPECT_EQ(names[2], "20261209-161530-003.eml");
  EXPECT_EQ(names[3], "20261209-161525-001.eml");
  // A counter past 999 sorts by its number, not by its letters.
  fs::copy_file(Folder() / names[0], Folder() / "20261209-161530-1000.eml");
  std::vector<std::string> listed;
  for (const auto& copy : Store().List()) listed.push_back(copy.FileName);
  EXPECT_EQ(listed, (std::vector<std::string>{names[3], names[0], names[1], names[2],
                                              "20261209-161530-1000.eml"}));
}

TEST_F(QuarantineStoreTest, ANameHeldByAnyFileOrALeftOverDescriptionIsNotTaken) {
  fs::create_directories(Folder());
  WriteFile(Folder() / "20261209-161530-001.eml", "someone else's");
  WriteFile(Folder() / "20261209-161530-002.info", "From: stale\n");
  EXPECT_EQ(Store().Keep("mine", Record("s"), kNow), "20261209-161530-003.eml");
  EXPECT_EQ(ReadFile(Folder() / "20261209-161530-001.eml"), "someone else's");
}

TEST_F(QuarantineStoreTest, AFolderThatCannotBeMadeFailsTheCopyAndLeavesNothing) {
  fs::create_directories(Folder().parent_path());
  WriteFile(Folder(), "a file where the folder should be");
  EXPECT_THROW(Store().Keep("mail", Record("s"), kNow), EQuarantineError);
  EXPECT_EQ(ReadFile(Folder()), "a file where the folder should be");
  EXPECT_EQ(Names(Folder().parent_path()), (std::vector<std::string>{"quarantine"}));
}

TEST_F(QuarantineStoreTest, AReadOnlyFolderFailsTheCopyAndLeavesNothing) {
  if (::geteuid() == 0) GTEST_SKIP() << "permissions do not bind the superuser";
  fs::create_directories(Folder());
  fs::permissions(Folder(), fs::perms::owner_read | fs::perms::owner_exec);
  EXPECT_THROW(Store().Keep("mail", Record("s"), kNow), EQuarantineError);
  fs::permissions(Folder(), fs::perms::owner_all);
  EXPECT_TRUE(Names(Folder()).empty());
}

TEST_F(QuarantineStoreTest, AnOpenFolderOfTheUsersIsNarrowed) {
  fs::create_directories(Folder());
  fs::permissions(Folder(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                fs::perms::others_read | fs::perms::others_exec);
  Store().Keep("mail", Record("s"), kNow);
  EXPECT_EQ(Mode(Folder()), 0700u);
}

TEST_F(QuarantineStoreTest, FindsByNumberOrNameAndRefusesWhatIsNotThere) {
  const std::string first = Store().Keep("one", Record("1"), kNow - 10);
  const std::string second = Store().Keep("two", Record("2"), kNow);
  EXPECT_EQ(Store().Find("1").FileName, first);
  EXPECT_EQ(Store().Find("2").FileName, second);
  EXPECT_EQ(Store().Find(second).FileName, second);
  EXPECT_EQ(Store().Find("20261209-161530-001").FileName, second);
  for (const char* bad : {"0", "3", "-1", "99999999999999999999", "", "x.eml", "../x"}) {
    EXPECT_THROW(Store().Find(bad), EQuarantineError) << bad;
  }
}

TEST_F(QuarantineStoreTest, ExportWritesTheMailAsItCameAndRemoveTakesBothFiles) {
  const std::string mail = AwkwardMail();
  Store().Keep(mail, Record("odd"), kNow);
  const fs::path target = temp / "restored.eml";
  WriteFile(target, "an older file of that name");
  Store().Export(Store().Find("1"), target.string());
  EXPECT_EQ(ReadFile(target), mail);
  EXPECT_EQ(Mode(target), 0600u);
  EXPECT_THROW(Store().Export(Store().Find("1"), (temp / "missing" / "x.eml").string()),
               EQuarantineError);

  Store().Remove(Store().Find("1"));
  EXPECT_TRUE(Store().List().empty());
  EXPECT_TRUE(Names(Folder()).empty());
}

TEST_F(QuarantineStoreTest, ACopyWithoutDescriptionIsListedFromItsOwnHeader) {
  Store().Keep("From: a@b\r\nSubject: hi\r\n\r\nbody\r\n", Record("ignored"), kNow);
  fs::remove(Folder() / "20261209-161530-001.info");
  auto copies = Store().List();
  ASSERT_EQ(copies.size(), 1u);
  EXPECT_FALSE(copies[0].Described);
  EXPECT_EQ(copies[0].Record.From, "a@b");
  EXPECT_EQ(copies[0].Record.Subject, "hi");
  EXPECT_TRUE(copies[0].Record.Blocked.empty());
  // Removing it does not stumble over the missing description.
  Store().Remove(copies[0]);
  EXPECT_TRUE(Store().List().empty());
}

TEST_F(QuarantineStoreTest, AMissingFolderHoldsNoCopies) {
  EXPECT_TRUE(Store().List().empty());
  EXPECT_TRUE(Store().RemoveOlderThan(30, kNow).Removed.empty());
  EXPECT_FALSE(fs::exists(Folder()));
}

TEST_F(QuarantineStoreTest, PruningRemovesOnlyCopiesOlderThanTheDaysAndStaleLeftOvers) {
  const std::string old = Store().Keep("old", Record("old"), kNow - 31 * kDay);
  const std::string edge = Store().Keep("edge", Record("edge"), kNow - 30 * kDay);
  const std::string young = Store().Keep("young", Record("young"), kNow - 29 * kDay);
  WriteFile(Folder() / "notes.txt", "the user's own file");
  WriteFile(Folder() / "20261001-000000-001.info", "From: orphan\n");
  WriteFile(Folder() / ".incoming-stale1", "crash");
  WriteFile(Folder() / ".incoming-fresh1", "in progress");
  const auto longAgo = fs::file_time_type::clock::now() - std::chrono::hours(2);
  fs::last_write_time(Folder() / ".incoming-stale1", longAgo);

  // No limit: only the crash's left-over goes.
  TPruneResult kept = Store().RemoveOlderThan(0, ::time(nullptr));
  EXPECT_TRUE(kept.Removed.empty());
  EXPECT_FALSE(fs::exists(Folder() / ".incoming-stale1"));
  EXPECT_TRUE(fs::exists(Folder() / ".incoming-fresh1"));
  EXPECT_EQ(Store().List().size(), 3u);

  TPruneResult pruned = Store().RemoveOlderThan(30, kNow);
  EXPECT_EQ(pruned.Removed, std::vector<std::string>{old});
  EXPECT_TRUE(pruned.Errors.empty());
  EXPECT_EQ(Names(Folder()),
            (std::vector<std::string>{".incoming-fresh1", FileStemOf(edge) + ".eml",
                                      FileStemOf(edge) + ".info", FileStemOf(young) + ".eml",
                                      FileStemOf(young) + ".info", "notes.txt"}));
}

TEST_F(QuarantineStoreTest, StartUpPruningLogsEachCopyItRemoves) {
  config_test::PrivateRegistry registry;
  registry.WriteKey("\"QuarantineDays\"=dword:00000002\n");
  const std::string old = Store().Keep("old", Record("old"), kNow - 3 * kDay);
  Store().Keep("young", Record("young"), kNow - 1 * kDay);
  std::vector<std::string> lines;
  PruneQuarantineAtStart(Folder().string(), kNow,
                         [&lines](const std::string& line) { lines.push_back(line); });
  EXPECT_EQ(lines, std::vector<std::string>{"Quarantine copy removed (older than 2 days): " +
                                            (Folder() / old).string()});
  EXPECT_EQ(Store().List().size(), 1u);
}

}  // namespace
