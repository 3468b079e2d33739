#pragma once
#include <cstdint>
#include <stdexcept>
#include <string>

namespace core {

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

// The message of any exception, for logs.
std::wstring ExceptionMessage(const std::exception& e);

}  // namespace core
