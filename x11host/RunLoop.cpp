#include "RunLoop.h"

#include "pluginterfaces/base/smartpointer.h"

#include <poll.h>

#include <algorithm>
#include <set>

namespace kelo::x11host {

using namespace Steinberg;
using Linux::IEventHandler;
using Linux::ITimerHandler;

RunLoop::~RunLoop() {
  // A plug-in that forgot to unregister still gets its references back.
  for (auto& entry : handlers) entry.first->release();
  for (auto& entry : timers) entry.first->release();
}

tresult PLUGIN_API RunLoop::registerEventHandler(IEventHandler* handler, Linux::FileDescriptor fd) {
  if (!handler || fd < 0 || handlers.count(handler)) return kInvalidArgument;
  handler->addRef();
  handlers[handler] = fd;
  return kResultTrue;
}

tresult PLUGIN_API RunLoop::unregisterEventHandler(IEventHandler* handler) {
  auto it = handlers.find(handler);
  if (it == handlers.end()) return kInvalidArgument;
  handlers.erase(it);
  handler->release();
  return kResultTrue;
}

tresult PLUGIN_API RunLoop::registerTimer(ITimerHandler* handler, Linux::TimerInterval milliseconds) {
  if (!handler || milliseconds == 0 || timers.count(handler)) return kInvalidArgument;
  handler->addRef();
  const std::chrono::milliseconds interval(milliseconds);
  timers[handler] = Timer{interval, Clock::now() + interval};
  return kResultTrue;
}

tresult PLUGIN_API RunLoop::unregisterTimer(ITimerHandler* handler) {
  auto it = timers.find(handler);
  if (it == timers.end()) return kInvalidArgument;
  timers.erase(it);
  handler->release();
  return kResultTrue;
}

tresult PLUGIN_API RunLoop::queryInterface(const TUID iid, void** obj) {
  if (!obj) return kInvalidArgument;
  if (FUnknownPrivate::iidEqual(iid, Linux::IRunLoop::iid) || FUnknownPrivate::iidEqual(iid, FUnknown::iid)) {
    *obj = static_cast<Linux::IRunLoop*>(this);
    return kResultOk;
  }
  *obj = nullptr;
  return kNoInterface;
}

void RunLoop::watch(int fd, std::function<void()> ready) {
  watched[fd] = std::move(ready);
}

void RunLoop::unwatch(int fd) {
  watched.erase(fd);
}

void RunLoop::runFor(int milliseconds) {
  const auto end = Clock::now() + std::chrono::milliseconds(milliseconds);
  while (Clock::now() < end) runOnce(end);
}

bool RunLoop::runUntil(const std::function<bool()>& done, int timeoutMs) {
  const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!done()) {
    if (Clock::now() >= end) return done();
    runOnce(end);
  }
  return true;
}

void RunLoop::runOnce(Clock::time_point limit) {
  Clock::time_point wakeAt = limit;
  for (auto& entry : timers) wakeAt = std::min(wakeAt, entry.second.due);

  std::set<int> unique;
  for (auto& entry : handlers) unique.insert(entry.second);
  for (auto& entry : watched) unique.insert(entry.first);
  std::vector<pollfd> fds;
  for (int fd : unique) fds.push_back({fd, POLLIN, 0});
  const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(wakeAt - Clock::now()).count();
  // Rounded up, so that a timer is never polled for early in a spin.
  const int timeout = wait <= 0 ? 0 : static_cast<int>(wait) + 1;
  if (poll(fds.data(), fds.size(), timeout) < 0) return;

  // Every callback may change the registrations: each handler of a ready
  // descriptor is called only while it is still registered for it.
  for (const pollfd& entry : fds) {
    if ((entry.revents & (POLLIN | POLLHUP | POLLERR)) == 0) continue;
    std::vector<IPtr<IEventHandler>> ready;
    for (auto& handler : handlers)
      if (handler.second == entry.fd) ready.emplace_back(handler.first);
    for (auto& handler : ready) {
      auto still = handlers.find(handler.get());
      if (still == handlers.end() || still->second != entry.fd) continue;
      ++called;
      handler->onFDIsSet(entry.fd);
    }
    auto own = watched.find(entry.fd);
    if (own != watched.end()) {
      auto ready = own->second;
      ready();
    }
  }
  const auto now = Clock::now();
  std::vector<ITimerHandler*> due;
  for (auto& entry : timers)
    if (entry.second.due <= now) due.push_back(entry.first);
  for (ITimerHandler* handler : due) {
    auto it = timers.find(handler);
    if (it == timers.end()) continue;
    it->second.due = now + it->second.interval;
    IPtr<ITimerHandler> keep(handler);
    ++called;
    handler->onTimer();
  }
}

}  // namespace kelo::x11host
