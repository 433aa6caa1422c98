#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace bq {

// Screen measures are written for 96 dots per inch; each constant is scaled on its own, with
// integer division, before it is combined with anything else.
constexpr int scaleMeasure(int measure, int dpi) {
    return measure * dpi / 96;
}

struct Size {
    int width = 0;
    int height = 0;
    friend bool operator==(const Size&, const Size&) = default;
};

struct Point {
    int x = 0;
    int y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

// A control's edges in its parent's client coordinates. In a layout request a zero edge means
// "keep the current one" (see resolveMove).
struct Edges {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    friend bool operator==(const Edges&, const Edges&) = default;
};

struct ControlPlacement {
    int controlId;
    Edges edges;
};

constexpr int kLayoutControlCount = 9;

// Where the panel's controls go for a client area W wide with a panel P high. The Load (1003)
// and Save (1005) buttons are not moved and so are absent.
std::array<ControlPlacement, kLayoutControlCount> panelLayout(int width, int panelHeight, int dpiX,
                                                              int dpiY);

// The rectangle a control ends up with when asked to move to `requested` while it occupies
// `current`: a zero left or top keeps the current one, a zero right or bottom keeps the
// current width or height (measured from the settled left or top).
Edges resolveMove(const Edges& current, const Edges& requested);

// The main window's client size at the given dpi.
Size clientSize(int dpiX, int dpiY);

// The main window's top-left corner for an outer size on a screen: centred horizontally,
// somewhat above the middle vertically, never above the top of the screen.
Point windowPlacement(Size screen, Size window);

struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
};

struct WindowFit {
    Point at;
    Size size;     // outer
    Size minimum;  // the smallest size it can be dragged to
};

// Where the main window of outer size `outer` opens on a monitor `screen` large whose work area
// (the screen less the task bar) is `workArea`: where it fits, at windowPlacement with its
// size as its minimum; on an axis where it does not, as large as the work area there, and its
// minimum no larger, so that its edges and status bar can always be seen. Either way inside
// the work area.
WindowFit fitMainWindow(Size screen, Rect workArea, Size outer);

// The part of a command line after the program name: a program name in double quotes ends at
// the next double quote, otherwise at the first character not above the blank; the blanks and
// control characters behind it are skipped.
std::string_view commandLineTail(std::string_view commandLine);

// The path the tail names. A whole tail in double quotes (as the shell passes a path holding
// blanks) loses them, since no file name can contain a double quote.
std::string_view pathFromTail(std::string_view tail);

// Counts the message loop's idle passes; the association sizes are refreshed on every eighth.
class IdleCounter {
  public:
    // One more idle pass; true when this pass is a multiple of eight.
    bool pass() { return ++count_ % 8 == 0; }

  private:
    // Wraps at 2^32, itself a multiple of eight, so the rhythm holds over any run.
    std::uint32_t count_ = 0;
};

}  // namespace bq
