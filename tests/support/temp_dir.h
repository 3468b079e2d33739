#pragma once
#include <filesystem>
#include <string>

namespace testing_support {

// A fresh directory, removed with everything in it at the end of the test.
class TempDir {
 public:
  explicit TempDir(const std::string& name_with_blanks = "tav test dir");
  ~TempDir();
  const std::filesystem::path& path() const { return path_; }
  // The directory in the platform's form, ending with its separator.
  std::wstring dir() const;
  std::wstring file(const std::wstring& name) const { return dir() + name; }

 private:
  std::filesystem::path path_;
};

std::string ReadFile(const std::filesystem::path& file);

}  // namespace testing_support
