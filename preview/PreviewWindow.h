#pragma once

#include "PlugFrame.h"
#include "RunLoop.h"
#include "X11Window.h"

#include "pluginterfaces/gui/iplugview.h"

namespace kelo::preview {

/// The editor's frame, as a Linux DAW gives it: a top-level X11 window the
/// view embeds in ("X11EmbedWindowID"), the plug frame through which the
/// view asks for a new size and finds the host's run loop, and that run
/// loop, the only one on the UI thread. UI thread only.
class PreviewWindow {
 public:
  PreviewWindow(int width, int height, const char* title);
  ~PreviewWindow();

  bool ok() const { return window.ok(); }

  /// setFrame, then attached with this window; kResultOk or the view's answer.
  Steinberg::tresult attach(Steinberg::IPlugView* view);
  /// removed, then setFrame (nullptr).
  void detach();

  /// Runs the UI thread's run loop for `ms` milliseconds.
  void pump(int ms) { loop.runFor(ms); }
  /// A user dragging the frame's corner to width x height: the view's
  /// constraint first, then the window, then onSize. Answers the size taken.
  Steinberg::ViewRect resize(int width, int height);
  /// True once the user closed the window.
  bool closedByUser() const { return window.closeRequested(); }

  /// The X11 window showing the editor, for pictures.
  unsigned long x11Window() const { return window.id(); }

 private:
  x11host::X11Window window;
  x11host::RunLoop loop;
  x11host::PlugFrame frame;
  Steinberg::IPlugView* view = nullptr;
};

}  // namespace kelo::preview
