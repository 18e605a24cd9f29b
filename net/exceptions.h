// exceptions.h - the connection layer's exceptions, each with its fixed message.
#pragma once
#include <stdexcept>
#include <string>

class EIdException : public std::runtime_error {
 public:
  explicit EIdException(const std::string& message) : std::runtime_error(message) {}
  virtual const char* ClassName() const { return "EIdException"; }
};

#define OSTREL_EXCEPTION(Name, Base, Text)                       \
  class Name : public Base {                                     \
   public:                                                       \
    Name() : Base(Text) {}                                       \
    explicit Name(const std::string& message) : Base(message) {} \
    const char* ClassName() const override { return #Name; }     \
  };

// Raised when the peer has gone; not an error of the program.
OSTREL_EXCEPTION(EIdSilentException, EIdException, "")
OSTREL_EXCEPTION(EIdConnClosedGracefully, EIdSilentException, "Connection Closed Gracefully.")
OSTREL_EXCEPTION(EIdNotConnected, EIdException, "Not Connected")
OSTREL_EXCEPTION(EIdClosedSocket, EIdException, "Disconnected.")
OSTREL_EXCEPTION(EIdReadTimeout, EIdException, "Read Timeout")
OSTREL_EXCEPTION(EIdNoDataToRead, EIdException, "No data to read.")
OSTREL_EXCEPTION(EIdNotEnoughDataInBuffer, EIdException, "Not enough data in buffer.")
OSTREL_EXCEPTION(EIdStackSetSizeExceeded, EIdException, "Set Size Exceeded.")
OSTREL_EXCEPTION(EIdStackInitializationFailed, EIdException, "Winsock Initialization Error.")
OSTREL_EXCEPTION(EIdWS2StubError, EIdException, "")
OSTREL_EXCEPTION(EIdInvalidSocket, EIdException, "Cannot allocate socket.")
OSTREL_EXCEPTION(EIdCouldNotBindSocket, EIdException,
                 "Could not bind socket. Address and port are already in use.")
OSTREL_EXCEPTION(EIdNoExecuteSpecified, EIdException, "No execute handler found.")
OSTREL_EXCEPTION(EIdTerminateThreadTimeout, EIdException, "Terminate Thread Timeout")
OSTREL_EXCEPTION(EIdThreadClassNotSpecified, EIdException, "Thread Class Not Specified.")
OSTREL_EXCEPTION(EIdThreadTerminateAndWaitFor, EIdException,
                 "Cannot call TerminateAndWaitFor on FreeAndTerminate threads")

#undef OSTREL_EXCEPTION

class EIdFileNotFound : public EIdException {
 public:
  explicit EIdFileNotFound(const std::string& path) : EIdException("File \"" + path + "\" not found") {}
  const char* ClassName() const override { return "EIdFileNotFound"; }
};

// A file that exists but cannot be opened; the text is the system's reason.
class EFOpenError : public EIdException {
 public:
  EFOpenError(const std::string& path, const std::string& reason)
      : EIdException("Cannot open file \"" + path + "\". " + reason) {}
  const char* ClassName() const override { return "EFOpenError"; }
};

// A failed socket call: "Socket Error # <code>\r\n<text of the code>".
class EIdSocketError : public EIdException {
 public:
  explicit EIdSocketError(int code);
  int LastError() const { return FLastError; }
  const char* ClassName() const override { return "EIdSocketError"; }

 private:
  int FLastError;
};

// The text of a socket error code ("" for a code not in the table).
const char* SocketErrorText(int code);

// Socket error codes that the layer tests for.
namespace IdErr {
inline constexpr int Interrupted = 10004;
inline constexpr int TooManyFiles = 10024;   // EMFILE/ENFILE, WSAEMFILE
inline constexpr int WouldBlock = 10035;
inline constexpr int NotASocket = 10038;
inline constexpr int AddressInUse = 10048;
inline constexpr int ConnAborted = 10053;
inline constexpr int ConnReset = 10054;
inline constexpr int NoBufferSpace = 10055;  // ENOBUFS/ENOMEM, WSAENOBUFS
inline constexpr int Shutdown = 10058;
inline constexpr int TimedOut = 10060;
inline constexpr int HostNotFound = 11001;
}  // namespace IdErr
