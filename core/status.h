#pragma once
// How a platform operation ended. Failures cross the platform seam only this
// way: the system's error code, or a neutral kind where the platforms' own
// codes differ (HTTP); never an ambient last error, and never a bool that
// says only that something failed (a bool answers a question, as whether a
// file exists).
#include <cstdint>
#include <iosfwd>
#include <string>
#include <utility>

namespace core {

// One table gives the kinds and their names.
#define TAV_FAILURE_KIND_MAP(X)                                           \
  X(None)                        /* success */                            \
  X(System)                      /* code() holds the system's error code */ \
  X(Resend)                      /* the request must be sent again */     \
  X(Cancelled)                   /* ended on purpose from another thread */ \
  X(ClientCertificateNeeded)                                              \
  X(UnknownCertificateAuthority)                                          \
  X(DeadlinePassed)              /* a time-out or the whole-exchange deadline */

enum class FailureKind : uint8_t {
#define TAV_FAILURE_KIND_MEMBER(name) name,
  TAV_FAILURE_KIND_MAP(TAV_FAILURE_KIND_MEMBER)
#undef TAV_FAILURE_KIND_MEMBER
};

// The kind's name as written above; "FailureKind(N)" for a value outside it.
std::string Name(FailureKind kind);
// So that test failures and messages show the name, not a number.
std::ostream& operator<<(std::ostream& out, FailureKind kind);

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
