#pragma once

#include <string>
#include <vector>

namespace kelo::preview {

/// The largest mapped top-level X11 window whose _NET_WM_PID is one of
/// `processes`; 0 without a display or such a window.
unsigned long findWindowOfProcesses (const std::vector<int>& processes);

/// Writes what the X server shows of `window` (children included) as an
/// RGB PNG at `path`, its `cropWidth` x `cropHeight` bottom-left part when
/// both are positive and smaller than the window. False with `error` set
/// when there is no display, no such window or the file cannot be written.
bool captureWindowPng (unsigned long window, const std::string& path, std::string& error, int cropWidth = 0,
                       int cropHeight = 0);

} // namespace kelo::preview
