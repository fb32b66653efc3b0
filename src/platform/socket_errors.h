#pragma once
// The socket layer speaks in the desktop socket library's error numbers (10035 would block,
// 10054 reset by peer, 11001 host not found, ...). Every errno and resolver code the platform
// produces is mapped onto them here, in one table, and the last one is kept per thread.

namespace wsa {

constexpr int kNoError = 0;
constexpr int kInterrupted = 10004;      // EINTR, also a cancelled lookup
constexpr int kBadHandle = 10009;        // EBADF
constexpr int kAccessDenied = 10013;     // EACCES
constexpr int kFault = 10014;            // EFAULT
constexpr int kInvalidArgument = 10022;  // EINVAL
constexpr int kTooManyFiles = 10024;     // EMFILE, ENFILE
constexpr int kWouldBlock = 10035;       // EWOULDBLOCK / EAGAIN
constexpr int kInProgress = 10036;       // EINPROGRESS
constexpr int kAlready = 10037;          // EALREADY
constexpr int kNotSocket = 10038;        // ENOTSOCK
constexpr int kMessageSize = 10040;      // EMSGSIZE
constexpr int kAddressInUse = 10048;     // EADDRINUSE
constexpr int kAddressNotAvailable = 10049;
constexpr int kNetworkDown = 10050;
constexpr int kNetworkUnreachable = 10051;
constexpr int kConnectionAborted = 10053;
constexpr int kConnectionReset = 10054;
constexpr int kNoBufferSpace = 10055;
constexpr int kIsConnected = 10056;
constexpr int kNotConnected = 10057;
constexpr int kShutdown = 10058;
constexpr int kTimedOut = 10060;
constexpr int kConnectionRefused = 10061;
constexpr int kHostUnreachable = 10065;
constexpr int kHostNotFound = 11001;
constexpr int kTryAgain = 11002;
constexpr int kNoRecovery = 11003;
constexpr int kNoData = 11004;

// The error number for an errno value; an errno without an equivalent maps to 10022.
int FromErrno(int err);
// The error number for a getaddrinfo/getnameinfo result (EAI_*); EAI_SYSTEM uses `sysErrno`.
int FromResolverCode(int eaiCode, int sysErrno);

// The last socket error of the calling thread, as the socket library keeps it.
int GetLastError();
void SetLastError(int error);
// Maps errno onto the thread's last socket error and returns it.
int SetLastErrorFromErrno(int err);

}  // namespace wsa
