#include "base/registry_accessor.h"

#include "core/exceptions.h"
#include "core/format.h"
#include "platform/host.h"

namespace base {
namespace {

[[noreturn]] void Fail(const wchar_t* pattern, const std::wstring& name) {
  throw core::Exception(core::Format(pattern, {name}));
}

}  // namespace

bool RegistryAccessor::OpenKey(const std::wstring& key, bool canCreate) {
  std::wstring path = key;
  if (!path.empty() && path[0] == L'\\') path.erase(0, 1);
  else if (!current_path_.empty()) path = current_path_ + L"\\" + path;
  auto opened = platform::host().registry_keys->open_local_machine(path, access_, canCreate);
  if (!opened.ok()) return false;
  current_ = std::move(opened.value());
  current_path_ = path;
  return true;
}

void RegistryAccessor::CloseKey() {
  current_.reset();
  current_path_.clear();
}

core::Result<platform::RegValue> RegistryAccessor::Query(const std::wstring& name) {
  if (!current_) return core::Status::SystemError(platform::kRegistryNotFound);
  return current_->query(name);
}

int32_t RegistryAccessor::ReadInteger(const std::wstring& name) {
  auto read = Query(name);
  const platform::RegValue& value = read.value();
  if (!read.ok() || value.data.size() > 4) Fail(L"Failed to get data for '%s'", name);
  if (value.type != platform::RegType::Dword) Fail(L"Invalid data type for '%s'", name);
  uint32_t number = 0;
  for (size_t i = 0; i < value.data.size(); ++i) number |= static_cast<uint32_t>(value.data[i]) << (8 * i);
  return static_cast<int32_t>(number);
}

std::wstring RegistryAccessor::ReadString(const std::wstring& name) {
  auto read = Query(name);
  const platform::RegValue& value = read.value();
  if (!read.ok() || value.data.empty()) return L"";
  if (value.type != platform::RegType::String && value.type != platform::RegType::ExpandString)
    Fail(L"Invalid data type for '%s'", name);
  return platform::reg_text(value);
}

bool RegistryAccessor::ValueExists(const std::wstring& name) { return Query(name).ok(); }

void RegistryAccessor::WriteString(const std::wstring& name, const std::wstring& value) {
  if (!current_ || !current_->write(name, platform::reg_string(value)).ok())
    Fail(L"Failed to set data for '%s'", name);
}

}  // namespace base
