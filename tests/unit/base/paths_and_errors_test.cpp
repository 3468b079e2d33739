#include <gtest/gtest.h>

#include "base/os_errors.h"
#include "base/paths.h"

using namespace base;
using namespace core;

TEST(Paths, DirectoryEndsAtLastBackslashOrColon) {
  EXPECT_EQ(ExtractFilePath(L"C:\\Program Files\\TAV\\SrvBackupVostrani.exe"), L"C:\\Program Files\\TAV\\");
  EXPECT_EQ(ExtractFilePath(L"C:file.exe"), L"C:");
  EXPECT_EQ(ExtractFilePath(L"file.exe"), L"");
  EXPECT_EQ(ExtractFileName(L"C:\\a\\SrvBackupVostrani.exe"), L"SrvBackupVostrani.exe");
}

TEST(OSError, MessageCarriesCodeAndText) {
  try {
    RaiseOSError(5);
    FAIL();
  } catch (const EOSError& e) {
    EXPECT_EQ(e.ErrorCode(), 5u);
    EXPECT_EQ(e.Message().rfind(L"System Error.  Code: 5.\r\n", 0), 0u);
    EXPECT_GT(e.Message().size(), std::wstring(L"System Error.  Code: 5.\r\n").size());
    EXPECT_EQ(e.ClassName(), L"EOSError");
  }
  EXPECT_EQ(OSErrorMessage(0), L"A call to an OS function failed");
}
