#pragma once
// Where the service's settings and its run log are kept. Administrators,
// installers and existing machines use these names: they never change.
#include <string>

namespace backup {

// Under HKEY_LOCAL_MACHINE, in the 32-bit view.
inline constexpr wchar_t kSettingsKey[] = L"Software\\Tav7Backup";
// The hours of the schedule, a subkey of the settings key.
inline constexpr wchar_t kHoursSubkey[] = L"Horarios";
inline std::wstring HoursKey() { return std::wstring(kSettingsKey) + L"\\" + kHoursSubkey; }

// The run log's one section and the values the launcher writes there.
inline constexpr wchar_t kRunLogSection[] = L"BACKUP";
inline constexpr wchar_t kRunLogExecuted[] = L"EXECUTADO";
inline constexpr wchar_t kRunLogError[] = L"ERRO";

}  // namespace backup
