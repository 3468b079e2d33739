#include <windows.h>

#include <gtest/gtest.h>

#include "backup/schedule.h"
#include "support/failure.h"

using namespace backup;

namespace {

constexpr wchar_t kMain[] = L"Software\\Tav7Backup";
// Written out, not taken from the code's table: a misspelt name must fail here.
constexpr const wchar_t* kWeekdayValues[] = {L"Domingo", L"Segunda", L"Ter\u00E7a", L"Quarta",
                                             L"Quinta",  L"Sexta",   L"S\u00E1bado", L"Todo Dia"};

// Settings written straight into the 32-bit view, removed afterwards.
class RealRegistry : public testing::Test {
 protected:
  HKEY main_ = nullptr;
  HKEY hours_ = nullptr;

  void SetUp() override {
    ServiceEnabled = false;
    HourSlots = {};
    ASSERT_EQ(Create(kMain, &main_), ERROR_SUCCESS);
    ASSERT_EQ(Create(L"Software\\Tav7Backup\\Horarios", &hours_), ERROR_SUCCESS);
    SetString(main_, L"SERVICO", L"S");
    for (const wchar_t* day : kWeekdayValues) SetDword(main_, day, day == kWeekdayValues[2]);
    for (int h = 0; h < 24; ++h) {
      wchar_t name[8];
      wsprintfW(name, L"%02d:00", h);
      SetDword(hours_, name, h == 14);
    }
  }
  void TearDown() override {
    RegCloseKey(hours_);
    RegCloseKey(main_);
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Tav7Backup\\Horarios", KEY_WOW64_32KEY, 0);
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kMain, KEY_WOW64_32KEY, 0);
  }
  static LONG Create(const wchar_t* path, HKEY* key) {
    return RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_32KEY, nullptr, key,
                           nullptr);
  }
  static void SetDword(HKEY key, const wchar_t* name, DWORD value) {
    RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
  }
  static void SetString(HKEY key, const wchar_t* name, const wchar_t* text) {
    RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                   static_cast<DWORD>((wcslen(text) + 1) * sizeof(wchar_t)));
  }
};

}  // namespace

TEST_F(RealRegistry, LoadReadsTheThirtyTwoBitView) {
  LoadSchedule();
  EXPECT_TRUE(ServiceEnabled);
  for (int h = 0; h < 24; ++h) EXPECT_EQ(HourSlots[h].Enabled, h == 14) << h;

  // The same path in the 64-bit view is another key: the settings are not there.
  HKEY native = nullptr;
  LONG rc = RegOpenKeyExW(HKEY_LOCAL_MACHINE, kMain, 0, KEY_READ | KEY_WOW64_64KEY, &native);
  if (rc == ERROR_SUCCESS) {
    DWORD type = 0;
    EXPECT_NE(RegQueryValueExW(native, L"SERVICO", nullptr, &type, nullptr, nullptr), ERROR_SUCCESS);
    RegCloseKey(native);
  }
}

TEST_F(RealRegistry, ValueOfTheWrongTypeNamesItself) {
  SetString(main_, L"Domingo", L"1");
  EXPECT_EQ(testing_support::FailureMessage(LoadSchedule), L"Invalid data type for 'Domingo'");
}

TEST_F(RealRegistry, MissingAccentedWeekdayNamesItself) {
  RegDeleteValueW(main_, L"S\u00E1bado");
  EXPECT_EQ(testing_support::FailureMessage(LoadSchedule), L"Failed to get data for 'S\u00E1bado'");
}
