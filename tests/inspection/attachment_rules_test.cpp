// Attachment names from part header lines, their extensions and the blocked list.

#include <gtest/gtest.h>

#include "inspection/attachment_name.h"
#include "inspection/file_extension.h"

namespace {

TEST(AttachmentName, QuotedValueGivesTheTextBetweenTheQuotes) {
  EXPECT_EQ(AttachmentNameFromPartHeaderLine("Content-Disposition: attachment; filename=\"a.exe\""),
            "a.exe");
  EXPECT_EQ(AttachmentNameFromPartHeaderLine(
                "Content-Disposition: attachment; filename=\"a.exe\"; size=1234"),
            "a.exe");
  // The decoder hands over folded lines unfolded.
  EXPECT_EQ(AttachmentNameFromPartHeaderLine(
                "Content-Disposition: attachment;\tfilename=\"my file.pdf\""),
            "my file.pdf");
  EXPECT_EQ(AttachmentNameFromPartHeaderLine("Content-Disposition: attachment; filename=\"\""), "");
}

TEST(AttachmentName, KeywordsIgnoreCaseButTheNameKeepsItsOwn) {
  EXPECT_EQ(
      AttachmentNameFromPartHeaderLine("content-disposition: ATTACHMENT; FileName=\"Setup.EXE\""),
      "Setup.EXE");
}

TEST(AttachmentName, NeedsBothTheDispositionAndTheFilenameParameter) {
  EXPECT_FALSE(AttachmentNameFromPartHeaderLine("Content-Disposition: inline; filename=\"a.exe\""));
  EXPECT_FALSE(
      AttachmentNameFromPartHeaderLine("Content-Type: application/x-msdownload; name=\"a.exe\""));
  EXPECT_FALSE(AttachmentNameFromPartHeaderLine("Content-Disposition: attachment"));
  EXPECT_FALSE(AttachmentNameFromPartHeaderLine(""));
}

TEST(AttachmentName, UnquotedValueKeepsItsFirstCharacterAndStopsAtTheNextParameter) {
  EXPECT_EQ(AttachmentNameFromPartHeaderLine("Content-Disposition: attachment; filename=a.exe"),
            "a.exe");
  // Otherwise "a.exe; size=3" would have the extension "exe; size=3" and slip through.
  EXPECT_EQ(
      AttachmentNameFromPartHeaderLine("Content-Disposition: attachment; filename=a.exe; size=3"),
      "a.exe");
  EXPECT_EQ(AttachmentNameFromPartHeaderLine("Content-Disposition: attachment; filename=a.exe "),
            "a.exe");
  EXPECT_EQ(AttachmentNameFromPartHeaderLine("Content-Disposition: attachment; filename="), "");
}

TEST(FileExtensionRule, TakesTheTextAfterTheLastDotBeforeTheLastCharacter) {
  EXPECT_EQ(FileExtension("SETUP.EXE", '.'), "EXE");
  EXPECT_EQ(FileExtension("A.TAR.EXE", '.'), "EXE");
  EXPECT_EQ(FileExtension(".EXE", '.'), "EXE");
  EXPECT_EQ(FileExtension("A.B.", '.'), "B.");
  EXPECT_EQ(FileExtension("", '.'), "");
  EXPECT_EQ(FileExtension("README", '.'), "");
  EXPECT_EQ(FileExtension("A.", '.'), "");
  EXPECT_FALSE(HasFileExtension("A.", '.'));
  EXPECT_FALSE(HasFileExtension(".", '.'));
  EXPECT_TRUE(HasFileExtension("A.B.", '.'));
}

TEST(BlockedExtensions, GroupsInTheirOrderThenTheUsersEntriesAsWritten) {
  TBlockSettings all;
  all.OthersText = "pif, scr";
  EXPECT_EQ(BuildBlockedExtensions(all),
            (std::vector<std::string>{"JS", "WSH", "VBS", "WSC", "VBE", "VB", "SCT", "EXE", "COM",
                                      "BAT", "pif", " scr"}));
  TBlockSettings programsOnly{false, true, false, "pif"};
  EXPECT_EQ(BuildBlockedExtensions(programsOnly), (std::vector<std::string>{"EXE", "COM", "BAT"}));
  TBlockSettings none{false, false, false, ""};
  EXPECT_TRUE(BuildBlockedExtensions(none).empty());
}

TEST(BlockedExtensions, OthersListSplitsAtEveryCommaKeepingEmptyEntries) {
  EXPECT_EQ(ParseOthersList(""), (std::vector<std::string>{""}));
  EXPECT_EQ(ParseOthersList("pif"), (std::vector<std::string>{"pif"}));
  EXPECT_EQ(ParseOthersList("pif,,scr"), (std::vector<std::string>{"pif", "", "scr"}));
  EXPECT_EQ(ParseOthersList("pif,"), (std::vector<std::string>{"pif", ""}));
  EXPECT_EQ(ParseOthersList(",pif"), (std::vector<std::string>{"", "pif"}));
}

TEST(BlockedExtensions, LookupIgnoresCaseButNotBlanks) {
  const auto lower = BuildBlockedExtensions({false, false, true, "pif,scr"});
  EXPECT_TRUE(IsBlockedAttachment("x.PIF", lower));
  EXPECT_TRUE(IsBlockedAttachment("x.Scr", lower));
  const auto spaced = BuildBlockedExtensions({false, false, true, "PIF, SCR"});
  EXPECT_TRUE(IsBlockedAttachment("x.pif", spaced));
  EXPECT_FALSE(IsBlockedAttachment("x.SCR", spaced));
  const auto defaults = BuildBlockedExtensions({});
  EXPECT_TRUE(IsBlockedAttachment("Setup.exe", defaults));
  EXPECT_TRUE(IsBlockedAttachment("a.b.Js", defaults));
  EXPECT_FALSE(IsBlockedAttachment("report.pdf", defaults));
  EXPECT_FALSE(IsBlockedAttachment("setup.exe.txt", defaults));
}

TEST(BlockedExtensions, EmptyNameMatchesTheEmptyEntryButDotlessNamesMatchNothing) {
  const auto defaults = BuildBlockedExtensions({});  // empty user list: one empty entry
  EXPECT_TRUE(IsBlockedAttachment("", defaults));
  EXPECT_FALSE(IsBlockedAttachment("README", defaults));
  EXPECT_FALSE(IsBlockedAttachment("A.", defaults));
  EXPECT_FALSE(IsBlockedAttachment("", BuildBlockedExtensions({true, true, false, ""})));
}

}  // namespace
