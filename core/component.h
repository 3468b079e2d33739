#pragma once
// The common base of the objects that handlers receive as Sender.
#include <string>

namespace core {

class TComponent {
 public:
  virtual ~TComponent() = default;
  const std::wstring& Name() const { return name_; }
  void SetName(std::wstring name) { name_ = std::move(name); }

 private:
  std::wstring name_;
};

}  // namespace core
