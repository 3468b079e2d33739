#include <gtest/gtest.h>

#include <filesystem>

#include "base/ini_file.h"
#include "support/failure.h"
#include "support/temp_dir.h"

using testing_support::TempDir;

TEST(IniFile, WriteAddsFileSectionAndKeyThenReplaces) {
  TempDir dir;
  base::TIniFile ini(dir.file(L"LOGSrvBackup.ini"));
  ini.WriteString(L"BACKUP", L"EXECUTADO", L"first");
  ini.WriteString(L"BACKUP", L"ERRO", L"Arquivo n\u00E3o localizado: x");
  ini.WriteString(L"backup", L"executado", L"second");  // names match without case
  ini.WriteString(L"OTHER", L"K", L"v");
  EXPECT_EQ(ini.ReadString(L"BACKUP", L"EXECUTADO", L"?"), L"second");
  EXPECT_EQ(ini.ReadString(L"BACKUP", L"ERRO", L"?"), L"Arquivo n\u00E3o localizado: x");
  EXPECT_EQ(ini.ReadString(L"OTHER", L"K", L"?"), L"v");
  EXPECT_EQ(ini.ReadString(L"BACKUP", L"NONE", L"fallback"), L"fallback");
}

TEST(IniFile, MissingFileReadsFallback) {
  TempDir dir;
  base::TIniFile ini(dir.file(L"backup.ini"));
  EXPECT_EQ(ini.ReadString(L"EMPRESA", L"CNPJ", L""), L"");
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "backup.ini"));
}

TEST(IniFile, UnwritableFileRaisesWithItsName) {
  TempDir dir;
  std::filesystem::create_directory(dir.path() / "LOGSrvBackup.ini");  // a directory cannot be written as a file
  const std::wstring path = dir.file(L"LOGSrvBackup.ini");
  base::TIniFile ini(path);
  EXPECT_EQ(testing_support::FailureMessage([&] { ini.WriteString(L"BACKUP", L"EXECUTADO", L"x"); }),
            L"Unable to write to " + path);
}

// Every read is cut at the profile functions' limit on both targets, so a
// hostile backup.ini costs the poll the same on Linux as on Windows.
TEST(IniFile, LongValueReadsAsItsFirst2047Characters) {
  TempDir dir;
  base::TIniFile ini(dir.file(L"backup.ini"));
  std::wstring value;
  for (int i = 0; i < 3000; ++i) value += static_cast<wchar_t>(L'0' + i % 10);
  ini.WriteString(L"EMPRESA", L"CNPJ", value);
  EXPECT_EQ(ini.ReadString(L"EMPRESA", L"CNPJ", L""), value.substr(0, 2047));
}
