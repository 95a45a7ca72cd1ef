#include "X11Window.h"

#include <X11/Xlib.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>

namespace kelo::x11host {

X11Window::X11Window(int width, int height, const std::string& title) {
  connection = XOpenDisplay(nullptr);
  if (!connection) return;
  const int screen = DefaultScreen(connection);
  XSetWindowAttributes attributes{};
  attributes.background_pixel = BlackPixel(connection, screen);
  attributes.event_mask = ButtonPressMask | StructureNotifyMask;
  window = XCreateWindow(connection, RootWindow(connection, screen), 0, 0, static_cast<unsigned>(width),
                         static_cast<unsigned>(height), 0, CopyFromParent, InputOutput, CopyFromParent,
                         CWBackPixel | CWEventMask, &attributes);
  if (!window) return;
  XStoreName(connection, window, title.c_str());
  XClassHint hint{const_cast<char*>("kelo-x11host"), const_cast<char*>("KeloX11Host")};
  XSetClassHint(connection, window, &hint);
  deleteWindow = XInternAtom(connection, "WM_DELETE_WINDOW", False);
  XSetWMProtocols(connection, window, &deleteWindow, 1);
  XMapWindow(connection, window);
  XSync(connection, False);
}

X11Window::~X11Window() {
  if (connection) {
    if (window) XDestroyWindow(connection, window);
    XCloseDisplay(connection);
  }
}

int X11Window::fd() const {
  return connection ? ConnectionNumber(connection) : -1;
}

void X11Window::resize(int width, int height) {
  if (!window) return;
  XResizeWindow(connection, window, static_cast<unsigned>(width), static_cast<unsigned>(height));
  XSync(connection, False);
}

void X11Window::processEvents() {
  if (!connection) return;
  while (XPending(connection) > 0) {
    XEvent event;
    XNextEvent(connection, &event);
    if (event.type == ButtonPress && event.xbutton.window == window)
      XSetInputFocus(connection, window, RevertToParent, event.xbutton.time);
    else if (event.type == ClientMessage && static_cast<Atom>(event.xclient.data.l[0]) == deleteWindow)
      closing = true;
  }
  XFlush(connection);
}

}  // namespace kelo::x11host
