// platform/profile.h: INI files read and written by hand.
// INI files with the profile functions' rules, written as UTF-8.
#include <cerrno>
#include <fstream>
#include <optional>
#include <sstream>
#include <vector>

#include "core/text.h"
#include "core/utf.h"
#include "platform/posix/backend.h"
#include "platform/posix/base_services.h"

namespace platform::posix {
namespace {

std::vector<std::wstring> ReadLines(const std::string& path, bool& exists) {
  std::ifstream in(path, std::ios::binary);
  exists = static_cast<bool>(in);
  std::vector<std::wstring> lines;
  if (!exists) return lines;
  std::stringstream buffer;
  buffer << in.rdbuf();
  std::string content = buffer.str();
  if (content.rfind("\xEF\xBB\xBF", 0) == 0) content.erase(0, 3);
  std::string line;
  std::istringstream stream(content);
  while (std::getline(stream, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(core::FromUtf8(line));
  }
  return lines;
}

// The section name of a "[name]" line, or nullopt.
std::optional<std::wstring> SectionOf(const std::wstring& line) {
  std::wstring t = core::Trim(line);
  if (t.size() < 2 || t.front() != L'[') return std::nullopt;
  size_t close = t.find(L']');
  if (close == std::wstring::npos) return std::nullopt;
  return core::Trim(t.substr(1, close - 1));
}

std::optional<std::wstring> KeyOf(const std::wstring& line) {
  size_t eq = line.find(L'=');
  if (eq == std::wstring::npos) return std::nullopt;
  return core::Trim(line.substr(0, eq));
}

struct Location {
  long section = -1;      // index of the section line
  long key = -1;          // index of the key line
  long last_entry = -1;   // last non-blank line of the section
};

Location Find(const std::vector<std::wstring>& lines, const std::wstring& section, const std::wstring& key) {
  Location at;
  bool inside = false;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (auto name = SectionOf(lines[i])) {
      if (inside) break;
      inside = core::SameTextAscii(*name, section);
      if (inside) at.section = at.last_entry = static_cast<long>(i);
      continue;
    }
    if (!inside) continue;
    if (!core::Trim(lines[i]).empty()) at.last_entry = static_cast<long>(i);
    auto name = KeyOf(lines[i]);
    if (name && core::SameTextAscii(*name, key)) {
      at.key = static_cast<long>(i);
      break;
    }
  }
  return at;
}

}  // namespace

core::Status PosixProfile::write_string(const std::wstring& file, const std::wstring& section,
                                const std::wstring& key, const std::wstring& value) {
  const std::string path = core::ToUtf8(file);
  bool exists = false;
  std::vector<std::wstring> lines = ReadLines(path, exists);
  const std::wstring entry = key + L"=" + value;
  Location at = Find(lines, section, key);
  if (at.key >= 0) {
    lines[at.key] = entry;
  } else if (at.section >= 0) {
    lines.insert(lines.begin() + at.last_entry + 1, entry);
  } else {
    if (!lines.empty() && !core::Trim(lines.back()).empty()) lines.emplace_back();
    lines.push_back(L"[" + section + L"]");
    lines.push_back(entry);
  }
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return core::Status::SystemError(errno_to_win32(errno));
  for (const auto& line : lines) out << core::ToUtf8(line) << "\r\n";
  out.flush();
  return out ? core::Status::Ok() : core::Status::SystemError(errno_to_win32(errno));
}

std::wstring PosixProfile::read_string(const std::wstring& file, const std::wstring& section,
                                       const std::wstring& key, const std::wstring& fallback) {
  bool exists = false;
  std::vector<std::wstring> lines = ReadLines(core::ToUtf8(file), exists);
  Location at = Find(lines, section, key);
  if (at.key < 0) return fallback;
  const std::wstring& line = lines[at.key];
  std::wstring value = core::Trim(line.substr(line.find(L'=') + 1));
  if (value.size() >= 2 && (value.front() == L'"' || value.front() == L'\'') && value.back() == value.front())
    value = value.substr(1, value.size() - 2);
  return value.substr(0, kProfileValueLimit);
}

}  // namespace platform::posix
