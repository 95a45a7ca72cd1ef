// Posting, retrieving and dispatching messages, and the task API built on
// them.
#include <standin/ThreadTasks.h>

#include <chrono>

#include "ThreadQueue.h"
#include "WindowTable.h"

namespace {

using Clock = std::chrono::steady_clock;

int RemainingMs(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

}  // namespace

extern "C" {

BOOL WINAPI PostMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  DWORD thread = GetCurrentThreadId();
  if (window != nullptr) {
    if (!standin::WindowTable::OwnerThread(window, thread)) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return FALSE;
    }
  }
  MSG msg{};
  msg.hwnd = window;
  msg.message = message;
  msg.wParam = wParam;
  msg.lParam = lParam;
  msg.time = standin::MessageTime();
  standin::ThreadQueue::ForThread(thread)->Post(msg);
  return TRUE;
}

BOOL WINAPI PostThreadMessageW(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam) {
  MSG msg{};
  msg.message = message;
  msg.wParam = wParam;
  msg.lParam = lParam;
  msg.time = standin::MessageTime();
  standin::ThreadQueue::ForThread(threadId)->Post(msg);
  return TRUE;
}

BOOL WINAPI PeekMessageW(LPMSG msg, HWND window, UINT filterMin, UINT filterMax, UINT removeFlags) {
  if (msg == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return standin::ThreadQueue::Current()->Take(*msg, window, filterMin, filterMax, (removeFlags & PM_REMOVE) != 0)
             ? TRUE
             : FALSE;
}

// Blocks until a matching message arrives; 0 for WM_QUIT, -1 on bad arguments.
BOOL WINAPI GetMessageW(LPMSG msg, HWND window, UINT filterMin, UINT filterMax) {
  if (msg == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return -1;
  }
  if (window != nullptr && window != reinterpret_cast<HWND>(-1) && !IsWindow(window)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return -1;
  }
  const auto queue = standin::ThreadQueue::Current();
  while (!queue->Take(*msg, window, filterMin, filterMax, true)) {
    queue->Wait(window, filterMin, filterMax, -1);
  }
  return msg->message == WM_QUIT ? FALSE : TRUE;
}

// Key messages count as translated; no character messages are made.
BOOL WINAPI TranslateMessage(const MSG* msg) {
  constexpr UINT kSysKeyDown = 0x0104;
  constexpr UINT kSysKeyUp = 0x0105;
  if (msg == nullptr) return FALSE;
  const UINT m = msg->message;
  return m == WM_KEYDOWN || m == WM_KEYUP || m == kSysKeyDown || m == kSysKeyUp ? TRUE : FALSE;
}

LRESULT WINAPI DispatchMessageW(const MSG* msg) {
  if (msg == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (msg->hwnd == nullptr) {
    if (msg->message == standin::kTaskMessage) {
      std::function<void()> task = standin::ThreadQueue::Current()->TakeTask(msg->wParam);
      if (task) {
        task();
      }
    }
    return 0;
  }
  return SendMessageW(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

void WINAPI PostQuitMessage(int exitCode) {
  standin::ThreadQueue::Current()->PostQuit(exitCode);
}

}  // extern "C"

namespace standin {

void PostThreadTask(DWORD threadId, std::function<void()> task) {
  if (!task) {
    return;
  }
  ThreadQueue::ForThread(threadId)->PostTask(std::move(task));
}

bool WaitForThreadMessage(int timeoutMs) {
  return ThreadQueue::Current()->Wait(nullptr, 0, 0, timeoutMs);
}

int PumpMessages(int timeoutMs) {
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs > 0 ? timeoutMs : 0);
  int handled = 0;
  for (;;) {
    MSG msg{};
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(msg.wParam));
        return handled;
      }
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
      ++handled;
    }
    const int left = RemainingMs(deadline);
    if (left == 0 || !WaitForThreadMessage(left)) {
      return handled;
    }
  }
}

int ThreadWakeFd() {
  return ThreadQueue::Current()->WakeFd();
}

int RunPendingMessages() {
  // A bounded batch, so that a flood of tasks cannot starve the host's loop;
  // what is left keeps the wake descriptor readable for its next round.
  int handled = 0;
  MSG msg{};
  for (int left = 1024; left > 0 && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); --left) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
    ++handled;
  }
  return handled;
}

bool PumpUntil(const std::function<bool()>& done, int timeoutMs) {
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs > 0 ? timeoutMs : 0);
  for (;;) {
    if (done()) {
      return true;
    }
    MSG msg{};
    if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(msg.wParam));
        return done();
      }
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
      continue;
    }
    const int left = RemainingMs(deadline);
    if (left == 0) {
      return done();
    }
    WaitForThreadMessage(left);
  }
}

}  // namespace standin
