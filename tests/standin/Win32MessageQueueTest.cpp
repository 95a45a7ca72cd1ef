// Per-thread message queues and tasks posted to a thread.
#include <gtest/gtest.h>
#include <standin/ThreadTasks.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

namespace {

class Win32MessageQueue : public ::testing::Test {
 protected:
  // Drains whatever an earlier test left in this thread's queue.
  void SetUp() override {
    MSG msg{};
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message != WM_QUIT) DispatchMessageW(&msg);
    }
  }
  const DWORD self = GetCurrentThreadId();
  MSG msg{};
};

TEST_F(Win32MessageQueue, TasksFromAnyThreadAndMessagesRunOnTheOwnerInPostingOrderOnlyWhenDispatched) {
  std::vector<int> seen;
  std::atomic<DWORD> ranOn{0};
  std::thread([&] {
    standin::PostThreadTask(self, [&] {
      ranOn = GetCurrentThreadId();
      seen.push_back(1);
    });
  }).join();
  PostThreadMessageW(self, WM_APP, 2, 0);
  standin::PostThreadTask(self, [&seen] { seen.push_back(3); });
  PostMessageW(nullptr, WM_APP + 5, 4, 0);
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_APP + 4, WM_APP + 6, PM_NOREMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_APP + 5));
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.hwnd, nullptr);
  EXPECT_EQ(ranOn.load(), 0u);  // retrieved but not yet dispatched
  do {
    if (msg.message == WM_APP || msg.message == WM_APP + 5) seen.push_back(static_cast<int>(msg.wParam));
    DispatchMessageW(&msg);
  } while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(ranOn.load(), self);
  EXPECT_EQ(seen, (std::vector<int>{1, 2, 3, 4}));
}

TEST_F(Win32MessageQueue, GetMessageAndPumpUntilWaitForATaskFromAnotherThreadAndPumpUntilGivesUpOtherwise) {
  bool ran = false, completed = false;
  std::thread poster([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    standin::PostThreadTask(self, [&ran] { ran = true; });
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    standin::PostThreadTask(self, [&completed] { completed = true; });
  });
  EXPECT_EQ(GetMessageW(&msg, nullptr, 0, 0), TRUE);
  DispatchMessageW(&msg);
  EXPECT_TRUE(ran);
  EXPECT_TRUE(standin::PumpUntil([&] { return completed; }, 10000));
  poster.join();
  EXPECT_FALSE(standin::PumpUntil([] { return false; }, 20));
}

TEST_F(Win32MessageQueue, QuitComesAfterPendingMessagesEndsGetMessageWithTheExitCodeAndStopsPumping) {
  PostQuitMessage(7);
  PostMessageW(nullptr, WM_APP, 0, 0);
  EXPECT_EQ(GetMessageW(&msg, nullptr, 0, 0), TRUE);
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_APP));
  EXPECT_EQ(GetMessageW(&msg, nullptr, 0, 0), FALSE);
  EXPECT_EQ(msg.wParam, 7u);
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));

  int ran = 0;
  standin::PostThreadTask(self, [&ran] { ++ran; });
  standin::PostThreadTask(self, [&ran] { ++ran; });
  PostQuitMessage(3);
  EXPECT_EQ(standin::PumpMessages(1000), 2);
  EXPECT_EQ(ran, 2);
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));  // left for the outer loop
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
  EXPECT_EQ(msg.wParam, 3u);
}

TEST_F(Win32MessageQueue, ATaskForAThreadThatEndsWithoutPumpingIsDestroyedUnrun) {
  std::atomic<DWORD> id{0};
  std::atomic<bool> posted{false}, ran{false};
  std::thread idle([&] {
    MSG own{};
    PeekMessageW(&own, nullptr, 0, 0, PM_NOREMOVE);  // makes its queue
    id = GetCurrentThreadId();
    while (!posted) std::this_thread::yield();
  });
  while (id == 0) std::this_thread::yield();
  auto payload = std::make_shared<bool>(false);
  const std::weak_ptr<bool> watch = payload;
  standin::PostThreadTask(id, [payload, &ran] { ran = true; });
  payload.reset();
  EXPECT_FALSE(watch.expired());  // held by the queued task
  posted = true;
  idle.join();
  EXPECT_TRUE(watch.expired());
  EXPECT_FALSE(ran);
}

}  // namespace
