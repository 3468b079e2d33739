// platform/file_access.h on security descriptors (advapi32 GetNamedSecurityInfoW).
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <algorithm>

#include "platform/win32/base_services.h"

namespace platform::win32 {
namespace {

// Rights that let an account change the file, or the folder's contents, or
// give itself those rights.
constexpr ACCESS_MASK kWriteRights =
    FILE_WRITE_DATA | FILE_APPEND_DATA | WRITE_DAC | WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;

bool IsTrustedInstaller(PSID sid) {
  PSID installer = nullptr;
  if (!ConvertStringSidToSidW(L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464", &installer))
    return false;
  const bool same = EqualSid(sid, installer);
  LocalFree(installer);
  return same;
}

// The account running this program, when it is an administrator: whoever
// installed the service usually owns what was put in place.
bool IsThisAdministrator(PSID sid) {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  alignas(TOKEN_USER) unsigned char buffer[SECURITY_MAX_SID_SIZE + sizeof(TOKEN_USER)];
  DWORD size = 0;
  const bool known = GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size);
  CloseHandle(token);
  if (!known || !EqualSid(sid, reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid)) return false;
  unsigned char admins[SECURITY_MAX_SID_SIZE];
  DWORD admins_size = sizeof admins;
  BOOL member = FALSE;
  return CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, admins, &admins_size) &&
         CheckTokenMembership(nullptr, admins, &member) && member;
}

// Accounts that run as or above the service anyway. CREATOR OWNER only
// passes rights on to new children, whose owner is then checked itself.
bool IsTrusted(PSID sid) {
  return IsWellKnownSid(sid, WinLocalSystemSid) || IsWellKnownSid(sid, WinBuiltinAdministratorsSid) ||
         IsWellKnownSid(sid, WinCreatorOwnerSid) || IsTrustedInstaller(sid) || IsThisAdministrator(sid);
}

std::wstring AccountName(PSID sid) {
  wchar_t name[256], domain[256];
  DWORD name_size = 256, domain_size = 256;
  SID_NAME_USE use;
  if (LookupAccountSidW(nullptr, sid, name, &name_size, domain, &domain_size, &use))
    return domain_size && domain[0] ? std::wstring(domain) + L"\\" + name : std::wstring(name);
  wchar_t* text = nullptr;
  if (!ConvertSidToStringSidW(sid, &text)) return L"(an account that cannot be named)";
  std::wstring result = text;
  LocalFree(text);
  return result;
}

}  // namespace

std::vector<std::wstring> UntrustedWritersOf(const void* security_descriptor) {
  auto* descriptor = const_cast<void*>(security_descriptor);
  PSID owner = nullptr;
  PACL dacl = nullptr;
  BOOL defaulted = FALSE, present = FALSE;
  GetSecurityDescriptorOwner(descriptor, &owner, &defaulted);
  GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted);
  std::vector<std::wstring> writers;
  auto add = [&](PSID sid) {
    std::wstring name = AccountName(sid);
    if (std::find(writers.begin(), writers.end(), name) == writers.end()) writers.push_back(std::move(name));
  };
  if (owner && !IsTrusted(owner)) add(owner);
  if (!present || !dacl) {
    // No access list at all lets everyone do everything.
    writers.push_back(L"Everyone (no access list)");
    return writers;
  }
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    void* entry = nullptr;
    if (!GetAce(dacl, i, &entry)) continue;
    const auto* header = static_cast<const ACE_HEADER*>(entry);
    if (header->AceType != ACCESS_ALLOWED_ACE_TYPE || (header->AceFlags & INHERIT_ONLY_ACE)) continue;
    auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(entry);
    PSID sid = &allowed->SidStart;
    if ((allowed->Mask & kWriteRights) && !IsTrusted(sid)) add(sid);
  }
  return writers;
}

core::Result<std::vector<std::wstring>> Win32FileAccess::untrusted_writers(const std::wstring& path) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  const DWORD read = GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT,
                                           OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                           nullptr, nullptr, &descriptor);
  if (read != ERROR_SUCCESS) return core::Status::SystemError(read);
  std::vector<std::wstring> writers = UntrustedWritersOf(descriptor);
  LocalFree(descriptor);
  return writers;
}

}  // namespace platform::win32
