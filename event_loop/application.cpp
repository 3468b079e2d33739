#include "event_loop/application.h"

#include <atomic>
#include <cstdlib>
#include <cwctype>
#include <iostream>

#include "core/exceptions.h"
#include "core/format.h"
#include "base/paths.h"
#include "core/utf.h"
#include "platform/dialogs.h"
#include "platform/host.h"

namespace event_loop {

namespace {

std::atomic<TApplication*> the_application{nullptr};

void ShowError(const std::wstring& caption, const std::wstring& text) {
  if (auto* dialogs = platform::host().dialogs) dialogs->show_message(caption, text, platform::DialogIcon::Error);
  else std::cerr << core::ToUtf8(caption) << ": " << core::ToUtf8(text) << '\n';
}

// What is known of an exception that is not one of ours: nothing but where.
void ShowUnknownException() {
  ShowError(L"Application Error", UnhandledExceptionText(L"(unknown)", base::ExecutableFileName(), 0, L""));
}

}  // namespace

TApplication* Application() { return the_application; }

TApplication::TApplication() {
  main_thread_ = CurrentThreadId();
  window_ = CreateMessageWindow([this](const TMessage& m) { WindowProcedure(m); });
  the_application = this;
}

TApplication::~TApplication() {
  TApplication* self = this;
  the_application.compare_exchange_strong(self, nullptr);
  DestroyMessageWindow(window_);
}

void TApplication::HandleMessage() {
  // No mouse input reaches our queues, so the first message is simply the
  // oldest one; the hint, dialog and shortcut filters take nothing here.
  TMessage message;
  if (!TryTakeMessage(message)) {
    Idle();
    return;
  }
  if (message.message == kQuitMessage) {
    terminated_ = true;
    return;
  }
  DispatchToWindow(message);
}

void TApplication::Idle() {
  if (CurrentThreadId() == main_thread_ && RunQueuedCalls()) return;
  WaitMessage();
}

void TApplication::Terminate() { PostToThread(main_thread_, kQuitMessage, 0, 0); }

void TApplication::HookMainWindow(TWindowHook hook) { hooks_.push_back(std::move(hook)); }

void TApplication::QueueOnMainThread(std::function<void()> call) {
  {
    std::lock_guard lock(queued_mutex_);
    queued_.push_back(std::move(call));
  }
  PostToWindow(window_, kNullMessage, 0, 0);
}

bool TApplication::RunQueuedCalls() {
  std::vector<std::function<void()>> calls;
  {
    std::lock_guard lock(queued_mutex_);
    calls.swap(queued_);
  }
  for (auto& call : calls) call();
  return !calls.empty();
}

void TApplication::WindowProcedure(const TMessage& message) {
  for (auto& hook : hooks_)
    if (hook(message)) return;
  if (message.message == kNullMessage) {
    RunQueuedCalls();
  } else if (message.message == kEndSessionMessage) {
    Terminate();
    if (message.wparam) std::exit(0);  // the user's logon really ends
  }
}

std::wstring TApplication::Title() const {
  if (!title_.empty()) return title_;
  std::wstring name = base::ExecutableFileName();
  name = name.substr(0, name.find(L'.'));
  for (size_t i = 1; i < name.size(); ++i) name[i] = static_cast<wchar_t>(std::towlower(name[i]));
  return name;
}

void TApplication::HandleException(TComponent* Sender) {
  try {
    throw;
  } catch (const core::EAbort&) {
  } catch (const std::exception& e) {
    // The standard library's exceptions carry a message like ours do.
    if (OnException) {
      OnException(Sender, e);
      return;
    }
    std::wstring text = core::ExceptionMessage(e);
    if (!text.empty() && text.back() > L'.') text += L'.';
    ShowError(Title(), text);
  } catch (...) {
    ShowUnknownException();
  }
}

void HandleApplicationException(TComponent* Sender) {
  if (TApplication* app = Application()) {
    app->HandleException(Sender);
    return;
  }
  try {
    throw;
  } catch (const core::EAbort&) {
  } catch (const std::exception& e) {
    ShowError(L"Application Error", core::ExceptionMessage(e));
  } catch (...) {
    ShowUnknownException();
  }
}

std::wstring UnhandledExceptionText(const std::wstring& class_name, const std::wstring& module,
                                    uintptr_t address, const std::wstring& message) {
  const bool stop = !message.empty() && message.back() == L'.';
  return core::Format(L"Exception %s in module %s at %p.\r\n%s%s\r\n",
                      {class_name, module, static_cast<int64_t>(address), message, std::wstring(stop ? L"" : L".")});
}

}  // namespace event_loop
