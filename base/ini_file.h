#pragma once
#include <string>

namespace base {

// An INI file through the platform's profile functions; nothing is read or
// written until a value is.
class TIniFile {
 public:
  explicit TIniFile(std::wstring fileName) : file_name_(std::move(fileName)) {}
  const std::wstring& FileName() const { return file_name_; }

  // The value is written on one line (see OnOneLine); "Unable to write to
  // %s" (the file name) when the write fails.
  void WriteString(const std::wstring& section, const std::wstring& key, const std::wstring& value);
  std::wstring ReadString(const std::wstring& section, const std::wstring& key, const std::wstring& fallback);

 private:
  std::wstring file_name_;
};

}  // namespace base
