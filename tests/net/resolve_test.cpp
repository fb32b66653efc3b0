#include "net/resolve.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include "net/socket_error_text.h"
#include "net/wsocket_types.h"
#include "net_test_util.h"

using nettest::ErrorOf;

namespace {

TEST(IsDottedAddress, AcceptsFourPartsWithSurroundingSpaces) {
  EXPECT_TRUE(IsDottedAddress("10.0.0.1"));
  EXPECT_TRUE(IsDottedAddress("  10.0.0.1"));
  EXPECT_TRUE(IsDottedAddress("10.0.0.1   "));
  EXPECT_TRUE(IsDottedAddress("255.255.255.255"));
}

TEST(IsDottedAddress, RejectsMalformedTexts) {
  for (const char* s :
       {"10.0.0", "10..0.1", ".10.0.0.1", "10.0.0.1.", "10.0.0.256", "300.1.1.1", "10.0.0.1.5",
        "10.0.0.1 x", "10.0.0.x", "", "   ", "localhost", "10.0.0.99999999999999999999"})
    EXPECT_FALSE(IsDottedAddress(s)) << s;
}

TEST(ParseLeadingNumber, ReadsDigitsAfterSpacesAndStopsAtTheFirstOther) {
  EXPECT_EQ(ParseLeadingNumber("  110abc"), 110);
  EXPECT_EQ(ParseLeadingNumber("abc"), 0);
  EXPECT_EQ(ParseLeadingNumber(""), 0);
  // Far too many digits saturate instead of wrapping round to a small valid number.
  EXPECT_EQ(ParseLeadingNumber("99999999999999999999"), 2147483647);
}

TEST(WSocketResolveHost, DottedTextNeedsNoLookup) {
  EXPECT_EQ(WSocketResolveHost("10.1.2.3"), inet_addr("10.1.2.3"));
  EXPECT_EQ(WSocketResolveHost(" 10.1.2.3 "), inet_addr("10.1.2.3"));
  EXPECT_EQ(WSocketResolveHost("255.255.255.255"), 0xffffffffu);
}

TEST(WSocketResolveHost, LocalhostIsFoundByTheHostLookup) {
  EXPECT_EQ(WSocketResolveHost("localhost"), htonl(INADDR_LOOPBACK));
}

TEST(WSocketResolveHost, RefusesEmptyAndOverlongNames) {
  EXPECT_EQ(ErrorOf([] { WSocketResolveHost(""); }), "WSocketResolveHost: '' Invalid Hostname.");
  std::string longName(257, 'a');
  EXPECT_EQ(ErrorOf([&] { WSocketResolveHost(longName); }),
            "WSocketResolveHost: '" + longName + "' Invalid Hostname.");
}

TEST(WSocketResolvePort, NumbersAndServiceNames) {
  EXPECT_EQ(WSocketResolvePort("110", "tcp"), 110);
  EXPECT_EQ(WSocketResolvePort("0", "tcp"), 0);
  EXPECT_EQ(WSocketResolvePort("65535", "tcp"), 65535);
  EXPECT_EQ(WSocketResolvePort("pop3", "tcp"), 110);
  EXPECT_EQ(WSocketResolvePort(" pop3 ", "tcp"), 110);
}

TEST(WSocketResolvePort, RefusesBadInput) {
  EXPECT_EQ(ErrorOf([] { WSocketResolvePort("", "tcp"); }), "WSocketResolvePort: Invalid Port.");
  EXPECT_EQ(ErrorOf([] { WSocketResolvePort(std::string(32, '1'), "tcp"); }),
            "WSocketResolvePort: Invalid Port.");
  EXPECT_EQ(ErrorOf([] { WSocketResolvePort("110", ""); }), "WSocketResolvePort: Invalid Proto.");
  EXPECT_NE(ErrorOf([] { WSocketResolvePort("65536", "tcp"); }), "no exception");
  EXPECT_NE(ErrorOf([] { WSocketResolvePort("99999999999", "tcp"); }), "no exception");
  std::string msg = ErrorOf([] { WSocketResolvePort("no-such-service", "tcp"); });
  EXPECT_EQ(msg.rfind("WSocketResolvePort: Cannot convert port 'no-such-service', Error #", 0), 0u)
      << msg;
}

TEST(WSocketResolveProto, NamesNumbersAndFailures) {
  EXPECT_EQ(WSocketResolveProto("tcp"), 6);
  EXPECT_EQ(WSocketResolveProto(" tcp "), 6);
  EXPECT_EQ(WSocketResolveProto("udp"), 17);
  EXPECT_EQ(WSocketResolveProto("17"), 17);
  EXPECT_EQ(ErrorOf([] { WSocketResolveProto(""); }), "WSocketResolveProto: Invalid Protocol.");
  std::string msg = ErrorOf([] { WSocketResolveProto("nonsense"); });
  EXPECT_EQ(msg.rfind("WSocketResolveProto: Cannot convert protocol 'nonsense', Error #", 0), 0u)
      << msg;
}

TEST(SocketErrorText, KnownAndUnknownNumbers) {
  EXPECT_EQ(SocketErrorText(0), "No Error");
  EXPECT_EQ(SocketErrorText(10035), "Operation would block");
  EXPECT_EQ(SocketErrorText(10054), "Connection reset by peer");
  EXPECT_EQ(SocketErrorText(10057), "Socket is not connected");
  EXPECT_EQ(SocketErrorText(10061), "Connection refused");
  EXPECT_EQ(SocketErrorText(11001), "Host not found");
  EXPECT_EQ(SocketErrorText(11004), "No Data");
  EXPECT_EQ(SocketErrorText(10093), "WinSock not initialized");
  EXPECT_EQ(SocketErrorText(10001), "Not a WinSock error");
  EXPECT_EQ(SocketErrorText(-1), "Not a WinSock error");
}

}  // namespace
