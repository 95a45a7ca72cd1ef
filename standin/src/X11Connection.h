// The stand-in's own connection to the X server, shared by every window of
// the module: made on first use from $DISPLAY, never closed (X windows of
// other programs outlive any moment at which closing would be safe). Used
// only on UI threads; Xlib locks itself since 1.8.
#pragma once

#include <X11/Xlib.h>

#include <functional>

namespace standin {

class X11Connection {
 public:
  // Null when there is no display.
  static Display* Get();

  // Events for `window` go to `listener` when ProcessEvents handles them.
  static void Listen(::Window window, std::function<void(XEvent&)> listener);
  static void Forget(::Window window);
  // Handles every event waiting on the connection; called from the host's
  // run loop when the connection's descriptor is readable.
  static void ProcessEvents();

  // Keeps X errors of requests made in its lifetime from ending the
  // program (the default handler exits): windows of other processes, such
  // as the browser's, may vanish at any moment. Syncs on both ends.
  class ErrorTrap {
   public:
    explicit ErrorTrap(Display* display);
    ~ErrorTrap();
    // True when a request since construction failed (syncs first).
    bool Failed();

   private:
    Display* display;
    int (*previous)(Display*, XErrorEvent*);
  };
};

}  // namespace standin
