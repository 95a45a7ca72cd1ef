// Xlib and libpng live only in this file: their macros (None, Bool, Status)
// clash with the VST 3 and stand-in headers elsewhere.
#include "WindowCapture.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <png.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace kelo::preview {

namespace {

struct DisplayCloser
{
	void operator() (Display* display) const { XCloseDisplay (display); }
};
using DisplayPtr = std::unique_ptr<Display, DisplayCloser>;

long windowPid (Display* display, Window window, Atom pidAtom)
{
	Atom type = 0;
	int format = 0;
	unsigned long count = 0, after = 0;
	unsigned char* data = nullptr;
	long pid = 0;
	if (XGetWindowProperty (display, window, pidAtom, 0, 1, False, XA_CARDINAL, &type, &format, &count, &after,
	                        &data) == Success &&
	    data && count == 1 && format == 32)
		pid = static_cast<long> (*reinterpret_cast<unsigned long*> (data));
	if (data)
		XFree (data);
	return pid;
}

// The channel of a pixel under `mask`, scaled to 8 bits.
unsigned char channel (unsigned long pixel, unsigned long mask)
{
	if (!mask)
		return 0;
	int shift = 0;
	while (!((mask >> shift) & 1))
		++shift;
	const unsigned long max = mask >> shift;
	return static_cast<unsigned char> (((pixel & mask) >> shift) * 255 / max);
}

// Kept apart: libpng reports errors by longjmp back to the setjmp here, so
// this frame changes no local after it.
bool writePng (std::FILE* file, int width, int height, const std::vector<unsigned char>& rgb)
{
	png_structp png = png_create_write_struct (PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
	png_infop info = png ? png_create_info_struct (png) : nullptr;
	if (!info)
	{
		png_destroy_write_struct (&png, nullptr);
		return false;
	}
	if (setjmp (png_jmpbuf (png)))
	{
		png_destroy_write_struct (&png, &info);
		return false;
	}
	png_init_io (png, file);
	png_set_IHDR (png, info, static_cast<png_uint_32> (width), static_cast<png_uint_32> (height), 8, PNG_COLOR_TYPE_RGB,
	              PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
	png_write_info (png, info);
	for (int y = 0; y < height; ++y)
		png_write_row (png, &rgb[static_cast<size_t> (y) * static_cast<size_t> (width) * 3]);
	png_write_end (png, info);
	png_destroy_write_struct (&png, &info);
	return true;
}

} // namespace

unsigned long findWindowOfProcesses (const std::vector<int>& processes)
{
	DisplayPtr display (XOpenDisplay (nullptr));
	if (!display || processes.empty ())
		return 0;
	const Atom pidAtom = XInternAtom (display.get (), "_NET_WM_PID", True);
	if (pidAtom == None)
		return 0;
	Window root = 0, parent = 0, *children = nullptr;
	unsigned int count = 0;
	if (!XQueryTree (display.get (), DefaultRootWindow (display.get ()), &root, &parent, &children, &count))
		return 0;
	Window best = 0;
	long bestArea = 0;
	for (unsigned int i = 0; i < count; ++i)
	{
		XWindowAttributes attributes {};
		if (!XGetWindowAttributes (display.get (), children[i], &attributes) || attributes.map_state != IsViewable)
			continue;
		const long pid = windowPid (display.get (), children[i], pidAtom);
		if (std::find (processes.begin (), processes.end (), pid) == processes.end ())
			continue;
		const long area = static_cast<long> (attributes.width) * attributes.height;
		if (area > bestArea)
		{
			bestArea = area;
			best = children[i];
		}
	}
	if (children)
		XFree (children);
	return best;
}

bool captureWindowPng (unsigned long window, const std::string& path, std::string& error, int cropWidth,
                       int cropHeight)
{
	DisplayPtr display (XOpenDisplay (nullptr));
	if (!display)
	{
		error = "no X display to take pictures from";
		return false;
	}
	XWindowAttributes attributes {};
	if (!window || !XGetWindowAttributes (display.get (), window, &attributes))
	{
		error = "the plug-in window is not on the display";
		return false;
	}
	int width = attributes.width, height = attributes.height, top = 0;
	if (cropWidth > 0 && cropHeight > 0 && cropWidth <= width && cropHeight <= height)
	{
		top = height - cropHeight;
		width = cropWidth;
		height = cropHeight;
	}
	XImage* image = XGetImage (display.get (), window, 0, top, static_cast<unsigned> (width),
	                           static_cast<unsigned> (height), AllPlanes, ZPixmap);
	if (!image)
	{
		error = "the X server gave no picture of the window";
		return false;
	}
	std::vector<unsigned char> rgb (static_cast<size_t> (width) * static_cast<size_t> (height) * 3);
	for (int y = 0; y < height; ++y)
		for (int x = 0; x < width; ++x)
		{
			const unsigned long pixel = XGetPixel (image, x, y);
			unsigned char* out = &rgb[(static_cast<size_t> (y) * static_cast<size_t> (width) + static_cast<size_t> (x)) * 3];
			out[0] = channel (pixel, image->red_mask);
			out[1] = channel (pixel, image->green_mask);
			out[2] = channel (pixel, image->blue_mask);
		}
	XDestroyImage (image);
	std::FILE* file = std::fopen (path.c_str (), "wb");
	bool written = file && writePng (file, width, height, rgb);
	if (file)
		written = std::fclose (file) == 0 && written;
	if (!written)
		error = path + ": cannot be written";
	return written;
}

} // namespace kelo::preview
