#include "backup/web_service_location.h"

#include "backup/stored_names.h"
#include "base/registry_accessor.h"
#include "core/exceptions.h"
#include "core/format.h"
#include "core/text.h"
#include "platform/host.h"
#include "platform/registry_keys.h"

#ifndef TAV_WSDL_HOST
#error "TAV_WSDL_HOST names the central web server this build talks to"
#endif

namespace backup {
namespace {

constexpr wchar_t kValueName[] = L"ServidorBackup";

bool IsLetterOrDigit(wchar_t c) { return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9'); }
bool IsHexDigit(wchar_t c) { return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F'); }

// Labels of letters, digits, "-" and "_" (some Windows names carry one)
// between dots; an IPv4 address is one of these.
bool IsHostName(const std::wstring& text) {
  if (text.empty() || text.size() > 253) return false;
  size_t start = 0;
  for (;;) {
    const size_t dot = text.find(L'.', start);
    const std::wstring label = text.substr(start, dot == std::wstring::npos ? std::wstring::npos : dot - start);
    if (label.empty() || label.size() > 63 || label.front() == L'-' || label.back() == L'-') return false;
    for (wchar_t c : label)
      if (!IsLetterOrDigit(c) && c != L'-' && c != L'_') return false;
    if (dot == std::wstring::npos) return true;
    start = dot + 1;
  }
}

// Hex groups and colons, a dotted IPv4 tail allowed; no zone, which a URL
// would need escaped.
bool IsIPv6Address(const std::wstring& text) {
  if (text.size() < 2 || text.size() > 45) return false;
  size_t colons = 0;
  for (wchar_t c : text) {
    if (c == L':') ++colons;
    else if (!IsHexDigit(c) && c != L'.') return false;
  }
  const bool compressed = text.find(L"::") != std::wstring::npos;
  if (text.find(L":::") != std::wstring::npos || text.find(L"::", text.find(L"::") + 1) != std::wstring::npos)
    return false;
  return colons >= 2 && colons <= 7 && (compressed || colons == 7 || text.find(L'.') != std::wstring::npos);
}

std::wstring Describe(const platform::RegValue& value) {
  switch (value.type) {
    case platform::RegType::Dword: {
      uint32_t n = 0;
      for (size_t i = 0; i < value.data.size() && i < 4; ++i) n |= static_cast<uint32_t>(value.data[i]) << (8 * i);
      return L"a REG_DWORD, " + std::to_wstring(n);
    }
    case platform::RegType::Qword: return L"a REG_QWORD";
    case platform::RegType::Binary: return L"a REG_BINARY of " + std::to_wstring(value.data.size()) + L" bytes";
    case platform::RegType::MultiString: return L"a REG_MULTI_SZ";
    default: return L"a value of type " + std::to_wstring(static_cast<uint32_t>(value.type));
  }
}

// What is stored, for a report: the text of a string, else its type.
std::wstring StoredText() {
  auto key = platform::host().registry_keys->open_local_machine(kSettingsKey, platform::kKeyRead, false);
  if (!key.ok()) return L"";
  auto value = key.value()->query(kValueName);
  if (!value.ok()) return L"";
  const platform::RegType type = value.value().type;
  if (type == platform::RegType::String || type == platform::RegType::ExpandString)
    return platform::reg_text(value.value());
  return Describe(value.value());
}

}  // namespace

std::wstring BuiltInServerHost() { return L"" TAV_WSDL_HOST; }

std::wstring UrlHost(const std::wstring& text) {
  if (IsHostName(text)) return text;
  if (IsIPv6Address(text)) return L"[" + text + L"]";
  if (text.size() > 2 && text.front() == L'[' && text.back() == L']' && IsIPv6Address(text.substr(1, text.size() - 2)))
    return text;
  throw core::Exception(core::Format(
      L"Invalid 'ServidorBackup': \"%s\" is not a host name or an address (no scheme, port or path)", {text}));
}

// Read access is all it needs, so any user sees the same host as the service.
ServerHostSetting ReadServerHostSetting() {
  ServerHostSetting setting;
  try {
    base::RegistryAccessor accessor(platform::kKeyRead);
    std::wstring text;
    if (accessor.OpenKey(L"\\" + std::wstring(kSettingsKey), false)) text = core::Trim(accessor.ReadString(kValueName));
    setting.stored = text;
    setting.host = text.empty() ? BuiltInServerHost() : UrlHost(text);
  } catch (const std::exception& e) {
    setting.failure = core::ExceptionMessage(e);
    setting.host.clear();
    if (setting.stored.empty()) setting.stored = StoredText();
  }
  return setting;
}

std::wstring CentralServerHost() {
  ServerHostSetting setting = ReadServerHostSetting();
  if (!setting.failure.empty()) throw core::Exception(setting.failure);
  return setting.host;
}

std::wstring WSDLLocation(const std::wstring& host) {
  return L"http://" + host + L":5660/VostraniKelvoP/Kelvo.dll/wsdl/IcoKelvo";
}

}  // namespace backup
