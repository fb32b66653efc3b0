#pragma once
// Turning the texts of an address, a port and a protocol into numbers. The resolve routines
// raise ESocketException with their own texts; Connect and Listen put their name in front.

#include <cstdint>
#include <string>

bool IsDottedAddress(const std::string& s);
std::int32_t ParseLeadingNumber(const std::string& s);

// IPv4 address in network order.
std::uint32_t WSocketResolveHost(const std::string& host);
// Port number in host order.
std::uint16_t WSocketResolvePort(const std::string& port, const std::string& proto);
std::int32_t WSocketResolveProto(const std::string& proto);

// Dotted text of an address in network order.
std::string DottedAddress(std::uint32_t networkAddress);
// The platform's dotted-address parser: all ones (0xffffffff) when the text is no address.
std::uint32_t InetAddr(const std::string& text);
