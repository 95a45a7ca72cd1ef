// A host's top-level X11 window for one plug-in editor.
//
// Interface kept small and stable for the programs that build on it:
//   X11Window window (width, height, "title");   // mapped, on its own display connection
//   window.ok (); window.id (); window.display (); window.fd ();
//   window.resize (w, h); window.processEvents (); window.closeRequested ();
// Each window opens its own connection to $DISPLAY, so that windows are
// independent and a run loop can watch each connection's descriptor. A
// click into the window itself (not into an embedded child that takes its
// own clicks) gives it the keyboard focus back, as a DAW's window does.
// Use from one thread.
#pragma once

#include <string>

// Xlib's own types, without its macros (None, Bool, Status) in every user.
struct _XDisplay;

namespace kelo::x11host {

class X11Window {
 public:
  X11Window(int width, int height, const std::string& title);
  ~X11Window();
  X11Window(const X11Window&) = delete;
  X11Window& operator=(const X11Window&) = delete;

  // False when the display could not be opened or the window not made.
  bool ok() const { return window != 0; }
  unsigned long id() const { return window; }
  _XDisplay* display() const { return connection; }
  // The connection's descriptor, readable when events wait; -1 without one.
  int fd() const;

  // Sets the client size and waits until the server has done it.
  void resize(int width, int height);
  // Handles every event waiting on this window's connection.
  void processEvents();
  // The user asked to close the window (the window manager's close button).
  bool closeRequested() const { return closing; }

 private:
  _XDisplay* connection = nullptr;
  unsigned long window = 0;
  unsigned long deleteWindow = 0;
  bool closing = false;
};

}  // namespace kelo::x11host
