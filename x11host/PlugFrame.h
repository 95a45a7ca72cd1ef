// The host's frame around one plug view in an X11Window, as a Linux DAW
// gives it through IPlugView::setFrame.
//
// Interface kept small and stable for the programs that build on it:
//   PlugFrame frame (window, &loop);    // or nullptr: a frame without a run loop
//   view->setFrame (&frame); view->attached ((void*) window.id (), "X11EmbedWindowID");
//   frame.resizeView (view, &rect);     // what the plug-in calls to resize itself
// resizeView resizes the window's client area and then calls the view's
// onSize, the round trip the SDK asks of a host. queryInterface offers
// IRunLoop when a loop was given. Owned by the host; the reference count
// does not delete it. It must outlive the view's attachment.
#pragma once

#include "RunLoop.h"
#include "X11Window.h"

#include "pluginterfaces/gui/iplugview.h"

namespace kelo::x11host {

class PlugFrame : public Steinberg::IPlugFrame {
 public:
  PlugFrame(X11Window& window, RunLoop* runLoop) : window(window), runLoop(runLoop) {}
  virtual ~PlugFrame() = default;

  Steinberg::tresult PLUGIN_API resizeView(Steinberg::IPlugView* view, Steinberg::ViewRect* newSize) override;

  Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID iid, void** obj) override;
  Steinberg::uint32 PLUGIN_API addRef() override { return 1; }
  Steinberg::uint32 PLUGIN_API release() override { return 1; }

  // How many resizeView calls the plug-in made.
  int resizeRequests() const { return requests; }

 private:
  X11Window& window;
  RunLoop* runLoop;
  int requests = 0;
};

}  // namespace kelo::x11host
