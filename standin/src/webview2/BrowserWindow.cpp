#include "BrowserWindow.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>

#include "../X11Backings.h"
#include "../X11Connection.h"

namespace standin::webview2 {
namespace {

unsigned Extent(LONG from, LONG to) {
  return static_cast<unsigned>(std::max<LONG>(to - from, 1));
}

// The window of class `windowClass` among the children of `under`, or among
// theirs down to `depth` levels: a window manager puts a top-level window
// into a frame of its own, at times inside another.
::Window FindByClass(Display* display, ::Window under, const std::string& windowClass, int depth) {
  ::Window root = 0, parent = 0, *children = nullptr;
  unsigned count = 0;
  if (!XQueryTree(display, under, &root, &parent, &children, &count)) return 0;
  ::Window found = 0;
  for (unsigned i = 0; i < count && found == 0; ++i) {
    XClassHint hint{};
    bool ours = false;
    if (XGetClassHint(display, children[i], &hint)) {
      ours = hint.res_class != nullptr && windowClass == hint.res_class;
      if (hint.res_name) XFree(hint.res_name);
      if (hint.res_class) XFree(hint.res_class);
    }
    XWindowAttributes attributes{};
    // The browser's client leader carries the class too, but is input-only.
    if (ours && XGetWindowAttributes(display, children[i], &attributes) && attributes.c_class == InputOutput)
      found = children[i];
    else if (!ours && depth > 1)
      found = FindByClass(display, children[i], windowClass, depth - 1);
  }
  if (children) XFree(children);
  return found;
}

}  // namespace

BrowserWindow::BrowserWindow(std::string windowClass, HWND parent)
    : windowClass(std::move(windowClass)), parent(parent) {}

BrowserWindow::~BrowserWindow() {
  Display* display = X11Connection::Get();
  if (display == nullptr || holder == 0) return;
  X11Connection::Forget(holder);
  X11Connection::ErrorTrap trap(display);
  if (browser != 0) {
    X11Connection::Forget(browser);
    XSelectInput(display, browser, NoEventMask);
    // Back to the root, unmapped: the browser may take a moment to quit,
    // and destroying the holder would destroy its window under it.
    XUnmapWindow(display, browser);
    XReparentWindow(display, browser, DefaultRootWindow(display), -32000, -32000);
  }
  XDestroyWindow(display, holder);
}

unsigned long BrowserWindow::FindBrowser() const {
  Display* display = X11Connection::Get();
  X11Connection::ErrorTrap trap(display);
  return FindByClass(display, DefaultRootWindow(display), windowClass, 3);
}

void BrowserWindow::Place(const RECT& placed) {
  bounds = placed;
  Display* display = X11Connection::Get();
  X11Backing backing;
  if (display == nullptr || windowClass.empty() || !X11Backings::FindFrom(parent, &backing)) return;
  const unsigned width = Extent(bounds.left, bounds.right), height = Extent(bounds.top, bounds.bottom);
  if (holder == 0) {
    X11Connection::ErrorTrap trap(display);
    XSetWindowAttributes attributes{};
    attributes.background_pixel = BlackPixel(display, DefaultScreen(display));
    holder = XCreateWindow(display, backing.window, bounds.left, bounds.top, width, height, 0, CopyFromParent,
                           InputOutput, CopyFromParent, CWBackPixel, &attributes);
    if (trap.Failed()) {
      holder = 0;  // the parent's window is gone
      return;
    }
    XGrabButton(display, AnyButton, AnyModifier, holder, True, ButtonPressMask, GrabModeSync, GrabModeAsync, None,
                None);
    // Events on our windows: the grab's clicks, and the browser moving or
    // sizing its own window against our placement.
    X11Connection::Listen(holder, [this](XEvent& event) { OnEvent(&event); });
    XMapWindow(display, holder);
  }
  if (browser == 0) {
    browser = FindBrowser();
    if (browser == 0) return;
    X11Connection::ErrorTrap trap(display);
    XSelectInput(display, browser, StructureNotifyMask);
    XReparentWindow(display, browser, holder, 0, 0);
    if (trap.Failed()) {
      browser = 0;
      return;
    }
    X11Connection::Listen(browser, [this](XEvent& event) { OnEvent(&event); });
  }
  X11Connection::ErrorTrap trap(display);
  XMoveResizeWindow(display, holder, bounds.left, bounds.top, width, height);
  if (browser != 0) XMoveResizeWindow(display, browser, 0, 0, width, height);
}

void BrowserWindow::OnEvent(void* data) {
  XEvent& event = *static_cast<XEvent*>(data);
  Display* display = X11Connection::Get();
  if (event.type == ButtonPress) {
    X11Connection::ErrorTrap trap(display);
    if (browser != 0) XSetInputFocus(display, browser, RevertToParent, event.xbutton.time);
    XAllowEvents(display, ReplayPointer, event.xbutton.time);
    return;
  }
  const bool moved = event.type == ConfigureNotify && event.xconfigure.window == browser &&
                     (event.xconfigure.x != 0 || event.xconfigure.y != 0 ||
                      event.xconfigure.width != static_cast<int>(Extent(bounds.left, bounds.right)) ||
                      event.xconfigure.height != static_cast<int>(Extent(bounds.top, bounds.bottom)));
  const bool taken =
      event.type == ReparentNotify && event.xreparent.window == browser && event.xreparent.parent != holder;
  if (event.type == DestroyNotify && event.xdestroywindow.window == browser) {
    X11Connection::Forget(browser);
    browser = 0;
  } else if (taken) {
    X11Connection::ErrorTrap trap(display);
    XReparentWindow(display, browser, holder, 0, 0);
  }
  if (moved || taken) Place(bounds);
}

}  // namespace standin::webview2
