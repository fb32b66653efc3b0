#include "pop3/receive_buffer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// Feeds text as the client does on each data event: a read of at most Room() bytes, or a
// forced line end when the buffer is full; then every complete line is taken.
struct Feeder {
  TPop3ReceiveBuffer buffer;
  std::vector<std::string> lines;
  std::vector<bool> complete;

  // Returns how many bytes of `text` were consumed by one event.
  std::size_t Event(const std::string& text) {
    std::size_t used = 0;
    if (buffer.Room() > 0) {
      used = std::min<std::size_t>(text.size(), std::size_t(buffer.Room()));
      std::memcpy(buffer.WritePosition(), text.data(), used);
      buffer.Commit(int(used));
    } else {
      buffer.ForceLineEnd();
    }
    std::string line;
    bool done = false;
    while (buffer.TakeLine(line, done)) {
      lines.push_back(line);
      complete.push_back(done);
    }
    return used;
  }
  void All(std::string text) {
    for (;;) {
      std::size_t used = Event(text);
      text.erase(0, used);
      if (text.empty() && buffer.Room() > 0) break;
    }
  }
};

}  // namespace

TEST(ReceiveBuffer, LineSplitOverReadsAndSeveralLinesInOneRead) {
  Feeder f;
  f.Event("+OK hel");
  EXPECT_TRUE(f.lines.empty());
  f.Event("lo\r");
  EXPECT_TRUE(f.lines.empty());
  f.Event("\nline2\r\nline3\r\n\r\nrest");
  ASSERT_EQ(f.lines.size(), 4u);
  EXPECT_EQ(f.lines[0], "+OK hello");
  EXPECT_EQ(f.lines[1], "line2");
  EXPECT_EQ(f.lines[2], "line3");
  EXPECT_EQ(f.lines[3], "");
  EXPECT_EQ(f.buffer.Length(), 4);
  for (bool c : f.complete) EXPECT_TRUE(c);
  // The held rest joins the next read.
  f.Event(" of it\r\nx");
  ASSERT_EQ(f.lines.size(), 5u);
  EXPECT_EQ(f.lines[4], "rest of it");
  EXPECT_EQ(f.buffer.Length(), 1);
  EXPECT_EQ(f.buffer.Room(), 4092);
}

TEST(ReceiveBuffer, LoneCrOrLfEndsNothing) {
  Feeder f;
  f.Event("a\rb\nc\n\r");
  EXPECT_TRUE(f.lines.empty());
  f.Event("\n");
  ASSERT_EQ(f.lines.size(), 1u);
  EXPECT_EQ(f.lines[0], "a\rb\nc\n");
}

TEST(ReceiveBuffer, ZeroBytesStayInTheLine) {
  Feeder f;
  f.Event(std::string("ab\0cd\r\n\0\r\n", 10));
  ASSERT_EQ(f.lines.size(), 2u);
  EXPECT_EQ(f.lines[0], std::string("ab\0cd", 5));
  EXPECT_EQ(f.lines[1], std::string("\0", 1));
}

TEST(ReceiveBuffer, LongLineArrivesAsForcedPiecesThenTheRest) {
  Feeder f;
  std::string line(10000, 'x');
  for (std::size_t i = 0; i < line.size(); ++i) line[i] = char('a' + i % 26);
  f.All(line + "\r\nnext\r\n");
  ASSERT_EQ(f.lines.size(), 4u);
  EXPECT_EQ(f.lines[0].size(), 4093u);
  EXPECT_EQ(f.lines[1].size(), 4093u);
  EXPECT_EQ(f.lines[2].size(), 10000u - 2 * 4093u);
  EXPECT_EQ(f.lines[0] + f.lines[1] + f.lines[2], line);
  EXPECT_FALSE(f.complete[0]);
  EXPECT_FALSE(f.complete[1]);
  EXPECT_TRUE(f.complete[2]);
  EXPECT_EQ(f.lines[3], "next");
  EXPECT_TRUE(f.complete[3]);
}

TEST(ReceiveBuffer, ExactlyFullBufferIsForcedOnlyAtTheNextEvent) {
  Feeder f;
  f.Event(std::string(4093, 'y'));
  EXPECT_TRUE(f.lines.empty());
  EXPECT_EQ(f.buffer.Room(), 0);
  f.Event("\r\n");  // nothing is read in the forcing event
  ASSERT_EQ(f.lines.size(), 1u);
  EXPECT_FALSE(f.complete[0]);
  f.Event("\r\n");  // the server's own line end now makes an empty, complete line
  ASSERT_EQ(f.lines.size(), 2u);
  EXPECT_EQ(f.lines[1], "");
  EXPECT_TRUE(f.complete[1]);
}

TEST(ReceiveBuffer, LineThatFillsTheBufferWithItsEndIsComplete) {
  Feeder f;
  std::string line(4091, 'z');
  f.Event(line + "\r\n");
  ASSERT_EQ(f.lines.size(), 1u);
  EXPECT_TRUE(f.complete[0]);
  EXPECT_EQ(f.lines[0], line);
}
