// Which stand-in windows are backed by a real X11 window: the top-level
// frames that KeloLinuxCreateHostWindow makes, and the stand-ins for a
// host's own X11 window that an embedding plug view wraps. A browser made
// anywhere below such a window shows its own X11 window inside it.
#pragma once

#include <windows.h>

namespace standin {

struct X11Backing {
  unsigned long window = 0;  // the X11 window id
};

class X11Backings {
 public:
  static void Set(HWND window, X11Backing backing);
  static void Remove(HWND window);
  // The backing of `window` or of its nearest ancestor that has one.
  static bool FindFrom(HWND window, X11Backing* backing);
};

}  // namespace standin
