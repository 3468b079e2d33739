#pragma once
// Moved to core/; these names keep code written against base:: building.
#include "core/text.h"

namespace base {
using core::OnOneLine;
using core::SameTextAscii;
using core::SameTextIgnoringCase;
using core::Trim;
using core::UpperCaseAscii;
}  // namespace base
