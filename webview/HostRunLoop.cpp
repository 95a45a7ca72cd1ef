#include "HostRunLoop.h"

#include <standin/ThreadTasks.h>
#include <standin/X11Embedding.h>

#include <atomic>

namespace webhost {

namespace {

using namespace Steinberg;

// Runs `work` whenever the host finds the descriptor readable.
class ReadyHandler final : public Linux::IEventHandler {
 public:
  explicit ReadyHandler(void (*work)()) : work(work) {}

  void PLUGIN_API onFDIsSet(Linux::FileDescriptor) override { work(); }

  tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override {
    if (obj == nullptr) return kInvalidArgument;
    if (FUnknownPrivate::iidEqual(iid, Linux::IEventHandler::iid) || FUnknownPrivate::iidEqual(iid, FUnknown::iid)) {
      addRef();
      *obj = static_cast<Linux::IEventHandler*>(this);
      return kResultOk;
    }
    *obj = nullptr;
    return kNoInterface;
  }
  uint32 PLUGIN_API addRef() override { return ++references; }
  uint32 PLUGIN_API release() override {
    const uint32 left = --references;
    if (left == 0) delete this;
    return left;
  }

 private:
  void (*work)();
  std::atomic<uint32> references{1};
};

// The queue's work may read X events into Xlib's own queue (a sync while
// placing the browser), where the connection's descriptor no longer shows
// them: they are handled at once.
void RunQueue() {
  standin::RunPendingMessages();
  standin::ProcessX11Events();
}

}  // namespace

bool HostRunLoop::Attach(IPlugFrame* frame, std::uintptr_t xid, int width, int height) {
  Detach();
  if (frame == nullptr) return false;
  FUnknownPtr<Linux::IRunLoop> offered(frame);
  if (!offered) return false;
  const int queueFd = standin::ThreadWakeFd();
  const int displayFd = standin::X11ConnectionFd();
  if (queueFd < 0 || displayFd < 0) return false;
  parent = standin::WrapX11Window(static_cast<unsigned long>(xid), width, height);
  if (parent == nullptr) return false;
  loop = offered;
  queueHandler = owned(static_cast<Linux::IEventHandler*>(new ReadyHandler(RunQueue)));
  displayHandler = owned(static_cast<Linux::IEventHandler*>(new ReadyHandler(standin::ProcessX11Events)));
  const bool registered = loop->registerEventHandler(queueHandler, queueFd) == kResultTrue &&
                          loop->registerEventHandler(displayHandler, displayFd) == kResultTrue;
  if (!registered) Detach();
  return registered;
}

void HostRunLoop::Detach() {
  if (loop) {
    // Unregistering a handler that was never registered is refused harmlessly.
    loop->unregisterEventHandler(queueHandler);
    loop->unregisterEventHandler(displayHandler);
  }
  loop = nullptr;
  queueHandler = nullptr;
  displayHandler = nullptr;
  if (parent != nullptr) {
    DestroyWindow(parent);
    parent = nullptr;
  }
}

}  // namespace webhost
