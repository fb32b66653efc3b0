#include "pop3/receive_buffer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

// Feeds text as the client does on each data event: a read of at most Room() bytes, or a
// forced line end when the buffer is full; then every complete line is taken.
struct Feeder {
  TPop3ReceiveBuffer buffer;
  std::vector<std::string> lines;
  std::vector<bool> complete;

  // Returns how many bytes of `text` were consumed by one event.
  std::size_t Event(std::string_view text) {
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

namespace {

// Plays what the client sees when `text` arrives in reads cut at `cuts`: each data event reads
// at most Room() of what has arrived so far, or forces a line end when the buffer is full; the
// socket raises events while bytes wait or the buffer is full. The pieces are joined back into
// lines by their complete flags.
std::vector<std::string> JoinedLines(const std::string& text,
                                     const std::vector<std::size_t>& cuts) {
  Feeder f;
  std::size_t arrived = 0;
  std::size_t read = 0;
  std::vector<std::size_t> ends = cuts;
  ends.push_back(text.size());
  for (std::size_t end : ends) {
    arrived = end;
    while (read < arrived || f.buffer.Room() <= 0) {
      read += f.Event(std::string_view(text).substr(read, arrived - read));
    }
  }
  std::vector<std::string> joined;
  std::string current;
  for (std::size_t i = 0; i < f.lines.size(); ++i) {
    current += f.lines[i];
    if (f.complete[i]) {
      joined.push_back(current);
      current.clear();
    }
  }
  EXPECT_EQ(current, "") << "a piece was left without its end";
  EXPECT_EQ(f.buffer.Length(), 0);
  return joined;
}

std::string Patterned(std::size_t length) {
  std::string line(length, ' ');
  for (std::size_t i = 0; i < length; ++i) line[i] = char('A' + i % 23);
  return line;
}

}  // namespace

// A CR at the end of one full buffer and the LF at the start of the next read are the line's
// end, so the line after it is seen whole: a closing dot or a stuffed dot keeps its meaning.
TEST(ReceiveBuffer, LineEndAtTheEdgeOfAFullBufferEndsTheLineForEverySplit) {
  for (std::size_t length : {4090u, 4091u, 4092u, 4093u, 4094u, 8185u, 8186u, 12279u}) {
    const std::string line = Patterned(length);
    // One read, and every byte a read of its own, with the long line twice in a row.
    const std::string twice = line + "\r\n..stuffed\r\n" + line + "\r\n.\r\n";
    const std::vector<std::string> expectedTwice = {line, "..stuffed", line, "."};
    EXPECT_EQ(JoinedLines(twice, {}), expectedTwice) << length;
    std::vector<std::size_t> everyByte;
    for (std::size_t at = 1; at < twice.size(); ++at) everyByte.push_back(at);
    EXPECT_EQ(JoinedLines(twice, everyByte), expectedTwice) << length;
    // Every cut into two reads. Pieces are cut where the buffer fills, whatever the reads,
    // so past one piece only the cuts near a piece's edge or the line's end tell anything new.
    const std::string text = line + "\r\n..stuffed\r\n.\r\n";
    const std::vector<std::string> expected = {line, "..stuffed", "."};
    for (std::size_t at = 1; at < text.size(); ++at) {
      const std::size_t fromEdge = std::min(at % 4093, 4093 - at % 4093);
      const bool nearEnd = at + 16 > length && at < length + 16;
      if (length > 4094 && fromEdge > 8 && !nearEnd && at % 97 != 0) continue;
      ASSERT_EQ(JoinedLines(text, {at}), expected) << length << " cut at " << at;
    }
  }
}

// Each of the three bytes that decide the edge may arrive in its own read.
TEST(ReceiveBuffer, LoneCrInTheLastPlaceStaysPartOfTheLine) {
  const std::string head = Patterned(4092);
  for (const std::string& after : {std::string("x"), std::string("\r"), std::string("\r\r")}) {
    const std::string line = head + "\r" + after;
    const std::string text = line + "\r\n.\r\n";
    for (std::size_t a = 4090; a < text.size(); ++a) {
      for (std::size_t b = a + 1; b < text.size(); ++b) {
        ASSERT_EQ(JoinedLines(text, {a, b}), (std::vector<std::string>{line, "."}))
            << after.size() << " cuts " << a << " " << b;
      }
    }
  }
}

TEST(ReceiveBuffer, ClearForgetsAHeldCrAndItsByte) {
  Feeder f;
  f.Event(Patterned(4092) + "\r");
  EXPECT_EQ(f.buffer.Room(), 1);
  f.Event("y");
  f.buffer.Clear();
  EXPECT_EQ(f.buffer.Length(), 0);
  f.Event("+OK\r\n");
  ASSERT_EQ(f.lines.size(), 1u);
  EXPECT_EQ(f.lines[0], "+OK");
  EXPECT_TRUE(f.complete[0]);
}
