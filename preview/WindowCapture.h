#pragma once

#include <string>

namespace kelo::preview {

/// Writes what the X server shows of `window` (its children included) as an
/// RGB PNG at `path`. False with `error` set when there is no display, no
/// such window or the file cannot be written.
bool captureWindowPng(unsigned long window, const std::string& path, std::string& error);

/// The pixel value the X server shows at (x, y) of `window`; false without
/// a display or such a window.
bool pixelAt(unsigned long window, int x, int y, unsigned long& pixel);

/// Whether a window below `window` carries an X11 class starting with
/// `classPrefix` (the browser's window, once it is placed in the frame).
bool hasDescendantOfClass(unsigned long window, const char* classPrefix);

}  // namespace kelo::preview
