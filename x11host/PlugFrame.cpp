#include "PlugFrame.h"

namespace kelo::x11host {

using namespace Steinberg;

tresult PLUGIN_API PlugFrame::resizeView(IPlugView* view, ViewRect* newSize) {
  if (!view || !newSize) return kInvalidArgument;
  ++requests;
  window.resize(newSize->getWidth(), newSize->getHeight());
  return view->onSize(newSize);
}

tresult PLUGIN_API PlugFrame::queryInterface(const TUID iid, void** obj) {
  if (!obj) return kInvalidArgument;
  if (FUnknownPrivate::iidEqual(iid, IPlugFrame::iid) || FUnknownPrivate::iidEqual(iid, FUnknown::iid)) {
    *obj = static_cast<IPlugFrame*>(this);
    return kResultOk;
  }
  if (runLoop && FUnknownPrivate::iidEqual(iid, Linux::IRunLoop::iid)) {
    *obj = static_cast<Linux::IRunLoop*>(runLoop);
    return kResultOk;
  }
  *obj = nullptr;
  return kNoInterface;
}

}  // namespace kelo::x11host
