#include <windows.h>

#include <gtest/gtest.h>

#include "backup/UThreadBackup.h"
#include "platform/host.h"
#include "support/fakes.h"
#include "support/temp_dir.h"

using namespace testing_support;

// The run log through the real profile functions: a new file is Unicode,
// so the accented error text and any path survive as written.
TEST(RealRunLog, MissingProgramIsLoggedInAUnicodeFile) {
  TempDir dir{"tav run log \u00E3"};
  FakeProcess process;
  process.exe = dir.file(L"SrvBackupVostrani.exe");
  platform::ScopedOverride<platform::ProcessInfo> use_process{&platform::Host::process, &process};
  {
    backup::TThreadBackup worker(true);
    worker.Start();
    worker.WaitFor();
  }
  const std::wstring log = dir.file(L"LOGSrvBackup.ini");
  wchar_t value[1024] = {};
  GetPrivateProfileStringW(L"BACKUP", L"ERRO", L"", value, 1024, log.c_str());
  EXPECT_EQ(std::wstring(value), L"Arquivo n\u00E3o localizado: " + dir.file(L"backup_vostrani.exe"));
  GetPrivateProfileStringW(L"BACKUP", L"EXECUTADO", L"", value, 1024, log.c_str());
  EXPECT_EQ(wcslen(value), 19u);
  const std::string bytes = ReadFile(dir.path() / "LOGSrvBackup.ini");
  ASSERT_GE(bytes.size(), 2u);
  EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
}
