// The fixed metrics of the stand-in desktop (one 1920 x 1080 screen at 96
// DPI, Windows 10 frame sizes), from which frames, default sizes and the
// default minimum and maximum tracking sizes come.
#pragma once

#include <windows.h>

namespace standin {

constexpr LONG kScreenWidth = 1920;
constexpr LONG kScreenHeight = 1080;
constexpr LONG kSizingFrame = 8;  // each side, WS_THICKFRAME
constexpr LONG kFixedFrame = 3;   // each side, WS_DLGFRAME (and so WS_CAPTION) without WS_THICKFRAME
constexpr LONG kThinBorder = 1;   // each side, WS_BORDER alone
constexpr LONG kCaption = 23;     // WS_CAPTION
constexpr LONG kMenuBar = 20;
constexpr LONG kMinTrackWidth = 136;
constexpr LONG kMinTrackHeight = 39;
constexpr LONG kMaxTrackWidth = kScreenWidth + 24;
constexpr LONG kMaxTrackHeight = kScreenHeight + 24;
constexpr int kDefaultX = 100;  // where CW_USEDEFAULT puts an overlapped window
constexpr int kDefaultY = 100;
constexpr int kDefaultWidth = 960;  // and the size it gives it
constexpr int kDefaultHeight = 540;

// Non-client thickness per side for a style, as AdjustWindowRect adds it.
RECT FrameFor(DWORD style, bool menu);

// Whether Windows consults WM_GETMINMAXINFO when sizing a window of `style`:
// sizable windows, and every window that is neither a child nor a pop-up.
bool TracksMinMax(DWORD style);

MINMAXINFO DefaultMinMaxInfo(DWORD style);

// Clamps an outer size to the tracking sizes, the minimum winning a conflict.
void ApplyTrackSizes(const MINMAXINFO& info, int& width, int& height);

}  // namespace standin
