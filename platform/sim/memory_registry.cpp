#include "platform/sim/memory_registry.h"

#include <cwctype>

namespace platform {

class MemoryRegistryKey : public RegistryKey {
 public:
  MemoryRegistryKey(MemoryRegistry& owner, std::wstring path) : owner_(owner), path_(std::move(path)) {}

  std::optional<RegValue> query(const std::wstring& name) override { return owner_.get(path_, name); }

  bool write(const std::wstring& name, const RegValue& value) override {
    owner_.set(path_, name, value);
    return true;
  }

 private:
  MemoryRegistry& owner_;
  std::wstring path_;
};

std::wstring MemoryRegistry::Fold(const std::wstring& text) {
  std::wstring out = text;
  for (wchar_t& c : out) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
  return out;
}

std::wstring MemoryRegistry::Normalize(const std::wstring& path) {
  size_t first = 0, last = path.size();
  while (first < last && path[first] == L'\\') ++first;
  while (last > first && path[last - 1] == L'\\') --last;
  return Fold(path.substr(first, last - first));
}

std::unique_ptr<RegistryKey> MemoryRegistry::open_local_machine(const std::wstring& path,
                                                                uint32_t /*access*/, bool create) {
  const std::wstring key = Normalize(path);
  {
    std::lock_guard lock(mutex_);
    if (!keys_.count(key)) {
      if (!create || !faults.Next("create_key").ok()) return nullptr;
    }
  }
  if (create) create_key(path);
  return std::make_unique<MemoryRegistryKey>(*this, key);
}

void MemoryRegistry::create_key(const std::wstring& path) {
  std::lock_guard lock(mutex_);
  std::wstring key = Normalize(path);
  // Parents exist whenever a child does.
  for (size_t pos = key.find(L'\\'); pos != std::wstring::npos; pos = key.find(L'\\', pos + 1))
    keys_.insert(key.substr(0, pos));
  keys_.insert(key);
}

void MemoryRegistry::set(const std::wstring& path, const std::wstring& name, const RegValue& value) {
  create_key(path);
  std::lock_guard lock(mutex_);
  values_[{Normalize(path), Fold(name)}] = value;
}

void MemoryRegistry::remove_value(const std::wstring& path, const std::wstring& name) {
  std::lock_guard lock(mutex_);
  values_.erase({Normalize(path), Fold(name)});
}

void MemoryRegistry::clear() {
  std::lock_guard lock(mutex_);
  keys_.clear();
  values_.clear();
}

bool MemoryRegistry::key_exists(const std::wstring& path) const {
  std::lock_guard lock(mutex_);
  return keys_.count(Normalize(path)) > 0;
}

std::optional<RegValue> MemoryRegistry::get(const std::wstring& path, const std::wstring& name) const {
  std::lock_guard lock(mutex_);
  auto it = values_.find({Normalize(path), Fold(name)});
  if (it == values_.end()) return std::nullopt;
  return it->second;
}

}  // namespace platform
