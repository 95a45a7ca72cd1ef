// The host's UI-thread run loop, offered to plug views as the SDK's
// Steinberg::Linux::IRunLoop, the way Linux DAWs drive plug-in editors: the
// only loop on the thread, poll() on the registered descriptors with the
// nearest timer as the time-out.
//
// Interface kept small and stable for the programs that build on it:
//   RunLoop loop;                       // give &loop through a PlugFrame
//   loop.watch (fd, [] { ... });        // the host's own descriptors (X connections)
//   loop.runFor (ms); loop.runUntil (done, timeoutMs);
//   loop.registrations ();              // the plug-in's live handlers and timers
// Handlers registered by the plug-in are referenced while registered and
// called on the thread that runs the loop, never from inside a register or
// unregister call. Unregistering during a callback is safe. The object is
// owned by the host (its reference count does not delete it). One thread.
#pragma once

#include "pluginterfaces/gui/iplugview.h"

#include <chrono>
#include <functional>
#include <map>
#include <vector>

namespace kelo::x11host {

class RunLoop : public Steinberg::Linux::IRunLoop {
 public:
  RunLoop() = default;
  virtual ~RunLoop();
  RunLoop(const RunLoop&) = delete;
  RunLoop& operator=(const RunLoop&) = delete;

  Steinberg::tresult PLUGIN_API registerEventHandler(Steinberg::Linux::IEventHandler* handler,
                                                     Steinberg::Linux::FileDescriptor fd) override;
  Steinberg::tresult PLUGIN_API unregisterEventHandler(Steinberg::Linux::IEventHandler* handler) override;
  Steinberg::tresult PLUGIN_API registerTimer(Steinberg::Linux::ITimerHandler* handler,
                                              Steinberg::Linux::TimerInterval milliseconds) override;
  Steinberg::tresult PLUGIN_API unregisterTimer(Steinberg::Linux::ITimerHandler* handler) override;

  Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override;
  Steinberg::uint32 PLUGIN_API addRef() override { return 1; }
  Steinberg::uint32 PLUGIN_API release() override { return 1; }

  // A descriptor of the host's own; `ready` runs when it is readable.
  // Not counted in registrations ().
  void watch(int fd, std::function<void()> ready);
  void unwatch(int fd);

  // Runs the loop for `milliseconds`.
  void runFor(int milliseconds);
  // Runs the loop until `done ()` (checked after every round) or the
  // time-out; answers `done ()`.
  bool runUntil(const std::function<bool()>& done, int timeoutMs);

  // Event handlers and timers the plug-in has registered and not removed.
  int registrations() const { return static_cast<int>(handlers.size() + timers.size()); }
  // How many times a plug-in's handler or timer was called.
  long callbacks() const { return called; }

 private:
  using Clock = std::chrono::steady_clock;
  struct Timer {
    std::chrono::milliseconds interval;
    Clock::time_point due;
  };
  // One poll () of at most `limit`, then everything that became due.
  void runOnce(Clock::time_point limit);

  std::map<Steinberg::Linux::IEventHandler*, int> handlers;
  std::map<Steinberg::Linux::ITimerHandler*, Timer> timers;
  std::map<int, std::function<void()>> watched;
  long called = 0;
};

}  // namespace kelo::x11host
