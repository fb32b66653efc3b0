// Line mode: lines split across arrivals, several per arrival, limits, editing and echo,
// switching the mode while a line is being read, and the last line at close.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <random>

#include "net/wsocket.h"
#include "net_test_util.h"

using namespace nettest;

namespace {

class LineModeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    listenFd = PlainListen(port);
    sock.SetAddr("127.0.0.1");
    sock.SetPort(std::to_string(port));
    sock.OnSessionClosed = [this](TCustomWSocket*, std::uint16_t) { lines.push_back("<closed>"); };
    sock.Connect();
    peer = PlainAccept(listenFd);
    ASSERT_GE(peer, 0);
    ASSERT_TRUE(PumpUntil([&] { return sock.State() == wsConnected; }));
    sock.SetLineMode(true);
  }
  void TearDown() override {
    if (peer >= 0) close(peer);
    close(listenFd);
  }
  // Each line delivered is read whole and recorded with the count announced for it.
  void ReadWholeLines() {
    sock.OnDataAvailable = [this](TCustomWSocket* s, std::uint16_t) {
      std::int32_t announced = s->RcvdCount();
      std::string line = s->ReceiveText();
      lines.push_back(std::to_string(announced) + ":" + line);
    };
  }
  // Sends one arrival and waits until the socket has taken it.
  void Arrive(const std::string& bytes) {
    std::int64_t before = sock.ReadCount();
    SendAll(peer, bytes);
    ASSERT_TRUE(PumpUntil(
        [&] { return sock.ReadCount() >= before + static_cast<std::int64_t>(bytes.size()); }));
  }

  std::uint16_t port = 0;
  int listenFd = -1;
  int peer = -1;
  TWSocket sock;
  std::vector<std::string> lines;
};

TEST_F(LineModeTest, LinesAcrossAndWithinArrivals) {
  ReadWholeLines();
  Arrive("USER a");
  EXPECT_TRUE(lines.empty());
  EXPECT_EQ(sock.BufferedCount(), 6);
  Arrive("bc\r\nPASS x\r\nQU");
  EXPECT_EQ(lines, (std::vector<std::string>{"10:USER abc\r\n", "8:PASS x\r\n"}));
  EXPECT_EQ(sock.BufferedCount(), 2);
}

TEST_F(LineModeTest, TerminatorSplitAcrossArrivals) {
  ReadWholeLines();
  Arrive("abc\r");
  EXPECT_TRUE(lines.empty());
  Arrive("\ndef");
  EXPECT_EQ(lines, (std::vector<std::string>{"5:abc\r\n"}));
}

TEST_F(LineModeTest, OtherLineEnd) {
  ReadWholeLines();
  sock.SetLineEnd("\n");
  Arrive("one\ntwo\nthr");
  EXPECT_EQ(lines, (std::vector<std::string>{"4:one\n", "4:two\n"}));
}

TEST_F(LineModeTest, HandlerReadingPartOfALineIsCalledForTheRest) {
  std::vector<std::string> reads;
  sock.OnDataAvailable = [&](TCustomWSocket* s, std::uint16_t) {
    char buf[4];
    std::int32_t announced = s->RcvdCount();
    int n = s->Receive(buf, sizeof buf);
    reads.push_back(std::to_string(announced) + ":" + std::string(buf, n > 0 ? n : 0));
  };
  Arrive("12345678\r\n");
  EXPECT_EQ(reads, (std::vector<std::string>{"10:1234", "6:5678", "2:\r\n"}));
}

TEST_F(LineModeTest, SwitchingOffMidLineLosesAndRepeatsNothing) {
  std::string got;
  int calls = 0;
  sock.OnDataAvailable = [&](TCustomWSocket* s, std::uint16_t) {
    if (++calls == 1) {
      char buf[4];
      int n = s->Receive(buf, sizeof buf);
      got.append(buf, static_cast<std::size_t>(n));
      sock.SetLineMode(false);
      return;
    }
    got += s->ReceiveText();
  };
  Arrive("first line\r\nsecond\r\n");
  ASSERT_TRUE(PumpUntil([&] { return got.size() >= 20; }));
  EXPECT_EQ(got, "first line\r\nsecond\r\n");
  Arrive("raw");
  EXPECT_EQ(got, "first line\r\nsecond\r\nraw");
}

TEST_F(LineModeTest, ResumeWithAHandlerThatTakesNothingKeepsTheBytes) {
  int calls = 0;
  sock.OnDataAvailable = [&](TCustomWSocket*, std::uint16_t) {
    if (++calls == 1) sock.SetLineMode(false);  // reads nothing now or later
  };
  Arrive("held line\r\ntail");
  PumpFor(50);  // the resume message runs once and stops: no busy loop
  EXPECT_EQ(sock.BufferedCount(), 15);
  std::string got;
  sock.OnDataAvailable = [&](TCustomWSocket* s, std::uint16_t) { got += s->ReceiveText(); };
  Arrive("!");
  ASSERT_TRUE(PumpUntil([&] { return got.size() >= 16; }));
  EXPECT_EQ(got, "held line\r\ntail!");
}

TEST_F(LineModeTest, ModeToggledInsideTheHandlerStillDeliversEveryLineOnce) {
  sock.SetLineMode(false);
  sock.OnDataAvailable = [](TCustomWSocket*, std::uint16_t) {};
  sock.SetLineMode(true);
  ReadWholeLines();
  int calls = 0;
  sock.OnDataAvailable = [&](TCustomWSocket* s, std::uint16_t) {
    if (++calls == 1) {  // first line: switch off without reading, then on again
      sock.SetLineMode(false);
      sock.SetLineMode(true);
      return;
    }
    lines.push_back(s->ReceiveText());
  };
  Arrive("a\r\nb\r\nc");
  ASSERT_TRUE(PumpUntil([&] { return lines.size() >= 2; }));
  EXPECT_EQ(lines, (std::vector<std::string>{"a\r\n", "b\r\n"}));
}

