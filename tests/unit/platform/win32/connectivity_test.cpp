#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <thread>

#include "platform/win32/connectivity.h"

namespace {

// The network list manager answers on any thread, whatever COM state the
// thread is in, and leaves that state as it found it.
TEST(NetworkListConnectivity, AnswersAndLeavesTheThreadsComStateAlone) {
  platform::win32::NetworkListConnectivity network;
  std::thread([&] {
    const core::Result<bool> answer = network.connected();
    EXPECT_TRUE(answer.ok()) << std::hex << answer.status().code();
    testing::Test::RecordProperty("connected", answer.value() ? "yes" : "no");
    // Our own apartment can still be chosen: the check did not keep one.
    const HRESULT mine = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    EXPECT_EQ(mine, S_OK);
    const core::Result<bool> inside = network.connected();
    EXPECT_TRUE(inside.ok()) << std::hex << inside.status().code();
    EXPECT_EQ(inside.value(), answer.value());
    CoUninitialize();
  }).join();
}

}  // namespace
