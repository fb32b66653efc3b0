// Where the part headers of a mail are, as the MIME decoder reads them.

#include "inspection/part_headers.h"

#include <gtest/gtest.h>

namespace {

using Lines = std::vector<std::string>;

std::vector<std::pair<std::size_t, std::size_t>> Ranges(const Lines& lines) {
  std::vector<std::pair<std::size_t, std::size_t>> out;
  for (const auto& part : FindPartHeaders(lines)) out.emplace_back(part.First, part.End);
  return out;
}

TEST(PartHeaders, FollowTheDeclaredBoundariesOnly) {
  const Lines mail = {
      "Subject: x",                                   // 0
      "Content-Type: Multipart/Mixed;",               // 1
      "\tBOUNDARY=\"Outer\"",                         // 2 folded, any case
      "",                                             // 3
      "--outer is not the boundary in the preamble",  // 4
      "--Outer",                                      // 5
      "Content-Type: text/plain",                     // 6
      "",                                             // 7
      "--Other",                                      // 8 undeclared: body
      "Content-Type: text/html",                      // 9
      "",                                             // 10
      "--outer",                                      // 11 boundaries compare without case
      " body that begins with a blank",               // 12 no header
      "--OUTER--",                                    // 13
      "epilogue",                                     // 14 read as a header, as the decoder does
  };
  EXPECT_EQ(Ranges(mail),
            (std::vector<std::pair<std::size_t, std::size_t>>{{6, 7}, {12, 12}, {14, 15}}));
  EXPECT_EQ(PartHeaderValue(mail, 1, 3, "content-type"), "Multipart/Mixed;   BOUNDARY=\"Outer\"");
  EXPECT_EQ(PartHeaderValue(mail, 6, 7, "content-disposition"), "");
}

TEST(PartHeaders, ASinglePartMailHasNone) {
  EXPECT_TRUE(
      FindPartHeaders({"Content-Type: text/plain", "", "--b", "Content-Type: x", ""}).empty());
  EXPECT_TRUE(FindPartHeaders({}).empty());
  EXPECT_TRUE(FindPartHeaders({"Content-Type: multipart/mixed; boundary=b"}).empty());
}

}  // namespace
