#include <gtest/gtest.h>

#include "base/registry.h"
#include "platform/host.h"
#include "platform/sim/memory_registry.h"
#include "support/failure.h"

using platform::RegType;
using platform::RegValue;
using testing_support::FailureMessage;

namespace {

class RegistryRules : public testing::Test {
 protected:
  platform::MemoryRegistry memory;
  platform::ScopedOverride<platform::Registry> use{&platform::Host::registry, &memory};
  base::TRegistry reg{platform::kKeyAllAccess};

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

TEST_F(RegistryRules, WriteStringStoresText) {
  reg.WriteString(L"Description", L"TAV Backup - v1.00");
  EXPECT_EQ(reg.ReadString(L"Description"), L"TAV Backup - v1.00");
}
