// platform/registry_keys.h as a stand-in: keys in memory.
#include "platform/sim/registry_keys.h"

#include <cwctype>

namespace platform {

namespace {
constexpr uint32_t kKeyQueryValue = 0x0001;
}  // namespace

// Checks the rights the key was opened with, as the system does.
class MemoryKey : public RegistryKey {
 public:
  MemoryKey(MemoryRegistryKeys& owner, std::wstring path, uint32_t access)
      : owner_(owner), path_(std::move(path)), access_(access) {}

  core::Result<RegValue> query(const std::wstring& name) override {
    if (auto fault = owner_.faults.Next("query_value"); !fault.ok()) return fault;
    if (!(access_ & kKeyQueryValue)) return core::Status::SystemError(kRegistryAccessDenied);
    auto value = owner_.get(path_, name);
    if (!value) return core::Status::SystemError(kRegistryNotFound);
    return *value;
  }

  core::Status write(const std::wstring& name, const RegValue& value) override {
    if (auto fault = owner_.faults.Next("write_value"); !fault.ok()) return fault;
    if (!(access_ & kKeySetValue)) return core::Status::SystemError(kRegistryAccessDenied);
    owner_.set(path_, name, value);
    return core::Status::Ok();
  }

 private:
  MemoryRegistryKeys& owner_;
  std::wstring path_;
  uint32_t access_;
};

std::wstring MemoryRegistryKeys::Fold(const std::wstring& text) {
  std::wstring out = text;
  for (wchar_t& c : out) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
  return out;
}

std::wstring MemoryRegistryKeys::Normalize(const std::wstring& path) {
  size_t first = 0, last = path.size();
  while (first < last && path[first] == L'\\') ++first;
  while (last > first && path[last - 1] == L'\\') --last;
  return Fold(path.substr(first, last - first));
}

core::Result<std::unique_ptr<RegistryKey>> MemoryRegistryKeys::open_local_machine(
    const std::wstring& path, uint32_t access, bool create) {
  if (auto fault = faults.Next("open_key"); !fault.ok()) return fault;
  const std::wstring key = Normalize(path);
  {
    std::lock_guard lock(mutex_);
    if (!keys_.count(key)) {
      if (!create) return core::Status::SystemError(kRegistryNotFound);
      if (auto fault = faults.Next("create_key"); !fault.ok()) return fault;
    }
  }
  if (create) create_key(path);
  return std::unique_ptr<RegistryKey>(std::make_unique<MemoryKey>(*this, key, access));
}

void MemoryRegistryKeys::create_key(const std::wstring& path) {
  std::lock_guard lock(mutex_);
  std::wstring key = Normalize(path);
  // Parents exist whenever a child does.
  for (size_t pos = key.find(L'\\'); pos != std::wstring::npos; pos = key.find(L'\\', pos + 1))
    keys_.insert(key.substr(0, pos));
  keys_.insert(key);
}

void MemoryRegistryKeys::set(const std::wstring& path, const std::wstring& name, const RegValue& value) {
  create_key(path);
  std::lock_guard lock(mutex_);
  values_[{Normalize(path), Fold(name)}] = value;
}

void MemoryRegistryKeys::remove_value(const std::wstring& path, const std::wstring& name) {
  std::lock_guard lock(mutex_);
  values_.erase({Normalize(path), Fold(name)});
}

void MemoryRegistryKeys::clear() {
  std::lock_guard lock(mutex_);
  keys_.clear();
  values_.clear();
}

bool MemoryRegistryKeys::key_exists(const std::wstring& path) const {
  std::lock_guard lock(mutex_);
  return keys_.count(Normalize(path)) > 0;
}

std::optional<RegValue> MemoryRegistryKeys::get(const std::wstring& path, const std::wstring& name) const {
  std::lock_guard lock(mutex_);
  auto it = values_.find({Normalize(path), Fold(name)});
  if (it == values_.end()) return std::nullopt;
  return it->second;
}

}  // namespace platform
