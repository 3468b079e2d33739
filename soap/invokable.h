#pragma once
// Run-time descriptions of remote interfaces, and the per-call context that
// points at the caller's arguments and result.
#include <cstdint>
#include <string>
#include <vector>

namespace soap {

enum class TTypeKind {
  tkUnknown, tkInteger, tkChar, tkEnumeration, tkFloat, tkString, tkSet, tkClass, tkMethod,
  tkWChar, tkLString, tkWString, tkVariant, tkArray, tkRecord, tkInterface, tkInt64,
  tkDynArray, tkUString
};

struct TIntfMetaData;

// What a value's type is; native values behind the context's pointers are
// std::wstring (tkUString), int32_t (tkInteger) and double (tkFloat).
struct TTypeInfo {
  TTypeKind Kind;
  std::wstring Name;
  const TIntfMetaData* IntfData = nullptr;  // interfaces only
};

// Built-in types of the contract's scalar kinds.
const TTypeInfo& StringTypeInfo();
const TTypeInfo& IntegerTypeInfo();
const TTypeInfo& DoubleTypeInfo();

struct TGUID {
  uint32_t D1 = 0;
  uint16_t D2 = 0, D3 = 0;
  uint8_t D4[8] = {};
  bool operator==(const TGUID&) const = default;
};
// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"
std::wstring GUIDToString(const TGUID& guid);

enum TParamFlag : unsigned {
  pfVar = 1u << 0, pfConst = 1u << 1, pfArray = 1u << 2, pfAddress = 1u << 3,
  pfReference = 1u << 4, pfOut = 1u << 5, pfResult = 1u << 6
};
using TParamFlags = unsigned;

struct TIntfParamEntry {
  std::wstring Name;
  const TTypeInfo* Info = nullptr;
  TParamFlags Flags = 0;
};

struct TIntfMethEntry {
  std::wstring Name;
  std::vector<TIntfParamEntry> Params;
  const TTypeInfo* ResultInfo = nullptr;  // none for a procedure
  int ParamCount() const { return static_cast<int>(Params.size()); }
};

// Operations of the base interface that every remote interface starts with.
inline constexpr int kBaseMethodCount = 3;

struct TIntfMetaData {
  std::wstring Name;
  std::wstring UnitName;
  TGUID IID;
  const TTypeInfo* Info = nullptr;
  std::vector<TIntfMethEntry> MDA;  // indexed by method number, base operations first
};

// One pointer per parameter and one for the result, set before each call.
class TInvContext {
 public:
  void SetMethodInfo(const TIntfMethEntry& md);
  void SetParamPointer(int index, void* p) { params_.at(index) = p; }
  void* GetParamPointer(int index) const { return params_.at(index); }
  void SetResultPointer(void* p) { result_ = p; }
  void* GetResultPointer() const { return result_; }

 private:
  std::vector<void*> params_;
  void* result_ = nullptr;
};

}  // namespace soap
