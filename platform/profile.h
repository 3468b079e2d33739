#pragma once
#include <cstddef>
#include <string>

#include "core/status.h"

namespace platform {

// A read returns at most this many characters, the rest of a longer value is
// cut off: the buffer the Windows profile functions are read through.
inline constexpr size_t kProfileValueLimit = 2047;

// INI files with the semantics of the Windows profile functions: sections and
// keys match without regard to case; a write replaces the value and adds the
// key, the section or the file when missing.
class Profile {
 public:
  virtual ~Profile() = default;
  // The system's code when the file cannot be written.
  virtual core::Status write_string(const std::wstring& file, const std::wstring& section,
                            const std::wstring& key, const std::wstring& value) = 0;
  // The value, or fallback when file, section or key is missing.
  virtual std::wstring read_string(const std::wstring& file, const std::wstring& section,
                                   const std::wstring& key, const std::wstring& fallback) = 0;
};

}  // namespace platform
