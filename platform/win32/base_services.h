#pragma once
// Win32 implementations of the basic platform services.
#include "platform/clock.h"
#include "platform/file_access.h"
#include "platform/files.h"
#include "platform/locale.h"
#include "platform/process_info.h"
#include "platform/profile.h"
#include "platform/registry_keys.h"
#include "platform/shell.h"
#include "platform/system_errors.h"
#include "platform/threads.h"

namespace platform::win32 {

class Win32RegistryKeys : public RegistryKeys {
 public:
  core::Result<std::unique_ptr<RegistryKey>> open_local_machine(const std::wstring& path, uint32_t access,
                                                                bool create) override;
};

class Win32Profile : public Profile {
 public:
  core::Status write_string(const std::wstring& file, const std::wstring& section, const std::wstring& key,
                    const std::wstring& value) override;
  std::wstring read_string(const std::wstring& file, const std::wstring& section,
                           const std::wstring& key, const std::wstring& fallback) override;
};

class Win32Shell : public Shell {
 public:
  core::Status start_hidden(const std::wstring& file, const std::wstring& parameters,
                    const std::wstring& directory) override;
};

class Win32Files : public Files {
 public:
  bool is_file(const std::wstring& path) override;
};

class Win32FileAccess : public FileAccess {
 public:
  core::Result<std::vector<std::wstring>> untrusted_writers(const std::wstring& path) override;
};

// What untrusted_writers concludes from a security descriptor in memory.
std::vector<std::wstring> UntrustedWritersOf(const void* security_descriptor);

class Win32ProcessInfo : public ProcessInfo {
 public:
  std::wstring executable_path() override;
  std::wstring command_line() override;
  void set_priority_class(PriorityClass priority) override;
  void sleep_ms(uint32_t milliseconds) override;
};

class Win32Threads : public Threads {
 public:
  core::Result<std::unique_ptr<ThreadHandle>> create_suspended(std::function<void()> body) override;
  uint32_t current_thread_id() override;
  void name_current_thread(const char* name) override;
  void at_current_thread_exit(void (*cleanup)(void*), void* value) override;
};

class Win32Clock : public Clock {
 public:
  LocalTime local_now() override;
  uint64_t monotonic_ms() override;
};

class Win32Locale : public Locale {
 public:
  std::wstring short_day_name(int weekday) override;
  wchar_t date_separator() override;
  wchar_t time_separator() override;
  wchar_t decimal_separator() override;
};

class Win32SystemErrors : public SystemErrors {
 public:
  std::wstring text(uint32_t code) override;
};

}  // namespace platform::win32
