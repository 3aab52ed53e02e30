// Pictures for screens above 100 %: each is drawn for 100, 150 and 200 %, and
// a window shows the one that suits the DPI of the monitor it is on.
#pragma once
#include <windows.h>

// Sent by Windows 8.1 and 10 (version 1703) on; the program is built for older Windows too.
#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif
#ifndef WM_DPICHANGED_AFTERPARENT
#define WM_DPICHANGED_AFTERPARENT 0x02E3
#endif

// A picture drawn for 150 % or 200 % has the number of its 100 % one plus these.
constexpr UINT kPictureAt150 = 1000;
constexpr UINT kPictureAt200 = 2000;

// The scale (100, 150 or 200) whose pictures suit a window at dpi: the
// largest not above it, so that no picture outgrows the place its dialog,
// which scales with its font, gives it.
inline int PicturePercent(UINT dpi) { return dpi >= 192 ? 200 : dpi >= 144 ? 150 : 100; }
inline UINT PictureForDpi(UINT nID, UINT dpi) {
    const int percent = PicturePercent(dpi);
    return nID + (percent == 200 ? kPictureAt200 : percent == 150 ? kPictureAt150 : 0);
}
// A length of a 100 % picture in the picture that suits dpi.
inline int PictureLength(int length, UINT dpi) { return length * PicturePercent(dpi) / 100; }
// A length in pixels at 96 DPI, at dpi.
inline int ScaledLength(int length, UINT dpi) { return ::MulDiv(length, int(dpi), 96); }

// The DPI of the monitor hWnd is on; before Windows 10 (version 1607), which
// cannot tell, the screen's.
UINT WindowDpi(HWND hWnd);
