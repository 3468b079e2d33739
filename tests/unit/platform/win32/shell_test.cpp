#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

#include "platform/win32/base_services.h"
#include "support/temp_dir.h"
#include "support/wait_until.h"

using testing_support::ReadFile;
using testing_support::TempDir;

namespace {

std::string WaitForLines(const std::filesystem::path& file, size_t lines) {
  std::string text;
  testing_support::WaitUntil(
      [&] {
        text = std::filesystem::exists(file) ? ReadFile(file) : "";
        return static_cast<size_t>(std::count(text.begin(), text.end(), '\n')) >= lines;
      },
      std::chrono::seconds(20));
  return text;
}

// The shell is mapped from the first launch on, not before, and every
// launch reaches the program.
TEST(Win32Shell, TheFirstLaunchMapsTheShellAndEachLaunchStartsTheProgram) {
  TempDir dir{"tav shell start"};
  std::filesystem::path stub = TAV_RECORD_START;
  if (stub.string().rfind("/", 0) == 0) stub = "Z:" + stub.string();  // Wine's view of the build tree
  std::filesystem::copy_file(stub, dir.path() / "backup_vostrani.exe");
  ASSERT_EQ(GetModuleHandleW(L"shell32.dll"), nullptr) << "this test program must not import the shell itself";

  platform::win32::Win32Shell shell;
  for (const wchar_t* parameters : {L"ok SERVICO", L"ok SERVICO KELVO"}) {
    const core::Status started = shell.start_hidden(dir.file(L"backup_vostrani.exe"), parameters, L"");
    EXPECT_TRUE(started.ok()) << started.code();
    EXPECT_NE(GetModuleHandleW(L"shell32.dll"), nullptr);
  }
  const std::string calls = WaitForLines(dir.path() / "backup_vostrani.exe.calls", 2);
  EXPECT_NE(calls.find("args=ok SERVICO|"), std::string::npos) << calls;
  EXPECT_NE(calls.find("args=ok SERVICO KELVO|"), std::string::npos) << calls;
}

TEST(Win32Shell, AProgramThatCannotStartGivesTheSystemsCode) {
  TempDir dir{"tav shell missing"};
  platform::win32::Win32Shell shell;
  const core::Status started = shell.start_hidden(dir.file(L"backup_vostrani.exe"), L"ok SERVICO", L"");
  ASSERT_FALSE(started.ok());
  EXPECT_EQ(started.kind(), core::FailureKind::System);
  EXPECT_EQ(started.code(), static_cast<uint32_t>(ERROR_FILE_NOT_FOUND));
}

// A launch leaves the thread's COM as it found it: a thread without COM
// has none afterwards, one with a multithreaded apartment keeps it.
// After the tests that need the shell not yet mapped.
TEST(Win32Shell, ALaunchLeavesTheThreadsComAsItWas) {
  TempDir dir{"tav shell com"};
  std::thread([&] {
    platform::win32::Win32Shell shell;
    (void)shell.start_hidden(dir.file(L"missing.exe"), L"ok SERVICO", L"");
    const HRESULT after = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    EXPECT_EQ(after, S_OK) << "the launch left COM initialised on its thread";
    if (SUCCEEDED(after)) CoUninitialize();
  }).join();
  std::thread([&] {
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    platform::win32::Win32Shell shell;
    EXPECT_EQ(shell.start_hidden(dir.file(L"missing.exe"), L"ok SERVICO", L"").code(),
              static_cast<uint32_t>(ERROR_FILE_NOT_FOUND));
    APTTYPE type;
    APTTYPEQUALIFIER qualifier;
    ASSERT_EQ(CoGetApartmentType(&type, &qualifier), S_OK);
    EXPECT_EQ(type, APTTYPE_MTA);
    CoUninitialize();
  }).join();
}

}  // namespace
