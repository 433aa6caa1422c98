#include "ui/layout.h"

#include <algorithm>

#include "ui/control_ids.h"

namespace bq {

std::array<ControlPlacement, kLayoutControlCount> panelLayout(int width, int panelHeight, int dpiX,
                                                              int dpiY) {
    const auto x = [dpiX](int measure) { return scaleMeasure(measure, dpiX); };
    const auto y = [dpiY](int measure) { return scaleMeasure(measure, dpiY); };
    const int w = width;
    const int p = panelHeight;
    const int kept = 0;
    return {{
        {IDC_PATH, {kept, kept, w - x(25), kept}},
        {IDC_GROUP_FILE, {kept, kept, w - x(12), y(100) - y(6)}},
        {IDC_GROUP_STRUCTURE, {kept, y(6) + y(100), w - x(12), p - y(12)}},
        {IDC_LIST, {x(24), kept, x(12) + x(245), p - y(52)}},
        {IDC_CONTENT, {x(24) + x(245), kept, w - x(25), p - y(52)}},
        {IDC_ADD, {x(24), p - y(44), kept, kept}},
        {IDC_DELETE, {kept, p - y(44), kept, kept}},
        {IDC_PAYLOAD_LOAD, {w - x(133), p - y(44), kept, kept}},
        {IDC_PAYLOAD_SAVE, {w - x(75), p - y(44), kept, kept}},
    }};
}

Edges resolveMove(const Edges& current, const Edges& requested) {
    Edges result = requested;
    if (result.left == 0) {
        result.left = current.left;
    }
    if (result.top == 0) {
        result.top = current.top;
    }
    if (result.right == 0) {
        result.right = result.left + (current.right - current.left);
    }
    if (result.bottom == 0) {
        result.bottom = result.top + (current.bottom - current.top);
    }
    return result;
}

Size clientSize(int dpiX, int dpiY) {
    return {scaleMeasure(666, dpiX), scaleMeasure(620, dpiY)};
}

Point windowPlacement(Size screen, Size window) {
    const int x = (screen.width - window.width) / 2;
    int y = screen.height / 2 - (2 * window.height) / 3 + 40;
    if (y < 0) {
        y = 0;
    }
    return {x, y};
}

WindowFit fitMainWindow(Size screen, Rect workArea, Size outer) {
    if (workArea.width() <= 0 || workArea.height() <= 0) {  // no monitor known
        return {windowPlacement(screen, outer), outer, outer};
    }
    const Size size{std::min(outer.width, workArea.width()),
                    std::min(outer.height, workArea.height())};
    const Point placed = windowPlacement(screen, size);
    // Kept inside the work area, which a task bar at the top or left moves off the origin.
    const Point at{std::clamp(placed.x, workArea.left, workArea.right - size.width),
                   std::clamp(placed.y, workArea.top, workArea.bottom - size.height)};
    return {at, size, size};
}

std::string_view commandLineTail(std::string_view commandLine) {
    std::size_t pos = 0;
    const auto at = [&](std::size_t i) { return static_cast<unsigned char>(commandLine[i]); };
    if (!commandLine.empty() && commandLine[0] == '"') {
        pos = 1;
        while (pos < commandLine.size() && commandLine[pos] != '"') {
            ++pos;
        }
        if (pos < commandLine.size()) {
            ++pos;  // the closing quote belongs to the program name
        }
    } else {
        while (pos < commandLine.size() && at(pos) > 32) {
            ++pos;
        }
    }
    while (pos < commandLine.size() && at(pos) >= 1 && at(pos) <= 32) {
        ++pos;
    }
    return commandLine.substr(pos);
}

std::string_view pathFromTail(std::string_view tail) {
    if (tail.size() >= 2 && tail.front() == '"' && tail.back() == '"') {
        return tail.substr(1, tail.size() - 2);
    }
    return tail;
}

}  // namespace bq
