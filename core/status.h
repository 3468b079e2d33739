#pragma once
// How a platform operation ended. Failures cross the platform seam only this
// way: the system's error code, or a neutral kind where the platforms' own
// codes differ (HTTP). Nothing ambient, no bare bool.
#include <cstdint>
#include <utility>

namespace core {

enum class FailureKind : uint8_t {
  None,                         // success
  System,                       // code() holds the system's error code
  Resend,                       // the request must be sent again
  Cancelled,                    // ended on purpose from another thread
  ClientCertificateNeeded,
  UnknownCertificateAuthority,
  DeadlinePassed,               // a time-out or the whole-exchange deadline
};

class [[nodiscard]] Status {
 public:
  Status() = default;
  static Status Ok() { return Status(); }
  static Status SystemError(uint32_t code) { return Status(FailureKind::System, code); }
  // A neutral kind; code() may still carry the system's code for its text.
  static Status Failure(FailureKind kind, uint32_t code = 0) { return Status(kind, code); }

  bool ok() const { return kind_ == FailureKind::None; }
  FailureKind kind() const { return kind_; }
  uint32_t code() const { return code_; }

 private:
  Status(FailureKind kind, uint32_t code) : kind_(kind), code_(code) {}
  FailureKind kind_ = FailureKind::None;
  uint32_t code_ = 0;
};

// A value, or the status of the failure that prevented it.
template <class T>
class [[nodiscard]] Result {
 public:
  Result(T value) : value_(std::move(value)) {}
  Result(Status failure) : status_(failure) {}
  bool ok() const { return status_.ok(); }
  const Status& status() const { return status_; }
  T& value() { return value_; }
  const T& value() const { return value_; }

 private:
  T value_{};
  Status status_;
};

}  // namespace core
