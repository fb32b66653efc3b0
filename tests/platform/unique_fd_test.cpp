// The owned descriptor and the text of a failed file operation, shared by the settings store
// and the quarantine.

#include "platform/unique_fd.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>

#include "platform/system_error_text.h"

namespace {

// Whether the write end of the pipe is closed: the reader then sees the end of the stream.
bool WriterGone(int readEnd) {
  char c = 0;
  return ::read(readEnd, &c, 1) == 0;
}

TEST(UniqueFd, ClosesWhenItGoesUnlessGivenAwayAndReportsAnExplicitClose) {
  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  { TUniqueFd writer(ends[1]); }
  EXPECT_TRUE(WriterGone(ends[0]));
  ::close(ends[0]);

  ASSERT_EQ(::pipe(ends), 0);
  int kept = -1;
  {
    TUniqueFd writer(ends[1]);
    kept = writer.Release();
    EXPECT_EQ(writer.Get(), -1);
  }
  EXPECT_EQ(::write(kept, "x", 1), 1);
  TUniqueFd again(kept);
  EXPECT_EQ(again.Close(), 0);
  EXPECT_EQ(again.Get(), -1);
  char c = 0;
  EXPECT_EQ(::read(ends[0], &c, 1), 1);
  EXPECT_TRUE(WriterGone(ends[0]));
  ::close(ends[0]);

  // Closing twice is an error the caller sees, not a close of someone else's descriptor.
  EXPECT_EQ(again.Close(), -1);
  EXPECT_EQ(errno, EBADF);
}

TEST(SystemErrorText, SaysWhatWasTriedOnWhichPathAndWhy) {
  EXPECT_EQ(SystemErrorText("cannot write", "/no/such/file", ENOENT),
            "cannot write /no/such/file: No such file or directory");
}

}  // namespace
