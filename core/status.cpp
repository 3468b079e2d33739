#include "core/status.h"

#include <ostream>

namespace core {

std::string Name(FailureKind kind) {
  switch (kind) {
#define TAV_FAILURE_KIND_NAME(name) \
  case FailureKind::name: return #name;
    TAV_FAILURE_KIND_MAP(TAV_FAILURE_KIND_NAME)
#undef TAV_FAILURE_KIND_NAME
  }
  return "FailureKind(" + std::to_string(static_cast<int>(kind)) + ")";
}

std::ostream& operator<<(std::ostream& out, FailureKind kind) { return out << Name(kind); }

}  // namespace core
