#include "net/wsock_buf.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string PendingText(const TBuffer& b) {
  auto [p, n] = b.Pending();
  return std::string(reinterpret_cast<const char*>(p), static_cast<std::size_t>(n));
}

TEST(TBuffer, AppendTakesWhatFitsAndAFullBlockTakesNothing) {
  TBuffer b(8);
  EXPECT_EQ(b.Append("hello", 5), 5);
  EXPECT_EQ(b.Append("world", 5), 3);
  EXPECT_EQ(b.FreeSpace(), 0);
  EXPECT_EQ(b.Append("x", 1), 0);
  EXPECT_EQ(PendingText(b), "hellowor");
}

TEST(TBuffer, ConsumeAdvancesAndADrainedBlockStartsAgain) {
  TBuffer b(8);
  b.Append("abcdef", 6);
  EXPECT_EQ(b.Consume(2), 2);
  EXPECT_EQ(PendingText(b), "cdef");
  EXPECT_EQ(b.Consume(100), 4);
  EXPECT_EQ(b.Pending().second, 0);
  EXPECT_EQ(b.WriteCount(), 0);
  EXPECT_EQ(b.ReadCount(), 0);
  EXPECT_EQ(b.Append("12345678", 8), 8);
  EXPECT_EQ(b.Consume(-3), 0);
}

TEST(TBuffer, ResizeKeepsUnsentBytes) {
  TBuffer b(0);
  EXPECT_EQ(b.Size(), 1514);
  b.Resize(4);
  b.Append("abcd", 4);
  b.Consume(1);
  b.Resize(16);
  EXPECT_EQ(PendingText(b), "bcd");
  EXPECT_EQ(b.Append("efg", 3), 3);
  EXPECT_EQ(PendingText(b), "bcdefg");
  // Shrinking below the bytes held keeps what fits instead of writing past the new block.
  b.Resize(4);
  EXPECT_EQ(PendingText(b), "bcd");
}

}  // namespace
