#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "core/exceptions.h"
#include "platform/dialogs.h"
#include "platform/host.h"
#include "platform/process_info.h"
#include "support/fakes.h"
#include "event_loop/application.h"

using namespace event_loop;
using namespace std::chrono_literals;

namespace {

class RecordingDialogs : public platform::Dialogs {
 public:
  struct Shown {
    std::wstring caption, text;
    platform::DialogIcon icon;
  };
  std::vector<Shown> shown;
  void show_message(const std::wstring& caption, const std::wstring& text, platform::DialogIcon icon) override {
    shown.push_back({caption, text, icon});
  }
  bool visible_window_station() override { return true; }
  void write_error(const std::wstring&, const std::wstring&) override {}
};

}  // namespace

TEST(TApplication, QuitMessageEndsTheLoopAfterEarlierMessagesAreDispatched) {
  TApplication app;
  std::vector<uint32_t> seen;
  WindowHandle window = CreateMessageWindow([&](const TMessage& m) { seen.push_back(m.message); });
  std::thread poster([&] {
    PostToWindow(window, kFirstUserMessage + 1, 0, 0);
    PostToWindow(window, kFirstUserMessage + 2, 0, 0);
    PostToThread(app.MainThreadId(), kQuitMessage, 0, 0);
  });
  poster.join();
  while (!app.Terminated()) app.HandleMessage();
  EXPECT_EQ(seen, (std::vector<uint32_t>{kFirstUserMessage + 1, kFirstUserMessage + 2}));
  DestroyMessageWindow(window);
}

TEST(TApplication, IdleStepBlocksUntilAMessageArrives) {
  TApplication app;
  std::atomic<bool> posted{false};
  std::thread poster([&] {
    std::this_thread::sleep_for(50ms);
    posted = true;
    app.Terminate();
  });
  while (!app.Terminated()) app.HandleMessage();
  EXPECT_TRUE(posted);
  poster.join();
}

TEST(TApplication, HooksSeeWindowMessagesFirstAndQueuedCallsRunOnTheMainThread) {
  TApplication app;
  std::vector<int> order;
  app.HookMainWindow([&](const TMessage& m) {
    order.push_back(1);
    return m.message == kEndSessionMessage;  // taken: the process must go on
  });
  uint32_t ran_on = 0;
  std::thread other([&] { app.QueueOnMainThread([&] { ran_on = CurrentThreadId(); }); });
  other.join();
  PostToWindow(app.Handle(), kEndSessionMessage, 1, 0);
  for (TMessage m; TryTakeMessage(m);) DispatchToWindow(m);
  ASSERT_EQ(order.size(), 2u);
  EXPECT_EQ(ran_on, CurrentThreadId());
  EXPECT_FALSE(app.Terminated());
}

TEST(TApplication, UnhandledMessageIsShownWithTitleAndFullStop) {
  testing_support::FakeProcess process;
  process.exe = L"C:\\Servicos\\SrvBackupVostrani.exe";
  platform::ScopedOverride<platform::ProcessInfo> p(&platform::Host::process, &process);
  RecordingDialogs dialogs;
  platform::ScopedOverride<platform::Dialogs> d(&platform::Host::dialogs, &dialogs);
  TApplication app;
  struct Case {
    std::wstring message, shown;
  };
  const Case cases[] = {{L"Falhou", L"Falhou."}, {L"Feito.", L"Feito."}, {L"Pare!", L"Pare!"}, {L"", L""}};
  for (const Case& c : cases) {
    try {
      throw core::Exception(c.message);
    } catch (...) {
      app.HandleException(nullptr);
    }
  }
  try {
    throw core::EAbort(L"silent");
  } catch (...) {
    app.HandleException(nullptr);
  }
  ASSERT_EQ(dialogs.shown.size(), std::size(cases));
  for (size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(dialogs.shown[i].text, cases[i].shown);
    EXPECT_EQ(dialogs.shown[i].caption, L"Srvbackupvostrani");
    EXPECT_EQ(dialogs.shown[i].icon, platform::DialogIcon::Error);
  }
}
