#include "app/text_table.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "app/program_folder.h"

namespace {

class TextTableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearTextTable();
    // Test cases run as parallel processes: each gets a folder of its own.
    dir_ = std::filesystem::path(::testing::TempDir()) / ("text table " + std::to_string(getpid()));
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override {
    ClearTextTable();
    std::filesystem::remove_all(dir_);
  }
  std::string Write(const std::string& name, const std::string& content) {
    std::filesystem::path file = dir_ / name;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << content;
    return file.string();
  }
  std::filesystem::path dir_;
};

TEST_F(TextTableTest, NamePartMustBeExactlyTheDigits) {
  LoadTextTable(Write("a.ini", "100 =with blank\r\n 101=leading blank\r\n100=OK\r\n"));
  EXPECT_EQ(GetTextById(100), "OK");
  EXPECT_EQ(GetTextById(101), "");
}

TEST_F(TextTableTest, TextIsEverythingAfterTheFirstEqualsSignUnchanged) {
  LoadTextTable(Write("a.ini", "120=\n121=a=b=c\n122=  padded  \n123=\"quoted\"\\n\n"));
  EXPECT_EQ(GetTextById(120), "");
  EXPECT_EQ(GetTextById(121), "a=b=c");
  EXPECT_EQ(GetTextById(122), "  padded  ");
  EXPECT_EQ(GetTextById(123), "\"quoted\"\\n");
}

TEST_F(TextTableTest, FirstDefinitionWinsAndOtherLinesAreSkipped) {
  LoadTextTable(
      Write("a.ini", "[Section]\n; comment\n\n104=first\n[Other]\n104=second\nno equals sign\n"));
  EXPECT_EQ(GetTextById(104), "first");
}

TEST_F(TextTableTest, LineEndsOfEveryKindSplitLines) {
  LoadTextTable(Write("a.ini", "1=crlf\r\n2=lf\n3=cr\r4=last"));
  EXPECT_EQ(GetTextById(1), "crlf");
  EXPECT_EQ(GetTextById(2), "lf");
  EXPECT_EQ(GetTextById(3), "cr");
  EXPECT_EQ(GetTextById(4), "last");
}

TEST_F(TextTableTest, NulByteEndsTheText) {
  LoadTextTable(Write("a.ini", std::string("1=before\n2=cut\0here\n3=gone\n", 27)));
  EXPECT_EQ(GetTextById(1), "before");
  EXPECT_EQ(GetTextById(2), "cut");
  EXPECT_EQ(GetTextById(3), "");
}

TEST_F(TextTableTest, MissingOrUnreadableFileLeavesTheTableEmpty) {
  LoadTextTable((dir_ / "absent.ini").string());
  EXPECT_EQ(GetTextById(100), "");
  // A folder where the file should be is no file either.
  std::filesystem::create_directories(dir_ / "folder.ini");
  LoadTextTable((dir_ / "folder.ini").string());
  EXPECT_EQ(GetTextById(100), "");
}

TEST_F(TextTableTest, BytesAreKeptAsTheyAre) {
  // Windows-1252 "ä" and UTF-8 "ü" side by side: neither is converted.
  LoadTextTable(Write("a.ini", "1=\xe4\n2=\xc3\xbc\n"));
  EXPECT_EQ(GetTextById(1), "\xe4");
  EXPECT_EQ(GetTextById(2), "\xc3\xbc");
}

TEST_F(TextTableTest, NegativeAndZeroIdsAreLookedUpAsWritten) {
  LoadTextTable(Write("a.ini", "0=caption\n-5=minus\n007=padded\n"));
  EXPECT_EQ(GetTextById(0), "caption");
  EXPECT_EQ(GetTextById(-5), "minus");
  EXPECT_EQ(GetTextById(7), "");
}

TEST_F(TextTableTest, FolderWithBlanksAndNonAsciiLettersIsFound) {
  std::string program = (dir_ / "Mein Ordner \xc3\xbc" / "brindlecap").string();
  Write("Mein Ordner \xc3\xbc/Server.ini", "201=gefunden\n");
  InitProgramFolder(program);
  LoadTextTable(ProgramFile("Server.ini"));
  EXPECT_EQ(GetTextById(201), "gefunden");
  InitProgramFolder("");
}

TEST(ProgramFolder, IsThePathUpToTheLastSlash) {
  EXPECT_EQ(FolderOfProgramFile("/opt/guard/brindlecap"), "/opt/guard");
  EXPECT_EQ(FolderOfProgramFile("/brindlecap"), "");
  EXPECT_EQ(FolderOfProgramFile("/a b/\xc3\xa4/x"), "/a b/\xc3\xa4");
  InitProgramFolder("/brindlecap");
  EXPECT_EQ(ProgramFile("Server.ini"), "/Server.ini");
  InitProgramFolder("");
}

TEST(ProgramFolder, ComesFromTheRunningProgramFile) {
  InitProgramFolder();
  std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe");
  EXPECT_EQ(ProgramFolder(), self.parent_path().string());
  InitProgramFolder("");
}

}  // namespace
