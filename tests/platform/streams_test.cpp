#include "platform/streams.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

std::string TempPath(const char* name) {
  return std::string(::testing::TempDir()) + "/streams_test_" + std::to_string(::getpid()) + "_" +
         name;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(MemoryStream, ReadWriteSeekAndGapFill) {
  TMemoryStream m;
  m.WriteString("hello");
  EXPECT_EQ(m.Position(), 5);
  EXPECT_EQ(m.Size(), 5);
  m.SetPosition(8);  // beyond the end: the write fills the gap with zero bytes
  m.WriteString("!");
  EXPECT_EQ(m.DataString(), std::string("hello\0\0\0!", 9));

  m.SetPosition(1);
  char buf[16];
  EXPECT_EQ(m.Read(buf, 3), 3);
  EXPECT_EQ(std::string(buf, 3), "ell");
  m.Seek(-2, TSeekOrigin::soEnd);
  EXPECT_EQ(m.Read(buf, 16), 2);
  EXPECT_EQ(m.Read(buf, 16), 0);  // at the end
  EXPECT_THROW(m.Seek(-1, TSeekOrigin::soBeginning), EStreamError);
}

TEST(MemoryStream, SetSizeClampsPositionAndClearRewinds) {
  TMemoryStream m("abcdef");
  m.Seek(0, TSeekOrigin::soEnd);
  m.SetSize(2);
  EXPECT_EQ(m.Position(), 2);
  EXPECT_EQ(m.DataString(), "ab");
  m.SetSize(4);
  EXPECT_EQ(m.DataString(), std::string("ab\0\0", 4));
  m.Clear();
  EXPECT_EQ(m.Size(), 0);
  EXPECT_EQ(m.Position(), 0);
}

TEST(MemoryStream, ReadBufferRaisesOnShortData) {
  TMemoryStream m("abc");
  char buf[4];
  EXPECT_THROW(m.ReadBuffer(buf, 4), EStreamError);
}

TEST(MemoryStream, CopyFromTakesTheRestOrAnExactCount) {
  TMemoryStream src("0123456789");
  src.SetPosition(4);
  TMemoryStream dst;
  EXPECT_EQ(dst.CopyFrom(src), 6);
  EXPECT_EQ(dst.DataString(), "456789");
  src.SetPosition(8);
  EXPECT_THROW(dst.CopyFrom(src, 5), EStreamError);  // only two bytes are left
}

TEST(MemoryStream, LoadFromStreamReadsTheWholeSourceAndRewinds) {
  TMemoryStream src("full content");
  src.SetPosition(5);
  TMemoryStream m("old");
  m.SetPosition(2);
  m.LoadFromStream(src);
  EXPECT_EQ(m.DataString(), "full content");
  EXPECT_EQ(m.Position(), 0);
}

TEST(FileStream, SaveLoadRoundTripKeepsEveryByte) {
  const std::string path = TempPath("roundtrip");
  std::string bytes("a\r\nb\0c\xff\n", 8);
  TMemoryStream m(bytes);
  m.SaveToFile(path);
  EXPECT_EQ(ReadFile(path), bytes);
  TMemoryStream back;
  back.LoadFromFile(path);
  EXPECT_EQ(back.DataString(), bytes);
  std::remove(path.c_str());
}

TEST(FileStream, CreateTruncatesAndOpenModesWork) {
  const std::string path = TempPath("modes");
  {
    TFileStream f(path, TFileMode::fmCreate);
    f.WriteString("long old content");
  }
  {
    TFileStream f(path, TFileMode::fmCreate);
    f.WriteString("new");
    EXPECT_EQ(f.Size(), 3);
  }
  {
    TFileStream f(path, TFileMode::fmOpenReadWrite);
    f.Seek(0, TSeekOrigin::soEnd);
    f.WriteString("er");
    f.SetSize(4);
    EXPECT_EQ(f.Position(), 4);
  }
  EXPECT_EQ(ReadFile(path), "newe");
  {
    TFileStream f(path, TFileMode::fmOpenRead);
    char buf[8];
    EXPECT_EQ(f.Read(buf, 8), 4);
    EXPECT_THROW(f.WriteString("x"), EStreamError);  // read-only handle
  }
  std::remove(path.c_str());
}

TEST(FileStream, MissingFileOrFolderRaisesOpenErrorWithThePath) {
  const std::string path = TempPath("does_not_exist");
  try {
    TFileStream f(path, TFileMode::fmOpenRead);
    FAIL() << "opened a missing file";
  } catch (const EFOpenError& e) {
    EXPECT_NE(std::string(e.what()).find(path), std::string::npos);
  }
  EXPECT_THROW(TFileStream(::testing::TempDir(), TFileMode::fmOpenRead), EFOpenError);
  TMemoryStream m("kept");
  EXPECT_THROW(m.LoadFromFile(path), EFOpenError);
  EXPECT_EQ(m.DataString(), "kept");
}

}  // namespace
