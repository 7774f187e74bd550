#pragma once

// The window records, show commands and system metrics of the reference desktop, in its own names
// and values: the INI file stores them as numbers (ShowCmd, the placement rectangles), so they are
// part of the file format wherever the program runs. The one place that states them; the Qt windows
// derive their frame from the metrics below.
//
// Not for the Win32 backends: <windows.h> defines the same names as macros.

struct TPoint
{
    int x = 0;
    int y = 0;
    bool operator==(const TPoint&) const = default;
};

// Left, top, right, bottom in screen pixels; right and bottom are exclusive.
struct TRect
{
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    bool operator==(const TRect&) const = default;
};

// The placement record of a top-level window (44 bytes on Windows, hence `length`).
struct TWindowPlacement
{
    unsigned length = 44;
    unsigned flags = 0;
    unsigned showCmd = 1;
    TPoint ptMinPosition{-1, -1};
    TPoint ptMaxPosition{-1, -1};
    TRect rcNormalPosition;
    bool operator==(const TWindowPlacement&) const = default;
};

// Show commands.
constexpr unsigned SW_HIDE = 0;
constexpr unsigned SW_SHOWNORMAL = 1;
constexpr unsigned SW_SHOWMINIMIZED = 2;
constexpr unsigned SW_SHOWMAXIMIZED = 3;
constexpr unsigned SW_SHOWNOACTIVATE = 4;
constexpr unsigned SW_SHOW = 5;
constexpr unsigned SW_MINIMIZE = 6;
constexpr unsigned SW_SHOWMINNOACTIVE = 7;
constexpr unsigned SW_SHOWNA = 8;
constexpr unsigned SW_RESTORE = 9;
constexpr unsigned SW_MAX = 11; // the highest show command

// System metric indices.
constexpr int SM_CXSCREEN = 0;
constexpr int SM_CYSCREEN = 1;
constexpr int SM_CYCAPTION = 4;
constexpr int SM_CXBORDER = 5;
constexpr int SM_CYBORDER = 6;
constexpr int SM_CXDLGFRAME = 7;
constexpr int SM_CYDLGFRAME = 8;
constexpr int SM_CXFRAME = 32;
constexpr int SM_CYFRAME = 33;

// The sizes of the window decoration on the reference desktop: the borders (SM_CXBORDER to
// SM_CYFRAME) and the caption bar (SM_CYCAPTION). The screen size and every other index give 0 here.
constexpr int FrameMetric(int index)
{
    switch (index) {
    case SM_CXBORDER:
    case SM_CYBORDER:
        return 1;
    case SM_CXDLGFRAME:
    case SM_CYDLGFRAME:
        return 3;
    case SM_CXFRAME:
    case SM_CYFRAME:
        return 4;
    case SM_CYCAPTION:
        return 19;
    default:
        return 0;
    }
}

// What a sizeable window's outer rectangle adds to its client area there: the sizing frame on both
// sides, and above the client area also the caption bar.
constexpr int kSizeableFrameWidth = 2 * FrameMetric(SM_CXFRAME);
constexpr int kSizeableFrameHeight = 2 * FrameMetric(SM_CYFRAME) + FrameMetric(SM_CYCAPTION);
static_assert(kSizeableFrameWidth == 8 && kSizeableFrameHeight == 27);
