#pragma once
// Posix implementations of the basic platform services.
#include "platform/clock.h"
#include "platform/file_access.h"
#include "platform/files.h"
#include "platform/locale.h"
#include "platform/process_info.h"
#include "platform/profile.h"
#include "platform/shell.h"
#include "platform/system_errors.h"
#include "platform/threads.h"

namespace platform::posix {

class PosixProfile : public Profile {
 public:
  core::Status write_string(const std::wstring& file, const std::wstring& section, const std::wstring& key,
                    const std::wstring& value) override;
  std::wstring read_string(const std::wstring& file, const std::wstring& section,
                           const std::wstring& key, const std::wstring& fallback) override;
};

class PosixShell : public Shell {
 public:
  core::Status start_hidden(const std::wstring& file, const std::wstring& parameters,
                    const std::wstring& directory) override;
};

class PosixFiles : public Files {
 public:
  bool is_file(const std::wstring& path) override;
};

class PosixFileAccess : public FileAccess {
 public:
  core::Result<std::vector<std::wstring>> untrusted_writers(const std::wstring& path) override;
};

class PosixProcessInfo : public ProcessInfo {
 public:
  std::wstring executable_path() override;
  std::wstring command_line() override;
  void set_priority_class(PriorityClass priority) override;
  void sleep_ms(uint32_t milliseconds) override;
};

class PosixThreads : public Threads {
 public:
  core::Result<std::unique_ptr<ThreadHandle>> create_suspended(std::function<void()> body) override;
  uint32_t current_thread_id() override;
  void name_current_thread(const char* name) override;
  void at_current_thread_exit(void (*cleanup)(void*), void* value) override;
};

class PosixClock : public Clock {
 public:
  LocalTime local_now() override;
  uint64_t monotonic_ms() override;
};

// Regional settings from the process environment (LC_TIME, LC_NUMERIC).
class PosixLocale : public Locale {
 public:
  std::wstring short_day_name(int weekday) override;
  wchar_t date_separator() override;
  wchar_t time_separator() override;
  wchar_t decimal_separator() override;
};

class PosixSystemErrors : public SystemErrors {
 public:
  std::wstring text(uint32_t code) override;
};

// Parks the calling thread while another thread holds it suspended; the
// posix stand-in for SuspendThread takes effect at these points.
void honour_suspension();

}  // namespace platform::posix
