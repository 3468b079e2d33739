// The service host against a real control manager (Wine's): a test service
// is registered, started with sc, driven with control requests, and each
// status read back through "sc query".
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "support/wait_until.h"

namespace {

using namespace std::chrono_literals;

const wchar_t kName[] = L"TavTestSvc";

std::wstring ExecutableDirectory() {
  wchar_t path[MAX_PATH];
  DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring p(path, n);
  return p.substr(0, p.find_last_of(L'\\') + 1);
}

// Runs a command line, bounded in time, and returns what it wrote.
std::string RunCommand(const std::wstring& command) {
  SECURITY_ATTRIBUTES sa{sizeof(sa), nullptr, TRUE};
  HANDLE read_end, write_end;
  if (!CreatePipe(&read_end, &write_end, &sa, 0)) return "pipe failed";
  SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdOutput = write_end;
  si.hStdError = write_end;
  si.hStdInput = nullptr;
  PROCESS_INFORMATION pi{};
  std::wstring line = command;
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
    CloseHandle(read_end);
    CloseHandle(write_end);
    return "could not start";
  }
  CloseHandle(write_end);
  std::string output;
  if (WaitForSingleObject(pi.hProcess, 30000) != WAIT_OBJECT_0) {
    TerminateProcess(pi.hProcess, 1);
    output = "timed out\n";
  }
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(read_end, buffer, sizeof(buffer), &got, nullptr) && got > 0) output.append(buffer, got);
  CloseHandle(read_end);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return output;
}

std::string last_query;

// The state number "sc query" shows ("STATE : 4 RUNNING"), or 0.
int QueriedState() {
  const std::string out = RunCommand(L"sc query " + std::wstring(kName));
  last_query = out;
  const size_t at = out.find("STATE");
  if (at == std::string::npos) return 0;
  const size_t colon = out.find(':', at);
  return colon == std::string::npos ? 0 : std::atoi(out.c_str() + colon + 1);
}

bool ReachesState(int state) {
  return testing_support::WaitUntil([&] { return QueriedState() == state; }, 20s, 100ms);
}

class WineServiceManager : public ::testing::Test {
 protected:
  SC_HANDLE manager = nullptr;
  SC_HANDLE svc = nullptr;

  void SetUp() override {
    manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    ASSERT_NE(manager, nullptr) << GetLastError();
    if (SC_HANDLE old = OpenServiceW(manager, kName, SERVICE_ALL_ACCESS)) {
      SERVICE_STATUS s;
      ControlService(old, SERVICE_CONTROL_STOP, &s);
      DeleteService(old);
      CloseServiceHandle(old);
    }
    const std::wstring path = L"\"" + ExecutableDirectory() + L"tav_test_service.exe\"";
    svc = CreateServiceW(manager, kName, L"TAV test service", SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                         SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, path.c_str(), nullptr, nullptr, nullptr,
                         nullptr, nullptr);
    ASSERT_NE(svc, nullptr) << GetLastError();
  }

  void TearDown() override {
    if (svc) {
      SERVICE_STATUS s;
      if (QueryServiceStatus(svc, &s) && s.dwCurrentState != SERVICE_STOPPED) {
        ControlService(svc, SERVICE_CONTROL_STOP, &s);
        ReachesState(SERVICE_STOPPED);
      }
      DeleteService(svc);
      CloseServiceHandle(svc);
    }
    if (manager) CloseServiceHandle(manager);
  }

  // Wine's sc has no pause, continue or interrogate: those go through the
  // control manager's own call.
  void Control(DWORD code) {
    SERVICE_STATUS s;
    ASSERT_TRUE(ControlService(svc, code, &s)) << code << " " << GetLastError();
  }
};

}  // namespace

TEST_F(WineServiceManager, StartPauseInterrogateContinueStopAreSeenBySc) {
  const std::string started = RunCommand(L"sc start " + std::wstring(kName));
  ASSERT_TRUE(ReachesState(SERVICE_RUNNING)) << started << last_query;
  SERVICE_STATUS s;
  ASSERT_TRUE(QueryServiceStatus(svc, &s));
  EXPECT_EQ(s.dwControlsAccepted, 7u);
  EXPECT_EQ(s.dwCheckPoint, 0u);

  Control(SERVICE_CONTROL_PAUSE);
  ASSERT_TRUE(ReachesState(SERVICE_PAUSED));
  Control(SERVICE_CONTROL_INTERROGATE);
  EXPECT_TRUE(ReachesState(SERVICE_PAUSED));
  Control(SERVICE_CONTROL_CONTINUE);
  ASSERT_TRUE(ReachesState(SERVICE_RUNNING));

  const std::string stopped = RunCommand(L"sc stop " + std::wstring(kName));
  EXPECT_TRUE(ReachesState(SERVICE_STOPPED)) << stopped;
}
