#pragma once
// The English description of a socket error number, used in error messages of the socket
// layer and in the POP3 client's error replies.

#include <string>

std::string SocketErrorText(int errorCode);
