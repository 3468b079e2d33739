#include <gtest/gtest.h>

#include "base/registry_accessor.h"
#include "platform/host.h"
#include "platform/sim/registry_keys.h"
#include "support/failure.h"

using platform::RegType;
using platform::RegValue;
using testing_support::FailureMessage;

namespace {

class RegistryRules : public testing::Test {
 protected:
  platform::MemoryRegistryKeys memory;
  platform::ScopedOverride<platform::RegistryKeys> use{&platform::Host::registry_keys, &memory};
  base::RegistryAccessor reg{platform::kKeyAllAccess};

  void SetUp() override { ASSERT_TRUE(reg.OpenKey(L"\\Software\\Test", true)); }
  void Put(const std::wstring& name, RegValue v) { memory.set(L"Software\\Test", name, v); }
};

}  // namespace

TEST_F(RegistryRules, NumbersFollowSizeThenTypeRules) {
  Put(L"ok", platform::reg_dword(7));
  Put(L"big", RegValue{RegType::Binary, {1, 2, 3, 4, 5, 6, 7, 8}});
  Put(L"small", RegValue{RegType::Binary, {1, 0}});
  Put(L"text", platform::reg_string(L"1"));  // 4 bytes, wrong type
  EXPECT_EQ(reg.ReadInteger(L"ok"), 7);
  EXPECT_TRUE(reg.ReadBool(L"ok"));
  EXPECT_EQ(FailureMessage([&] { reg.ReadInteger(L"missing"); }), L"Failed to get data for 'missing'");
  EXPECT_EQ(FailureMessage([&] { reg.ReadInteger(L"big"); }), L"Failed to get data for 'big'");
  EXPECT_EQ(FailureMessage([&] { reg.ReadInteger(L"small"); }), L"Invalid data type for 'small'");
  EXPECT_EQ(FailureMessage([&] { reg.ReadBool(L"text"); }), L"Invalid data type for 'text'");
}

TEST_F(RegistryRules, StringsAcceptBothStringTypesAndStopAtNul) {
  Put(L"plain", platform::reg_string(L"S"));
  Put(L"expand", platform::reg_string(L"%x%", RegType::ExpandString));
  Put(L"empty", RegValue{RegType::Dword, {}});
  Put(L"nul", platform::reg_string(std::wstring(L"S\0tail", 6)));
  Put(L"number", platform::reg_dword(1));
  EXPECT_EQ(reg.ReadString(L"plain"), L"S");
  EXPECT_EQ(reg.ReadString(L"expand"), L"%x%");
  EXPECT_EQ(reg.ReadString(L"missing"), L"");
  EXPECT_EQ(reg.ReadString(L"empty"), L"");
  EXPECT_EQ(reg.ReadString(L"nul"), L"S");
  EXPECT_EQ(FailureMessage([&] { reg.ReadString(L"number"); }), L"Invalid data type for 'number'");
}

TEST_F(RegistryRules, KeyThatDoesNotOpenLeavesCurrentKey) {
  Put(L"here", platform::reg_dword(3));
  EXPECT_FALSE(reg.OpenKey(L"\\Software\\Absent", false));
  EXPECT_EQ(reg.ReadInteger(L"here"), 3);
  EXPECT_FALSE(memory.key_exists(L"Software\\Absent"));
  EXPECT_TRUE(reg.OpenKey(L"Child", true));  // relative to the open key
  EXPECT_TRUE(memory.key_exists(L"Software\\Test\\Child"));
}

TEST_F(RegistryRules, WriteStringStoresATerminatedStringOrNamesTheValueItCouldNot) {
  reg.WriteString(L"Description", L"ab");
  const auto stored = memory.get(L"Software\\Test", L"Description");
  ASSERT_TRUE(stored);
  EXPECT_EQ(stored->type, RegType::String);
  EXPECT_EQ(stored->data, (std::vector<uint8_t>{'a', 0, 'b', 0, 0, 0}));

  memory.faults.FailNext("write_value", 5);
  EXPECT_EQ(FailureMessage([&] { reg.WriteString(L"Description", L"x"); }), L"Failed to set data for 'Description'");
  base::RegistryAccessor reader{platform::kKeyRead};
  ASSERT_TRUE(reader.OpenKey(L"\\Software\\Test", false));
  EXPECT_EQ(FailureMessage([&] { reader.WriteString(L"Other", L"x"); }), L"Failed to set data for 'Other'");
  EXPECT_EQ(memory.get(L"Software\\Test", L"Description")->data.size(), 6u) << "a failed write changed the value";
}

// The backend of this build, unreplaced: the stand-in on the host, the
// system's registry under Wine. Both must report the same codes, or the
// rules above would differ between the targets. The key is left behind on
// Windows, in the tests' throwaway prefix.
TEST(RegistryKeysBackend, ReportsTheSameCodesOnEveryTarget) {
  platform::RegistryKeys& keys = *platform::host().registry_keys;
  const std::wstring path = L"Software\\TavRegistryCodesTest";

  auto absent = keys.open_local_machine(path + L"\\Absent", platform::kKeyRead, false);
  EXPECT_EQ(absent.status().kind(), core::FailureKind::System);
  EXPECT_EQ(absent.status().code(), platform::kRegistryNotFound);

  auto key = keys.open_local_machine(path, platform::kKeyAllAccess, true);
  ASSERT_TRUE(key.ok()) << key.status().code();
  ASSERT_TRUE(key.value()->write(L"text", platform::reg_string(L"1")).ok());
  EXPECT_EQ(key.value()->query(L"absent").status().code(), platform::kRegistryNotFound);
  auto text = key.value()->query(L"text");
  ASSERT_TRUE(text.ok());
  EXPECT_EQ(text.value().type, RegType::String);
  EXPECT_EQ(text.value().data.size(), 4u);

  auto readOnly = keys.open_local_machine(path, platform::kKeyRead, false);
  ASSERT_TRUE(readOnly.ok());
  EXPECT_EQ(readOnly.value()->write(L"text", platform::reg_dword(1)).code(), platform::kRegistryAccessDenied);

  base::RegistryAccessor reader{platform::kKeyRead};
  ASSERT_TRUE(reader.OpenKey(L"\\" + path, false));
  EXPECT_EQ(FailureMessage([&] { reader.ReadInteger(L"text"); }), L"Invalid data type for 'text'");
  EXPECT_EQ(FailureMessage([&] { reader.ReadInteger(L"absent"); }), L"Failed to get data for 'absent'");
}

TEST(MemoryRegistryKeys, FailsAsItsFaultPlanSays) {
  platform::MemoryRegistryKeys memory;
  memory.set(L"Software\\Test", L"v", platform::reg_dword(1));
  memory.faults.FailNext("open_key", 5);
  EXPECT_EQ(memory.open_local_machine(L"Software\\Test", platform::kKeyRead, false).status().code(), 5u);
  auto key = memory.open_local_machine(L"Software\\Test", platform::kKeyAllAccess, false);
  ASSERT_TRUE(key.ok());
  memory.faults.FailNext("query_value", 1450);
  memory.faults.FailNext("write_value", 1450);
  EXPECT_EQ(key.value()->query(L"v").status().code(), 1450u);
  EXPECT_EQ(key.value()->write(L"v", platform::reg_dword(2)).code(), 1450u);
  EXPECT_TRUE(key.value()->query(L"v").ok());  // once only
}
