#pragma once
#include <cstdint>
#include <stdexcept>
#include <string>

namespace base {

// Root of the system's exceptions: a message text and the class name that
// messages and logs show.
class Exception : public std::exception {
 public:
  explicit Exception(std::wstring message) : message_(std::move(message)) {}
  const std::wstring& Message() const { return message_; }
  virtual std::wstring ClassName() const { return L"Exception"; }
  const char* what() const noexcept override;

 private:
  std::wstring message_;
  mutable std::string narrow_;
};

#define TAV_EXCEPTION_CLASS(Name, Base)                              \
  class Name : public Base {                                         \
   public:                                                           \
    using Base::Base;                                                \
    std::wstring ClassName() const override { return L## #Name; }    \
  }

TAV_EXCEPTION_CLASS(EAbort, Exception);
TAV_EXCEPTION_CLASS(EOutOfResources, Exception);
TAV_EXCEPTION_CLASS(EConvertError, Exception);

class EOSError : public Exception {
 public:
  EOSError(uint32_t code, std::wstring message) : Exception(std::move(message)), code_(code) {}
  uint32_t ErrorCode() const { return code_; }
  std::wstring ClassName() const override { return L"EOSError"; }

 private:
  uint32_t code_;
};

// The system's text for an error code without its trailing blanks,
// control characters and full stops; empty when it has none.
std::wstring SysErrorMessage(uint32_t code);
// "System Error.  Code: %d.\r\n%s", or "A call to an OS function failed" for 0.
std::wstring OSErrorMessage(uint32_t code);
[[noreturn]] void RaiseOSError(uint32_t code);
[[noreturn]] void RaiseLastOSError();

// The message of any exception, for logs.
std::wstring ExceptionMessage(const std::exception& e);

}  // namespace base
