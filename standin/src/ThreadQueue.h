// One thread's message queue: posted messages, posted tasks and the quit
// flag. Queues are made on demand, also for threads that never pump, and
// dropped (with any tasks left in them, unrun) when their thread ends.
#pragma once

#include <windows.h>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>

namespace standin {

// The thread message that carries a task; wParam holds the task's number.
// Chosen from the range of registered messages so it meets no WM_ or WM_APP
// value a program would use.
constexpr UINT kTaskMessage = 0xC0DE;

class ThreadQueue {
 public:
  // The queue of `threadId`, made if it does not exist yet.
  static std::shared_ptr<ThreadQueue> ForThread(DWORD threadId);
  // The calling thread's queue; it is dropped when the thread ends.
  static std::shared_ptr<ThreadQueue> Current();

  void Post(const MSG& msg);
  void PostTask(std::function<void()> task);
  void PostQuit(int exitCode);

  // The first message matching the filter (GetMessageW's rules: `window`
  // null matches all, (HWND)-1 thread messages only; min = max = 0 matches
  // every number). WM_QUIT comes once no other matching message is waiting,
  // whatever the filter. Returns false when nothing matches.
  bool Take(MSG& out, HWND window, UINT filterMin, UINT filterMax, bool remove);
  // Waits until Take would find a message; `timeoutMs` < 0 waits for ever.
  bool Wait(HWND window, UINT filterMin, UINT filterMax, int timeoutMs);

  // Removes and returns the task posted under `number` (empty if none).
  std::function<void()> TakeTask(WPARAM number);

  ThreadQueue();
  ~ThreadQueue();

  // A descriptor that is readable exactly while the queue holds a message
  // (or the quit flag), for loops that poll() instead of pumping: the
  // host's run loop of an embedded editor. -1 if none could be made.
  int WakeFd() const { return wakeFd; }

 private:
  bool HasMatch(HWND window, UINT filterMin, UINT filterMax) const;
  // Brings the wake descriptor in line with the queue; `mutex` held.
  void UpdateWake();

  mutable std::mutex mutex;
  std::condition_variable arrived;
  std::deque<MSG> messages;
  std::map<WPARAM, std::function<void()>> tasks;
  WPARAM nextTask = 1;
  bool quit = false;
  int quitCode = 0;
  int wakeFd = -1;
  bool signalled = false;
};

DWORD MessageTime();

}  // namespace standin
