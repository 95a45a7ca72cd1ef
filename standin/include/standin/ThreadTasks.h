// Running work on a given thread through its message queue.
//
// The WebView2 stand-in reads its browser on a thread of its own but must
// deliver every completion and event on the user-interface thread, as
// WebView2 does; it does so by posting tasks to that thread's queue.
#pragma once

#include <windows.h>

#include <functional>

namespace standin {

// Queues `task` for thread `threadId` (a GetCurrentThreadId value) and wakes
// that thread if it is blocked in GetMessageW. Callable from any thread. The
// task runs on the target thread, inside DispatchMessageW of an internal
// thread message (hwnd null) that its message loop retrieves; tasks run in
// posting order, interleaved with posted messages. A task whose queue is
// never pumped is destroyed without running when the thread ends or the
// process exits. An empty task is ignored.
void PostThreadTask(DWORD threadId, std::function<void()> task);

// Waits until the calling thread's queue holds a message, at most `timeoutMs`
// milliseconds (negative: without limit). True when a message is waiting.
bool WaitForThreadMessage(int timeoutMs);

// Retrieves and dispatches the calling thread's messages and tasks until
// `timeoutMs` milliseconds have passed; returns how many were dispatched. A
// WM_QUIT met on the way is posted again and ends the pump early, so that
// an outer message loop still sees it.
int PumpMessages(int timeoutMs);

// Pumps the calling thread's messages until `done()` answers true (checked
// before each wait and after each message) or `timeoutMs` milliseconds have
// passed; returns the last answer of `done()`. For tests and hosts that
// wait for an asynchronous completion on their own thread.
bool PumpUntil(const std::function<bool()>& done, int timeoutMs);

// A descriptor that is readable exactly while the calling thread's queue
// holds a message or task: a host's poll()-based run loop watches it and
// calls RunPendingMessages when it is readable, instead of pumping. Owned by
// the queue; valid while the thread lives. -1 if none could be made.
int ThreadWakeFd();

// Dispatches the messages and tasks waiting in the calling thread's queue
// now, without waiting; returns how many. A WM_QUIT is left in the queue.
int RunPendingMessages();

}  // namespace standin
