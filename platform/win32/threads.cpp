// platform/threads.h on Win32 threads (CreateThread, SuspendThread, fiber-local storage).
#include <windows.h>

#include "platform/thread_exit_list.h"
#include "platform/win32/base_services.h"

namespace platform::win32 {
namespace {

class Win32ThreadHandle : public ThreadHandle {
 public:
  explicit Win32ThreadHandle(std::function<void()> body) : body_(std::move(body)) {}
  ~Win32ThreadHandle() override {
    if (handle_) CloseHandle(handle_);
  }

  core::Status Create() {
    handle_ = CreateThread(nullptr, 0, &Win32ThreadHandle::Procedure, this, CREATE_SUSPENDED, &id_);
    return handle_ ? core::Status::Ok() : core::Status::SystemError(GetLastError());
  }

  core::Result<uint32_t> resume() override { return Checked(ResumeThread(handle_)); }
  core::Result<uint32_t> suspend() override { return Checked(SuspendThread(handle_)); }

  core::Status set_priority(ThreadPriority priority) override {
    static constexpr int kLevels[] = {THREAD_PRIORITY_IDLE,   THREAD_PRIORITY_LOWEST,
                                      THREAD_PRIORITY_BELOW_NORMAL, THREAD_PRIORITY_NORMAL,
                                      THREAD_PRIORITY_ABOVE_NORMAL, THREAD_PRIORITY_HIGHEST};
    if (SetThreadPriority(handle_, kLevels[static_cast<int>(priority)])) return core::Status::Ok();
    return core::Status::SystemError(GetLastError());
  }

  void wait() override { WaitForSingleObject(handle_, INFINITE); }
  uint32_t id() const override { return id_; }

 private:
  static DWORD WINAPI Procedure(void* self) {
    static_cast<Win32ThreadHandle*>(self)->body_();
    return 0;
  }

  static core::Result<uint32_t> Checked(DWORD previous) {
    if (previous == static_cast<DWORD>(-1)) return core::Status::SystemError(GetLastError());
    return static_cast<uint32_t>(previous);
  }

  std::function<void()> body_;
  HANDLE handle_ = nullptr;
  DWORD id_ = 0;
};

}  // namespace

core::Result<std::unique_ptr<ThreadHandle>> Win32Threads::create_suspended(std::function<void()> body) {
  auto thread = std::make_unique<Win32ThreadHandle>(std::move(body));
  if (core::Status created = thread->Create(); !created.ok()) return created;
  return std::unique_ptr<ThreadHandle>(std::move(thread));
}

uint32_t Win32Threads::current_thread_id() { return GetCurrentThreadId(); }

namespace {

// Fiber-local storage calls back when a thread ends, outside the C++
// runtime's own thread-exit machinery.
void WINAPI RunExitList(void* list) { ThreadExitList::RunAndDelete(list); }

DWORD ExitSlot() {
  static const DWORD slot = FlsAlloc(RunExitList);
  return slot;
}

}  // namespace

void Win32Threads::at_current_thread_exit(void (*cleanup)(void*), void* value) {
  auto* list = static_cast<ThreadExitList*>(FlsGetValue(ExitSlot()));
  if (!list) FlsSetValue(ExitSlot(), list = new ThreadExitList);
  list->add(cleanup, value);
}

void Win32Threads::name_current_thread(const char* name) {
  // SetThreadDescription exists from Windows 10 1607; older systems skip it.
  using SetDescription = HRESULT(WINAPI*)(HANDLE, PCWSTR);
  static auto set = reinterpret_cast<SetDescription>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetThreadDescription")));
  if (!set || !IsDebuggerPresent()) return;
  std::wstring wide(name, name + strlen(name));
  set(GetCurrentThread(), wide.c_str());
}

}  // namespace platform::win32
