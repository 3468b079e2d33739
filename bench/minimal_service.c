/* The footprint baseline: a Win32 service that does nothing but answer the
 * control manager. Installed beside the real service in the same prefix,
 * it shows what any service process costs there. */
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

static SERVICE_STATUS_HANDLE status_handle;
static HANDLE stop_event;

static void report(DWORD state) {
  SERVICE_STATUS status = {0};
  status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  status.dwCurrentState = state;
  status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN : 0;
  SetServiceStatus(status_handle, &status);
}

static DWORD WINAPI on_control(DWORD code, DWORD type, LPVOID data, LPVOID context) {
  (void)type, (void)data, (void)context;
  if (code == SERVICE_CONTROL_STOP || code == SERVICE_CONTROL_SHUTDOWN) {
    report(SERVICE_STOP_PENDING);
    SetEvent(stop_event);
  }
  return NO_ERROR;
}

static void WINAPI service_main(DWORD argc, LPWSTR* argv) {
  (void)argc;
  status_handle = RegisterServiceCtrlHandlerExW(argv[0], on_control, NULL);
  if (!status_handle) return;
  stop_event = CreateEventW(NULL, TRUE, FALSE, NULL);
  report(SERVICE_RUNNING);
  WaitForSingleObject(stop_event, INFINITE);
  report(SERVICE_STOPPED);
}

int main(void) {
  SERVICE_TABLE_ENTRYW table[] = {{L"TavMinimalService", service_main}, {NULL, NULL}};
  return StartServiceCtrlDispatcherW(table) ? 0 : 1;
}
