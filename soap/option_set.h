#pragma once
// A set over the members of an option enumeration, as the web client's
// settings hold them (invoke, convert and transport options).
#include <bitset>
#include <cstddef>
#include <initializer_list>
#include <type_traits>

namespace soap {

template <class Option>
class TOptionSet {
  static_assert(std::is_enum_v<Option>);

 public:
  TOptionSet() = default;
  TOptionSet(std::initializer_list<Option> options) {
    for (auto o : options) Include(o);
  }
  bool Has(Option o) const { return bits_.test(Position(o)); }
  void Include(Option o) { bits_.set(Position(o)); }
  void Exclude(Option o) { bits_.reset(Position(o)); }
  bool Empty() const { return bits_.none(); }
  bool operator==(const TOptionSet&) const = default;

 private:
  static size_t Position(Option o) { return static_cast<size_t>(o); }
  // Room for every option enumeration; a member beyond it throws.
  std::bitset<32> bits_;
};

}  // namespace soap
