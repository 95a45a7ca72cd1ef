#pragma once

#include <windows.h>

#include <string>

namespace standin::webview2 {

// The browser's own X11 window, placed inside the X11 window behind a web
// view's parent (see X11Backings): in a holder window of ours at the
// controller's bounds, the browser's window filling it. The browser window
// is found by the X11 class it was started with, never by its title; until
// it exists, every Place call looks again; once placed, it is put back
// whenever the browser moves or sizes it on its own. A click into the
// browser gives it the keyboard focus, which a browser that thinks itself
// a top-level window never takes inside another: a passive grab on the
// holder sees the click first, moves the focus and replays the click to
// the browser. Whoever drives the UI thread must handle the stand-in's X
// events (the host's run loop, or KeloLinuxPumpMessages), since the
// pointer waits for that. UI thread only.
class BrowserWindow {
 public:
  BrowserWindow(std::string windowClass, HWND parent);
  // Takes the holder, and the browser's window with it, off the screen.
  ~BrowserWindow();
  BrowserWindow(const BrowserWindow&) = delete;
  BrowserWindow& operator=(const BrowserWindow&) = delete;

  // Places (or again, after a resize) the browser's window at `bounds`.
  void Place(const RECT& bounds);
  bool Placed() const { return browser != 0; }

 private:
  unsigned long FindBrowser() const;
  // Clicks (through the grab), and the browser's window being moved, sized
  // or taken elsewhere (it is put back) or destroyed.
  void OnEvent(void* event);

  std::string windowClass;
  HWND parent;
  RECT bounds{0, 0, 0, 0};
  unsigned long holder = 0;
  unsigned long browser = 0;
};

}  // namespace standin::webview2
