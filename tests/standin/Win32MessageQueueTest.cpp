// Tasks posted to a thread's message queue, as the WebView2 stand-in delivers
// the browser's replies from its reader thread to the UI thread.
#include <gtest/gtest.h>
#include <standin/ThreadTasks.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

namespace {

TEST(Win32MessageQueue, TasksFromAnyThreadRunOnTheOwnerInPostingOrderOnlyWhilePumpingAndPumpUntilWaitsForThem) {
  const DWORD self = GetCurrentThreadId();
  standin::PumpMessages(0);  // whatever an earlier test left
  std::vector<int> seen;
  std::atomic<DWORD> ranOn{0};
  std::thread([&] {
    standin::PostThreadTask(self, [&] {
      ranOn = GetCurrentThreadId();
      seen.push_back(1);
    });
  }).join();
  PostMessageW(nullptr, WM_APP, 0, 0);
  standin::PostThreadTask(self, [&seen] { seen.push_back(2); });
  EXPECT_EQ(ranOn.load(), 0u);
  EXPECT_EQ(standin::PumpMessages(0), 3);
  EXPECT_EQ(ranOn.load(), self);
  EXPECT_EQ(seen, (std::vector<int>{1, 2}));

  bool done = false;
  std::thread poster([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    standin::PostThreadTask(self, [&done] { done = true; });
  });
  EXPECT_TRUE(standin::PumpUntil([&] { return done; }, 10000));
  poster.join();
  EXPECT_FALSE(standin::PumpUntil([] { return false; }, 20));
}

TEST(Win32MessageQueue, ATaskForAThreadThatEndsWithoutPumpingIsDestroyedUnrun) {
  std::atomic<DWORD> id{0};
  std::atomic<bool> posted{false}, ran{false};
  std::thread idle([&] {
    MSG msg{};
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);  // makes its queue
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