TEST_F(LineModeTest, LimitExceededClearsUnlessTheHandlerKeeps) {
  ReadWholeLines();
  std::vector<std::int32_t> reported;
  sock.OnLineLimitExceeded = [&](TCustomWSocket*, std::int32_t n, bool& clear) {
    reported.push_back(n);
    EXPECT_TRUE(clear);
  };
  SendAll(peer, std::string(65537, 'x'));
  ASSERT_TRUE(PumpUntil([&] { return !reported.empty(); }));
  EXPECT_EQ(reported, std::vector<std::int32_t>{65537});
  EXPECT_EQ(sock.BufferedCount(), 0);
  Arrive("ok\r\n");
  EXPECT_EQ(lines, (std::vector<std::string>{"4:ok\r\n"}));
}

TEST_F(LineModeTest, LimitKeptByTheHandlerIsCheckedAgainOnEachArrival) {
  ReadWholeLines();
  sock.SetLineLimit(4);
  std::vector<std::int32_t> reported;
  sock.OnLineLimitExceeded = [&](TCustomWSocket*, std::int32_t n, bool& clear) {
    reported.push_back(n);
    clear = false;
  };
  Arrive("abcde");
  Arrive("fg");
  EXPECT_EQ(reported, (std::vector<std::int32_t>{5, 7}));
  Arrive("\r\n");
  EXPECT_EQ(lines, (std::vector<std::string>{"9:abcdefg\r\n"}));
}

TEST_F(LineModeTest, EditingRemovesBackspacedBytesAndExpandsTabs) {
  ReadWholeLines();
  sock.SetLineEdit(true);
  Arrive("ab\bc\r\n");
  Arrive("abc\tx\r\n");
  EXPECT_EQ(lines, (std::vector<std::string>{"4:ac\r\n", "11:abc     x\r\n"}));
}

TEST_F(LineModeTest, BackspaceReachesIntoAnEarlierArrival) {
  ReadWholeLines();
  sock.SetLineEdit(true);
  Arrive("abc");
  Arrive("\b\bz\r\n");
  EXPECT_EQ(lines, (std::vector<std::string>{"4:az\r\n"}));
}

TEST_F(LineModeTest, EchoWithAndWithoutEditing) {
  ReadWholeLines();
  sock.SetLineEcho(true);
  sock.SetLineEdit(true);
  Arrive("ab\bc\r\n");
  EXPECT_EQ(ReadBytes(peer, 8), std::string("ab\b \bc\r\n"));
  sock.SetLineEdit(false);
  Arrive("q\b\r\n");
  EXPECT_EQ(ReadBytes(peer, 4), std::string("q\b\r\n"));
  EXPECT_EQ(lines, (std::vector<std::string>{"4:ac\r\n", "4:q\b\r\n"}));
}

TEST_F(LineModeTest, LastUnterminatedLineIsDeliveredAtClose) {
  ReadWholeLines();
  Arrive("abc");
  close(peer);
  peer = -1;
  ASSERT_TRUE(PumpUntil([&] { return sock.State() == wsClosed; }));
  EXPECT_EQ(lines, (std::vector<std::string>{"3:abc", "<closed>"}));
}

TEST_F(LineModeTest, ModeOffIsTransparent) {
  sock.SetLineMode(false);
  std::string got;
  sock.OnDataAvailable = [&](TCustomWSocket* s, std::uint16_t) { got += s->ReceiveText(); };
  Arrive("no\r\nlines\r\nhere");
  EXPECT_EQ(got, "no\r\nlines\r\nhere");
  EXPECT_EQ(sock.BufferedCount(), 0);
}

TEST_F(LineModeTest, LinesWithoutAHandlerAreDropped) {
  Arrive("dropped\r\n");
  EXPECT_EQ(sock.BufferedCount(), 0);
  ReadWholeLines();
  Arrive("kept\r\n");
  EXPECT_EQ(lines, (std::vector<std::string>{"6:kept\r\n"}));
}

// Whatever the handler does (reading lines in pieces, switching the mode on and off), every
// byte the peer sends is read exactly once and in order.
TEST_F(LineModeTest, NoByteIsLostOrRepeatedWhileTheModeFlips) {
  std::mt19937 random(3);
  std::string sent, got;
  sock.OnDataAvailable = [&](TCustomWSocket* s, std::uint16_t) {
    char buf[16];
    int n = s->Receive(buf, 1 + static_cast<int>(random() % sizeof buf));
    if (n > 0) got.append(buf, static_cast<std::size_t>(n));
    if (random() % 5 == 0) sock.SetLineMode(!sock.LineMode());
  };
  for (int i = 0; i < 200; ++i) {
    std::string chunk;
    std::size_t len = 1 + random() % 30;
    for (std::size_t k = 0; k < len; ++k) chunk += "ab\r\n"[random() % 4];
    sent += chunk;
    SendAll(peer, chunk);
    PumpFor(1);
  }
  close(peer);
  peer = -1;
  ASSERT_TRUE(PumpUntil([&] { return sock.State() == wsClosed; }));
  ASSERT_EQ(got.size(), sent.size());
  EXPECT_EQ(got, sent);
}

}  // namespace
