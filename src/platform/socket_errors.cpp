#include "platform/socket_errors.h"

#include <netdb.h>

#include <cerrno>

namespace wsa {

int FromErrno(int err) {
  switch (err) {
    case 0:
      return kNoError;
    case EINTR:
      return kInterrupted;
    case EBADF:
      return kBadHandle;
    case EACCES:
    case EPERM:
      return kAccessDenied;
    case EFAULT:
      return kFault;
    case EINVAL:
      return kInvalidArgument;
    case EMFILE:
    case ENFILE:
      return kTooManyFiles;
    case EAGAIN:
#if EWOULDBLOCK != EAGAIN
    case EWOULDBLOCK:
#endif
      return kWouldBlock;
    case EINPROGRESS:
      return kInProgress;
    case EALREADY:
      return kAlready;
    case ENOTSOCK:
      return kNotSocket;
    case EDESTADDRREQ:
      return 10039;
    case EMSGSIZE:
      return kMessageSize;
    case EPROTOTYPE:
      return 10041;
    case ENOPROTOOPT:
      return 10042;
    case EPROTONOSUPPORT:
      return 10043;
    case ESOCKTNOSUPPORT:
      return 10044;
    case EOPNOTSUPP:
      return 10045;
    case EPFNOSUPPORT:
      return 10046;
    case EAFNOSUPPORT:
      return 10047;
    case EADDRINUSE:
      return kAddressInUse;
    case EADDRNOTAVAIL:
      return kAddressNotAvailable;
    case ENETDOWN:
      return kNetworkDown;
    case ENETUNREACH:
      return kNetworkUnreachable;
    case ENETRESET:
      return 10052;
    case ECONNABORTED:
    case EPIPE:  // the connection is gone; a send after our own shutdown is told apart by the
                 // caller
      return kConnectionAborted;
    case ECONNRESET:
      return kConnectionReset;
    case ENOBUFS:
    case ENOMEM:
      return kNoBufferSpace;
    case EISCONN:
      return kIsConnected;
    case ENOTCONN:
      return kNotConnected;
    case ESHUTDOWN:
      return kShutdown;
    case ETOOMANYREFS:
      return 10059;
    case ETIMEDOUT:
      return kTimedOut;
    case ECONNREFUSED:
      return kConnectionRefused;
    case ELOOP:
      return 10062;
    case ENAMETOOLONG:
      return 10063;
    case EHOSTDOWN:
      return 10064;
    case EHOSTUNREACH:
      return kHostUnreachable;
    case ENOTEMPTY:
      return 10066;
    case EUSERS:
      return 10068;
    case EDQUOT:
      return 10069;
    case ESTALE:
      return 10070;
    case EREMOTE:
      return 10071;
    default:
      return kInvalidArgument;
  }
}

int FromResolverCode(int eaiCode, int sysErrno) {
  switch (eaiCode) {
    case 0:
      return kNoError;
    case EAI_NONAME:
#ifdef EAI_ADDRFAMILY
    case EAI_ADDRFAMILY:
#endif
      return kHostNotFound;
#ifdef EAI_NODATA
    case EAI_NODATA:
      return kNoData;
#endif
    case EAI_AGAIN:
      return kTryAgain;
    case EAI_FAIL:
      return kNoRecovery;
    case EAI_MEMORY:
      return kNoBufferSpace;
    case EAI_FAMILY:
      return 10047;
    case EAI_SERVICE:
    case EAI_SOCKTYPE:
      return kNoData;
    case EAI_SYSTEM:
      return sysErrno == 0 ? kNoRecovery : FromErrno(sysErrno);
    default:
      return kNoRecovery;
  }
}

namespace {
thread_local int lastError = 0;
}

int GetLastError() {
  return lastError;
}

void SetLastError(int error) {
  lastError = error;
}

int SetLastErrorFromErrno(int err) {
  lastError = FromErrno(err);
  return lastError;
}

}  // namespace wsa
