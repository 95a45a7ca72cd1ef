#include "ThreadQueue.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <chrono>
#include <unordered_map>

namespace standin {
namespace {

struct Registry {
  std::mutex mutex;
  std::unordered_map<DWORD, std::shared_ptr<ThreadQueue>> queues;
};

Registry& TheRegistry() {
  static Registry registry;
  return registry;
}

// Unregisters the thread's queue when the thread ends, so that a later
// thread given the same id starts with an empty queue.
struct CurrentQueueHolder {
  std::shared_ptr<ThreadQueue> queue;
  DWORD threadId = 0;
  ~CurrentQueueHolder() {
    if (queue) {
      Registry& registry = TheRegistry();
      std::lock_guard<std::mutex> lock(registry.mutex);
      auto found = registry.queues.find(threadId);
      if (found != registry.queues.end() && found->second == queue) {
        registry.queues.erase(found);
      }
    }
  }
};

bool Matches(const MSG& msg, HWND window, UINT filterMin, UINT filterMax) {
  if (window == reinterpret_cast<HWND>(-1)) {
    if (msg.hwnd != nullptr) return false;
  } else if (window != nullptr && msg.hwnd != window) {
    return false;
  }
  if (filterMin == 0 && filterMax == 0) return true;
  return msg.message >= filterMin && msg.message <= filterMax;
}

}  // namespace

DWORD MessageTime() {
  using namespace std::chrono;
  return static_cast<DWORD>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

std::shared_ptr<ThreadQueue> ThreadQueue::ForThread(DWORD threadId) {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> lock(registry.mutex);
  std::shared_ptr<ThreadQueue>& queue = registry.queues[threadId];
  if (!queue) {
    queue = std::make_shared<ThreadQueue>();
  }
  return queue;
}

std::shared_ptr<ThreadQueue> ThreadQueue::Current() {
  thread_local CurrentQueueHolder holder;
  if (!holder.queue) {
    holder.threadId = GetCurrentThreadId();
    holder.queue = ForThread(holder.threadId);
  }
  return holder.queue;
}

ThreadQueue::ThreadQueue() : wakeFd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

ThreadQueue::~ThreadQueue() {
  if (wakeFd >= 0) close(wakeFd);
}

void ThreadQueue::UpdateWake() {
  if (wakeFd < 0) return;
  const bool pending = quit || !messages.empty();
  if (pending == signalled) return;
  if (pending) {
    const uint64_t one = 1;
    signalled = write(wakeFd, &one, sizeof one) == sizeof one;
  } else {
    uint64_t count = 0;
    (void)!read(wakeFd, &count, sizeof count);
    signalled = false;
  }
}

void ThreadQueue::Post(const MSG& msg) {
  {
    std::lock_guard<std::mutex> lock(mutex);
    messages.push_back(msg);
    UpdateWake();
  }
  arrived.notify_all();
}

void ThreadQueue::PostTask(std::function<void()> task) {
  {
    std::lock_guard<std::mutex> lock(mutex);
    const WPARAM number = nextTask++;
    tasks.emplace(number, std::move(task));
    MSG msg{};
    msg.message = kTaskMessage;
    msg.wParam = number;
    msg.time = MessageTime();
    messages.push_back(msg);
    UpdateWake();
  }
  arrived.notify_all();
}

void ThreadQueue::PostQuit(int exitCode) {
  {
    std::lock_guard<std::mutex> lock(mutex);
    quit = true;
    quitCode = exitCode;
    UpdateWake();
  }
  arrived.notify_all();
}

bool ThreadQueue::HasMatch(HWND window, UINT filterMin, UINT filterMax) const {
  if (quit) return true;
  for (const MSG& msg : messages) {
    if (Matches(msg, window, filterMin, filterMax)) return true;
  }
  return false;
}

bool ThreadQueue::Take(MSG& out, HWND window, UINT filterMin, UINT filterMax, bool remove) {
  std::lock_guard<std::mutex> lock(mutex);
  for (auto it = messages.begin(); it != messages.end(); ++it) {
    if (Matches(*it, window, filterMin, filterMax)) {
      out = *it;
      if (remove) {
        messages.erase(it);
        UpdateWake();
      }
      return true;
    }
  }
  if (quit) {
    out = MSG{};
    out.message = WM_QUIT;
    out.wParam = static_cast<WPARAM>(quitCode);
    out.time = MessageTime();
    if (remove) {
      quit = false;
      UpdateWake();
    }
    return true;
  }
  return false;
}

bool ThreadQueue::Wait(HWND window, UINT filterMin, UINT filterMax, int timeoutMs) {
  std::unique_lock<std::mutex> lock(mutex);
  auto ready = [&] { return HasMatch(window, filterMin, filterMax); };
  if (timeoutMs < 0) {
    arrived.wait(lock, ready);
    return true;
  }
  return arrived.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready);
}

std::function<void()> ThreadQueue::TakeTask(WPARAM number) {
  std::lock_guard<std::mutex> lock(mutex);
  auto found = tasks.find(number);
  if (found == tasks.end()) return {};
  std::function<void()> task = std::move(found->second);
  tasks.erase(found);
  return task;
}

}  // namespace standin
