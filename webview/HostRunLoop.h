#pragma once

#include <windows.h>

#include <cstdint>

#include "pluginterfaces/base/smartpointer.h"
#include "pluginterfaces/gui/iplugview.h"

namespace webhost {

// Linux only: the host's run loop as the only driver of an editor embedded
// in a host's X11 window. While attached, the host's loop (IRunLoop from
// the plug frame) watches the UI thread's task queue and the stand-in's X
// connection through two registered event handlers, and runs their work
// when they are readable: every browser completion and event, posted task
// and focus click. No pump, thread or timer of ours runs on the host's
// thread. UI thread only.
class HostRunLoop {
 public:
  HostRunLoop() = default;
  ~HostRunLoop() { Detach(); }
  HostRunLoop(const HostRunLoop&) = delete;
  HostRunLoop& operator=(const HostRunLoop&) = delete;

  // Wraps the host's X11 window `xid` (the view's `width` x `height`) and
  // registers with the frame's run loop. False, with nothing left behind,
  // when the frame offers no run loop, there is no X display or a
  // registration is refused.
  bool Attach(Steinberg::IPlugFrame* frame, std::uintptr_t xid, int width, int height);
  // Removes every registration and the wrapper. Idempotent.
  void Detach();

  // The stand-in window standing for the host's window; null when detached.
  HWND Parent() const { return parent; }

 private:
  Steinberg::IPtr<Steinberg::Linux::IRunLoop> loop;
  Steinberg::IPtr<Steinberg::Linux::IEventHandler> queueHandler;
  Steinberg::IPtr<Steinberg::Linux::IEventHandler> displayHandler;
  HWND parent = nullptr;
};

}  // namespace webhost
