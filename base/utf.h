#pragma once
// Moved to core/; these names keep code written against base:: building.
#include "core/utf.h"

namespace base {
using core::FromUtf16;
using core::FromUtf8;
using core::ToUtf16;
using core::ToUtf8;
}  // namespace base
