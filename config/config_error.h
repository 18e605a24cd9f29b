// config_error.h - the errors that the settings functions raise; the window
// shows their what() text.
#pragma once
#include <stdexcept>
#include <string>

class EConfigError : public std::runtime_error {
 public:
  explicit EConfigError(const std::string& message) : std::runtime_error(message) {}
};

// An input/output error that carries the operating system's error code, with
// the runtime's fixed texts for the common codes ("I/O error 183" otherwise).
class EInOutError : public EConfigError {
 public:
  explicit EInOutError(int code) : EConfigError(MessageFor(code)), FErrorCode(code) {}
  int ErrorCode() const { return FErrorCode; }
  static std::string MessageFor(int code);

 private:
  int FErrorCode;
};
