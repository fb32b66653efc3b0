// The names and descriptions of quarantine copies.

#include <gtest/gtest.h>

#include "quarantine/copy_names.h"
#include "quarantine/copy_record.h"

namespace {

// 2026-12-09 16:15:30 UTC
constexpr std::time_t kMoment = 1796832930;

TEST(CopyNames, CarryTheMomentInUtcAndACounterAndReadBack) {
  EXPECT_EQ(CopyStem(kMoment, 1), "20261209-161530-001");
  EXPECT_EQ(CopyStem(kMoment, 1234), "20261209-161530-1234");
  auto parsed = ParseCopyName("20261209-161530-001.eml");
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->moment, kMoment);
  EXPECT_EQ(parsed->counter, 1u);
  auto wide = ParseCopyName("20261209-161530-1234.eml");
  ASSERT_TRUE(wide);
  EXPECT_EQ(wide->counter, 1234u);
}

TEST(CopyNames, OtherNamesAreNotCopies) {
  for (const char* name :
       {"20261209-161530-001.info", "20261209-161530-001", "20261209-161530-01.eml",
        "20261309-161530-001.eml", "20260230-161530-001.eml", "20261209-251530-001.eml",
        "2026120x-161530-001.eml", "20261209_161530-001.eml", ".incoming-abc123", "mail.eml",
        "20261209-161530-0011111111.eml", ""}) {
    EXPECT_FALSE(ParseCopyName(name)) << name;
  }
}

TEST(CopyRecord, RoundTripsEveryByteAndNoValueBreaksALine) {
  TCopyRecord record;
  record.Mailbox = "pop.example.org/alice";
  record.From = "\"M\xe4llory\" <mallory@example.net>";
  record.To = "alice@example.org";
  record.Subject = "100% sure\r\nBlocked: fake.txt\tand a tab";
  record.Blocked = {"evil.exe", "", "line\nbreak.bat", "%41.js"};
  const std::string text = FormatCopyRecord(record, kMoment);
  EXPECT_EQ(text.find("\nBlocked: fake.txt"), std::string::npos) << text;
  EXPECT_NE(text.find("Copied: 2026-12-09 16:15:30 UTC\n"), std::string::npos) << text;
  EXPECT_EQ(ParseCopyRecord(text), record);
}

TEST(CopyRecord, ReadingSkipsUnknownLinesAndAcceptsCrLf) {
  TCopyRecord record = ParseCopyRecord(
      "Copied: whenever\r\nNote: added by hand\r\nFrom: a@b\r\nBlocked: x.exe\r\nno colon\r\n"
      "Blocked: y.com");
  EXPECT_EQ(record.From, "a@b");
  EXPECT_EQ(record.Blocked, (std::vector<std::string>{"x.exe", "y.com"}));
  // A "%" not followed by two hex digits stays as it is.
  EXPECT_EQ(ParseCopyRecord("Subject: 50%-off %4").Subject, "50%-off %4");
}

TEST(CopyRecord, FromTheMailHeaderTakesTheFirstFieldsUnfoldedAndStopsAtTheBody) {
  const std::string mail =
      "Received: from x\r\n"
      "SUBJECT: first part\r\n"
      "\tsecond part\r\n"
      "from:   Mallory <m@example.net>\r\n"
      "From: second@example.net\r\n"
      "X-To: not this\r\n"
      "\r\n"
      "To: in the body\r\n";
  TCopyRecord record = RecordFromMailHeader(mail);
  EXPECT_EQ(record.Subject, "first part\tsecond part");
  EXPECT_EQ(record.From, "Mallory <m@example.net>");
  EXPECT_EQ(record.To, "");
  EXPECT_TRUE(record.Blocked.empty());
}

}  // namespace
