#pragma once
// The framework's exception classes. Message texts are byte strings in the
// system code page (Shift-JIS for Lumek's own text).
#include <exception>
#include <string>

namespace lumek {

class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : message_(std::move(message)) {}
  const std::string& Message() const noexcept { return message_; }
  const char* what() const noexcept override { return message_.c_str(); }

 private:
  std::string message_;
};

// Dropped silently by the application's exception report.
class EAbort : public Exception {
 public:
  EAbort() : Exception("") {}
};

class EIniFileException : public Exception {
  using Exception::Exception;
};
class EOutOfResources : public Exception {
  using Exception::Exception;
};
class EThread : public Exception {
  using Exception::Exception;
};
class EInvalidOperation : public Exception {
  using Exception::Exception;
};
class EOSError : public Exception {
  using Exception::Exception;
};
class EMenuError : public Exception {
  using Exception::Exception;
};
class EStoredFormError : public Exception {
  using Exception::Exception;
};

}  // namespace lumek
