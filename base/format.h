#pragma once
// Moved to core/; these names keep code written against base:: building.
#include "core/format.h"

namespace base {
using core::Format;
using core::FormatArg;
}  // namespace base
