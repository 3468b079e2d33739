#include "base/registry.h"

#include "core/exceptions.h"
#include "core/format.h"
#include "platform/host.h"

namespace base {
namespace {

[[noreturn]] void Fail(const wchar_t* pattern, const std::wstring& name) {
  throw core::Exception(core::Format(pattern, {name}));
}

}  // namespace

bool TRegistry::OpenKey(const std::wstring& key, bool canCreate) {
  std::wstring path = key;
  if (!path.empty() && path[0] == L'\\') path.erase(0, 1);
  else if (!current_path_.empty()) path = current_path_ + L"\\" + path;
  auto opened = platform::host().registry->open_local_machine(path, access_, canCreate);
  if (!opened) return false;
  current_ = std::move(opened);
  current_path_ = path;
  return true;
}

void TRegistry::CloseKey() {
  current_.reset();
  current_path_.clear();
}

int32_t TRegistry::ReadInteger(const std::wstring& name) {
  auto value = current_ ? current_->query(name) : std::nullopt;
  if (!value || value->data.size() > 4) Fail(L"Failed to get data for '%s'", name);
  if (value->type != platform::RegType::Dword) Fail(L"Invalid data type for '%s'", name);
  uint32_t number = 0;
  for (size_t i = 0; i < value->data.size(); ++i) number |= static_cast<uint32_t>(value->data[i]) << (8 * i);
  return static_cast<int32_t>(number);
}

std::wstring TRegistry::ReadString(const std::wstring& name) {
  auto value = current_ ? current_->query(name) : std::nullopt;
  if (!value || value->data.empty()) return L"";
  if (value->type != platform::RegType::String && value->type != platform::RegType::ExpandString)
    Fail(L"Invalid data type for '%s'", name);
  return platform::reg_text(*value);
}

void TRegistry::WriteString(const std::wstring& name, const std::wstring& value) {
  if (!current_ || !current_->write(name, platform::reg_string(value)))
    Fail(L"Failed to set data for '%s'", name);
}

}  // namespace base
