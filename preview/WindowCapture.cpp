// Xlib and libpng live only in this file: their macros (None, Bool, Status)
// clash with the VST 3 and stand-in headers elsewhere.
#include "WindowCapture.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <png.h>

#include <cstdio>
#include <memory>
#include <vector>

namespace kelo::preview {

namespace {

struct DisplayCloser {
  void operator()(Display* display) const { XCloseDisplay(display); }
};
using DisplayPtr = std::unique_ptr<Display, DisplayCloser>;

// The channel of a pixel under `mask`, scaled to 8 bits.
unsigned char channel(unsigned long pixel, unsigned long mask) {
  if (!mask) return 0;
  int shift = 0;
  while (!((mask >> shift) & 1)) ++shift;
  const unsigned long max = mask >> shift;
  return static_cast<unsigned char>(((pixel & mask) >> shift) * 255 / max);
}

// Kept apart: libpng reports errors by longjmp back to the setjmp here, so
// this frame changes no local after it.
bool writePng(std::FILE* file, int width, int height, const std::vector<unsigned char>& rgb) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < height; ++y) png_write_row(png, &rgb[static_cast<size_t>(y) * static_cast<size_t>(width) * 3]);
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace

bool captureWindowPng(unsigned long window, const std::string& path, std::string& error) {
  DisplayPtr display(XOpenDisplay(nullptr));
  if (!display) {
    error = "no X display to take pictures from";
    return false;
  }
  XWindowAttributes attributes{};
  if (!window || !XGetWindowAttributes(display.get(), window, &attributes)) {
    error = "the plug-in window is not on the display";
    return false;
  }
  const int width = attributes.width, height = attributes.height;
  XImage* image = XGetImage(display.get(), window, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height),
                            AllPlanes, ZPixmap);
  if (!image) {
    error = "the X server gave no picture of the window";
    return false;
  }
  std::vector<unsigned char> rgb(static_cast<size_t>(width) * static_cast<size_t>(height) * 3);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const unsigned long pixel = XGetPixel(image, x, y);
      unsigned char* out = &rgb[(static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 3];
      out[0] = channel(pixel, image->red_mask);
      out[1] = channel(pixel, image->green_mask);
      out[2] = channel(pixel, image->blue_mask);
    }
  XDestroyImage(image);
  std::FILE* file = std::fopen(path.c_str(), "wb");
  bool written = file && writePng(file, width, height, rgb);
  if (file) written = std::fclose(file) == 0 && written;
  if (!written) error = path + ": cannot be written";
  return written;
}

bool pixelAt(unsigned long window, int x, int y, unsigned long& pixel) {
  DisplayPtr display(XOpenDisplay(nullptr));
  if (!display || !window) return false;
  XImage* image = XGetImage(display.get(), window, x, y, 1, 1, AllPlanes, ZPixmap);
  if (!image) return false;
  pixel = XGetPixel(image, 0, 0);
  XDestroyImage(image);
  return true;
}

namespace {

bool classBelow(Display* display, Window window, const std::string& prefix, int depth) {
  Window root = 0, parent = 0, *children = nullptr;
  unsigned int count = 0;
  if (depth > 4 || !XQueryTree(display, window, &root, &parent, &children, &count)) return false;
  bool found = false;
  for (unsigned int i = 0; i < count && !found; ++i) {
    XClassHint hint{};
    if (XGetClassHint(display, children[i], &hint)) {
      found = hint.res_class && std::string(hint.res_class).rfind(prefix, 0) == 0;
      XFree(hint.res_name);
      XFree(hint.res_class);
    }
    found = found || classBelow(display, children[i], prefix, depth + 1);
  }
  if (children) XFree(children);
  return found;
}

}  // namespace

bool hasDescendantOfClass(unsigned long window, const char* classPrefix) {
  DisplayPtr display(XOpenDisplay(nullptr));
  return display && window && classBelow(display.get(), window, classPrefix, 0);
}

}  // namespace kelo::preview
