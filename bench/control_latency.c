/* Times a start or a stop of a service as the control manager sees it:
 * from the request (what "sc start" and "sc stop" send) to the state
 * RUNNING or STOPPED, read every 5 ms. Prints "ms=<milliseconds>" and
 * ends with 0, or prints "error=<code>" and ends with 1. Measuring inside
 * the prefix keeps Wine's own start-up of "sc" out of the figure. */
#include <windows.h>
#include <stdio.h>
#include <wchar.h>

static int fail(const char* what) {
  printf("error=%lu (%s)\n", (unsigned long)GetLastError(), what);
  return 1;
}

int wmain(int argc, wchar_t** argv) {
  if (argc != 4 || (wcscmp(argv[1], L"start") && wcscmp(argv[1], L"stop"))) {
    fputs("usage: control_latency start|stop SERVICE TIMEOUT_MS\n", stderr);
    return 2;
  }
  const int starting = wcscmp(argv[1], L"start") == 0;
  const DWORD wanted = starting ? SERVICE_RUNNING : SERVICE_STOPPED;
  const ULONGLONG limit = wcstoul(argv[3], NULL, 10);
  SC_HANDLE manager = OpenSCManagerW(NULL, NULL, SC_MANAGER_CONNECT);
  if (!manager) return fail("OpenSCManager");
  SC_HANDLE service = OpenServiceW(manager, argv[2], SERVICE_START | SERVICE_STOP | SERVICE_QUERY_STATUS);
  if (!service) return fail("OpenService");
  LARGE_INTEGER frequency, began, now;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&began);
  SERVICE_STATUS status;
  if (starting ? !StartServiceW(service, 0, NULL) : !ControlService(service, SERVICE_CONTROL_STOP, &status))
    return fail(starting ? "StartService" : "ControlService");
  for (;;) {
    SERVICE_STATUS_PROCESS process;
    DWORD size;
    if (!QueryServiceStatusEx(service, SC_STATUS_PROCESS_INFO, (BYTE*)&process, sizeof process, &size))
      return fail("QueryServiceStatusEx");
    QueryPerformanceCounter(&now);
    const double ms = (double)(now.QuadPart - began.QuadPart) * 1000.0 / (double)frequency.QuadPart;
    if (process.dwCurrentState == wanted) {
      printf("ms=%.1f\n", ms);
      return 0;
    }
    if (ms > (double)limit) {
      printf("error=timeout state=%lu\n", (unsigned long)process.dwCurrentState);
      return 1;
    }
    Sleep(5);
  }
}
