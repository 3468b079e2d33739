#include <windows.h>
#include <aclapi.h>
#include <objbase.h>
#include <sddl.h>

#include <gtest/gtest.h>


#include "core/utf.h"
#include "platform/win32/base_services.h"
#include "platform/win32/service_services.h"
#include "support/temp_dir.h"

using testing_support::TempDir;

namespace {

// Gives `path` exactly the access list written in SDDL, owner included.
bool SetAccess(const std::wstring& path, const wchar_t* sddl) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor, nullptr)) return false;
  BOOL present = FALSE, defaulted = FALSE;
  PACL dacl = nullptr;
  PSID owner = nullptr;
  GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted);
  GetSecurityDescriptorOwner(descriptor, &owner, &defaulted);
  const DWORD set = SetNamedSecurityInfoW(const_cast<wchar_t*>(path.c_str()), SE_FILE_OBJECT,
                                          OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION |
                                              PROTECTED_DACL_SECURITY_INFORMATION,
                                          owner, nullptr, dacl, nullptr);
  LocalFree(descriptor);
  return set == ERROR_SUCCESS;
}

std::string Listed(const std::vector<std::wstring>& names) {
  std::string text;
  for (const auto& n : names) text += (text.empty() ? "" : ", ") + core::ToUtf8(n);
  return text;
}

// The account running the tests, as SDDL names it.
std::wstring ThisAccount() {
  HANDLE token = nullptr;
  OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token);
  alignas(TOKEN_USER) unsigned char buffer[SECURITY_MAX_SID_SIZE + sizeof(TOKEN_USER)];
  DWORD size = 0;
  GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size);
  CloseHandle(token);
  wchar_t* text = nullptr;
  ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &text);
  std::wstring sid = text;
  LocalFree(text);
  return sid;
}

std::vector<std::wstring> WritersOf(const std::wstring& sddl) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr)) {
    ADD_FAILURE() << "bad SDDL " << core::ToUtf8(sddl);
    return {};
  }
  std::vector<std::wstring> writers = platform::win32::UntrustedWritersOf(descriptor);
  LocalFree(descriptor);
  return writers;
}

TEST(Win32FileAccess, NamesWhoElseMayWriteFromTheOwnerAndTheAccessList) {
  BOOL admin = FALSE;
  unsigned char admins[SECURITY_MAX_SID_SIZE];
  DWORD admins_size = sizeof admins;
  ASSERT_TRUE(CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, admins, &admins_size));
  ASSERT_TRUE(CheckTokenMembership(nullptr, admins, &admin));
  const std::wstring me = ThisAccount();
  struct Case {
    std::wstring sddl;
    std::vector<std::wstring> writers;
  } cases[] = {
      // The system and administrators own and write it; users only read.
      {L"O:BAD:P(A;;FA;;;SY)(A;;FA;;;BA)(A;;FR;;;BU)", {}},
      {L"O:SYD:P(A;;FA;;;SY)(A;;FA;;;BA)(A;;FW;;;WD)", {L"Everyone"}},
      {L"O:BAD:P(A;;FA;;;SY)(A;;0x4;;;BU)", {L"BUILTIN\\Users"}},         // append only is enough
      {L"O:BAD:P(A;;FA;;;SY)(A;;WD;;;AU)", {L"NT AUTHORITY\\Authenticated Users"}},  // may rewrite the list
      {L"O:BAD:P(A;;FA;;;SY)(A;IO;FA;;;BU)(A;;FA;;;CO)", {}},             // for children only
      {L"O:BAD:P(D;;FA;;;BU)(A;;FR;;;BU)", {}},                           // denying entries grant nothing
      {L"O:BUD:P(A;;FA;;;SY)", {L"BUILTIN\\Users"}},                      // an owner may rewrite the list
      {L"O:BA", {L"Everyone (no access list)"}},
      // The administrator who installed it owns it.
      {L"O:" + me + L"D:P(A;;FA;;;SY)", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(core::ToUtf8(c.sddl));
    if (c.sddl.starts_with(L"O:" + me) && !admin) continue;
    EXPECT_EQ(WritersOf(c.sddl), c.writers) << Listed(WritersOf(c.sddl));
  }
}

// Wine keeps no access list of its own for a file: it shows the Unix owner
// as the owner and the Unix mode bits as entries; writable by all is
// "Everyone".
TEST(Win32FileAccess, ReadsTheAccessListOfARealFile) {
  TempDir dir{"tav access"};
  const std::wstring file = dir.file(L"backup_vostrani.exe");
  CloseHandle(CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  platform::win32::Win32FileAccess access;
  const auto as_created = access.untrusted_writers(file);
  ASSERT_TRUE(as_created.ok()) << as_created.status().code();
  RecordProperty("new_file_writers", Listed(as_created.value()));
  EXPECT_EQ(as_created.value(), std::vector<std::wstring>{});
  ASSERT_TRUE(SetAccess(file, L"O:BAD:P(A;;FA;;;SY)(A;;FA;;;BA)(A;;FA;;;WD)"));
  const auto everyone = access.untrusted_writers(file);
  ASSERT_TRUE(everyone.ok());
  EXPECT_EQ(everyone.value(), std::vector<std::wstring>{L"Everyone"});
  ASSERT_TRUE(SetAccess(file, L"O:BAD:P(A;;FA;;;SY)(A;;FA;;;BA)(A;;FR;;;WD)"));
  EXPECT_EQ(access.untrusted_writers(file).value(), std::vector<std::wstring>{});
}

TEST(Win32FileAccess, APathThatIsNotThereGivesTheSystemsCode) {
  TempDir dir{"tav access missing"};
  const auto writers = platform::win32::Win32FileAccess().untrusted_writers(dir.file(L"nothing.exe"));
  ASSERT_FALSE(writers.ok());
  EXPECT_EQ(writers.status().code(), static_cast<uint32_t>(ERROR_FILE_NOT_FOUND));
}

// A test program run from a terminal: what Wine says of its window station.
TEST(Win32Dialogs, TellsWhetherTheWindowStationIsVisible) {
  const bool visible = platform::win32::Win32Dialogs().visible_window_station();
  RecordProperty("visible_window_station", visible ? "yes" : "no");
  std::printf("visible window station: %s\n", visible ? "yes" : "no");
  HWINSTA station = GetProcessWindowStation();
  ASSERT_NE(station, nullptr);
  USEROBJECTFLAGS flags{};
  DWORD needed = 0;
  ASSERT_TRUE(GetUserObjectInformationW(station, UOI_FLAGS, &flags, sizeof flags, &needed));
  EXPECT_EQ(visible, (flags.dwFlags & WSF_VISIBLE) != 0);
}

}  // namespace
