#pragma once
// The framework's exception classes. Message texts are UTF-16; what() gives
// the same text in UTF-8 for code that only knows the standard exceptions.
#include <exception>
#include <string>

#include "framework/Strings.h"

namespace lumek {

class Exception : public std::exception {
 public:
  explicit Exception(std::wstring message) : message_(std::move(message)), utf8_(WideToUtf8(message_)) {}
  // Diagnostics put together from identifiers of a stored description are UTF-8.
  explicit Exception(const std::string& utf8) : message_(Utf8ToWide(utf8)), utf8_(utf8) {}
  const std::wstring& Message() const noexcept { return message_; }
  const char* what() const noexcept override { return utf8_.c_str(); }

 private:
  std::wstring message_;
  std::string utf8_;
};

// Dropped silently by the application's exception report.
class EAbort : public Exception {
 public:
  EAbort() : Exception(L"") {}
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
