/* The footprint baseline: a Win32 service that does nothing but answer the
 * control manager. Installed beside the real service in the same prefix,
 * it shows what any service process costs there. Built with TIMER_WINDOW,
 * it also keeps a 10-second timer on a message-only window, as a service
 * with window timers must: that tells what user32 alone adds. */
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

#ifdef TIMER_WINDOW
/* Waits for the stop while the window's timer messages are dispatched. */
static void wait_for_stop(void) {
  HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, NULL, NULL, NULL);
  SetTimer(window, 1, 10000, NULL);
  while (MsgWaitForMultipleObjects(1, &stop_event, FALSE, INFINITE, QS_ALLINPUT) != WAIT_OBJECT_0) {
    MSG message;
    while (PeekMessageW(&message, NULL, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
  }
  DestroyWindow(window);
}
#else
static void wait_for_stop(void) { WaitForSingleObject(stop_event, INFINITE); }
#endif

static void WINAPI service_main(DWORD argc, LPWSTR* argv) {
  (void)argc;
  status_handle = RegisterServiceCtrlHandlerExW(argv[0], on_control, NULL);
  if (!status_handle) return;
  stop_event = CreateEventW(NULL, TRUE, FALSE, NULL);
  report(SERVICE_RUNNING);
  wait_for_stop();
  report(SERVICE_STOPPED);
}

int main(void) {
  SERVICE_TABLE_ENTRYW table[] = {{L"", service_main}, {NULL, NULL}};
  return StartServiceCtrlDispatcherW(table) ? 0 : 1;
}
