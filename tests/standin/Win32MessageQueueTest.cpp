// Per-thread message queues and tasks posted to a thread.
#include <gtest/gtest.h>
#include <standin/ThreadTasks.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace {

// Drains whatever an earlier test left in this thread's queue.
void Drain() {
  MSG msg{};
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message != WM_QUIT) DispatchMessageW(&msg);
  }
}

// A one-shot signal between threads.
class Latch {
 public:
  void Open() {
    std::lock_guard<std::mutex> lock(mutex);
    open = true;
    changed.notify_all();
  }
  void Wait() {
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait(lock, [this] { return open; });
  }

 private:
  std::mutex mutex;
  std::condition_variable changed;
  bool open = false;
};

TEST(Win32MessageQueue, ATaskFromAnotherThreadRunsOnTheOwnerThreadOnlyWhenDispatched) {
  Drain();
  const DWORD owner = GetCurrentThreadId();
  std::atomic<DWORD> ranOn{0};
  std::thread poster([&] { standin::PostThreadTask(owner, [&] { ranOn = GetCurrentThreadId(); }); });
  poster.join();

  MSG msg{};
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.hwnd, nullptr);
  EXPECT_EQ(ranOn.load(), 0u);  // retrieved but not yet dispatched
  DispatchMessageW(&msg);
  EXPECT_EQ(ranOn.load(), owner);
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE));
}

TEST(Win32MessageQueue, GetMessageAndPumpUntilWaitForATaskFromAnotherThreadAndPumpUntilGivesUpOtherwise) {
  Drain();
  const DWORD owner = GetCurrentThreadId();
  bool ran = false, completed = false;
  std::thread poster([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    standin::PostThreadTask(owner, [&ran] { ran = true; });
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    standin::PostThreadTask(owner, [&completed] { completed = true; });
  });
  MSG msg{};
  EXPECT_EQ(GetMessageW(&msg, nullptr, 0, 0), TRUE);
  DispatchMessageW(&msg);
  EXPECT_TRUE(ran);
  EXPECT_TRUE(standin::PumpUntil([&] { return completed; }, 10000));
  poster.join();
  EXPECT_FALSE(standin::PumpUntil([] { return false; }, 20));
}

TEST(Win32MessageQueue, TasksAndMessagesComeOutInPostingOrderAndPeekFiltersByRange) {
  Drain();
  std::vector<int> seen;
  const DWORD self = GetCurrentThreadId();
  standin::PostThreadTask(self, [&seen] { seen.push_back(1); });
  PostThreadMessageW(self, WM_APP, 2, 0);
  standin::PostThreadTask(self, [&seen] { seen.push_back(3); });
  PostMessageW(nullptr, WM_APP + 5, 4, 0);
  MSG msg{};
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_APP + 4, WM_APP + 6, PM_NOREMOVE));
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_APP + 5));
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_APP || msg.message == WM_APP + 5) seen.push_back(static_cast<int>(msg.wParam));
    DispatchMessageW(&msg);
  }
  EXPECT_EQ(seen, (std::vector<int>{1, 2, 3, 4}));
}

TEST(Win32MessageQueue, QuitComesAfterPendingMessagesEndsGetMessageWithTheExitCodeAndStopsPumping) {
  Drain();
  PostQuitMessage(7);
  PostMessageW(nullptr, WM_APP, 0, 0);
  MSG msg{};
  EXPECT_EQ(GetMessageW(&msg, nullptr, 0, 0), TRUE);
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_APP));
  EXPECT_EQ(GetMessageW(&msg, nullptr, 0, 0), FALSE);
  EXPECT_EQ(msg.wParam, 7u);
  EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));

  int ran = 0;
  standin::PostThreadTask(GetCurrentThreadId(), [&ran] { ++ran; });
  standin::PostThreadTask(GetCurrentThreadId(), [&ran] { ++ran; });
  PostQuitMessage(3);
  EXPECT_EQ(standin::PumpMessages(1000), 2);
  EXPECT_EQ(ran, 2);
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));  // left for the outer loop
  EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
  EXPECT_EQ(msg.wParam, 3u);
}

TEST(Win32MessageQueue, ATaskForAThreadThatEndsWithoutPumpingIsDestroyedUnrun) {
  Latch ready;
  Latch posted;
  std::atomic<DWORD> id{0};
  std::thread idle([&] {
    MSG msg{};
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);  // makes its queue
    id = GetCurrentThreadId();
    ready.Open();
    posted.Wait();
  });
  ready.Wait();
  auto payload = std::make_shared<int>(0);
  std::weak_ptr<int> watch = payload;
  bool ran = false;
  standin::PostThreadTask(id, [payload, &ran] { ran = true; });
  payload.reset();
  EXPECT_FALSE(watch.expired());  // held by the queued task
  posted.Open();
  idle.join();
  EXPECT_TRUE(watch.expired());
  EXPECT_FALSE(ran);
}

LRESULT CALLBACK CountingProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_APP) {
    auto* handledOn = reinterpret_cast<std::atomic<DWORD>*>(lParam);
    *handledOn = GetCurrentThreadId();
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

TEST(Win32MessageQueue, AMessagePostedToAWindowReachesItsProcedureOnItsOwnThread) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = CountingProcedure;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = L"standinQueueTest";
  ASSERT_NE(RegisterClassExW(&windowClass), 0);
  std::atomic<DWORD> handledOn{0};
  std::atomic<HWND> window{nullptr};
  std::atomic<DWORD> ownerId{0};
  Latch made;
  std::thread owner([&] {
    window = CreateWindowExW(0, L"standinQueueTest", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
    ownerId = GetCurrentThreadId();
    made.Open();
    MSG msg{};
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    DestroyWindow(window);
  });
  made.Wait();
  ASSERT_NE(window.load(), nullptr);
  EXPECT_TRUE(PostMessageW(window, WM_APP, 0, reinterpret_cast<LPARAM>(&handledOn)));
  standin::PostThreadTask(ownerId, [] { PostQuitMessage(0); });
  owner.join();
  EXPECT_EQ(handledOn.load(), ownerId.load());
  EXPECT_TRUE(UnregisterClassW(L"standinQueueTest", GetModuleHandleW(nullptr)));

  SetLastError(0);
  EXPECT_FALSE(PostMessageW(window, WM_APP, 0, 0));  // destroyed by its thread
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
}

}  // namespace
