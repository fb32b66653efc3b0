#include "platform/string_list.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <stdexcept>

#include "platform/streams.h"

namespace {

std::vector<std::string> Lines(const TStringList& l) {
  return {l.begin(), l.end()};
}

TEST(StringList, SplitsAtEveryKindOfLineEnd) {
  TStringList l;
  l.SetText("a\r\nb\rc\nd\n\re\r\r\nf");
  // "\n\r" is two line ends (LF, then CR), "\r\r\n" is CR then CR LF.
  EXPECT_EQ(Lines(l), (std::vector<std::string>{"a", "b", "c", "d", "", "e", "", "f"}));
  l.SetText("x\r\n");
  EXPECT_EQ(Lines(l), std::vector<std::string>{"x"});
  l.SetText("\r\n");
  EXPECT_EQ(Lines(l), std::vector<std::string>{""});
  l.SetText("");
  EXPECT_EQ(l.Count(), 0);
}

TEST(StringList, ZeroByteIsDataOrEndOfText) {
  TStringList l;
  const std::string text("1=a\0b\r\n2=c\r\n", 12);
  l.SetText(text);
  ASSERT_EQ(l.Count(), 2);
  EXPECT_EQ(l[0], std::string("1=a\0b", 5));
  l.SetText(text, TNulHandling::nulEndsText);
  EXPECT_EQ(Lines(l), std::vector<std::string>{"1=a"});
}

TEST(StringList, TextWritesCrLfAfterEveryLine) {
  TStringList l;
  l.Add("one");
  l.Add("");
  l.Insert(0, "zero");
  EXPECT_EQ(l.Text(), "zero\r\none\r\n\r\n");
  l.Delete(1);
  EXPECT_EQ(l.Text(), "zero\r\n\r\n");
  EXPECT_THROW(l.Delete(2), std::out_of_range);
  EXPECT_THROW(l.Insert(3, "x"), std::out_of_range);
  EXPECT_THROW(l[-1], std::out_of_range);
}

TEST(StringList, LookupsIgnoreCaseUnlessAsked) {
  TStringList l;
  l.SetText("[Section]\r\nEXE\r\n100 =blank\r\n100=first\r\n100=second=more\r\n120=\r\n");
  EXPECT_EQ(l.IndexOf("exe"), 1);
  EXPECT_EQ(l.IndexOfName("100"), 3);   // "100 " is not the name 100
  EXPECT_EQ(l.Values("100"), "first");  // the first definition wins
  EXPECT_EQ(l.ValueFromIndex(4), "second=more");
  EXPECT_EQ(l.Names(4), "100");
  EXPECT_EQ(l.IndexOfName("120"), 5);
  EXPECT_EQ(l.Values("120"), "");
  EXPECT_EQ(l.IndexOfName("[section]"), -1);
  EXPECT_EQ(l.Names(0), "");
  l.CaseSensitive = true;
  EXPECT_EQ(l.IndexOf("exe"), -1);
  EXPECT_EQ(l.IndexOf("EXE"), 1);
}

TEST(StringList, LoadsFromStreamPositionAndSavesToFile) {
  TMemoryStream m("skip\r\nkeep1\nkeep2");
  m.SetPosition(6);
  TStringList l;
  l.LoadFromStream(m);
  EXPECT_EQ(Lines(l), (std::vector<std::string>{"keep1", "keep2"}));

  const std::string path =
      std::string(::testing::TempDir()) + "/string_list_test_" + std::to_string(::getpid());
  l.SaveToFile(path);
  TStringList back;
  back.LoadFromFile(path);
  EXPECT_EQ(Lines(back), Lines(l));
  TMemoryStream raw;
  raw.LoadFromFile(path);
  EXPECT_EQ(raw.DataString(), "keep1\r\nkeep2\r\n");
  std::remove(path.c_str());

  EXPECT_THROW(back.LoadFromFile(path), EFOpenError);
  EXPECT_EQ(back.Count(), 2);  // a failed load leaves the list as it was
}

}  // namespace
