#include "frame/trail_spans.h"

#include <algorithm>
#include <climits>
#include <cstdint>

namespace {

const int kMargin = 2;  // blank pixels around the measured disc

// The disc of one radius as one span per row: columns [left, right) relative to the
// centre; left >= right for an empty row. Rows run from -(radius + kMargin).
struct DiscSpans {
    int radius = -1;
    std::vector<int> left, right;

    int Reach() const { return radius + kMargin; }
    bool Measure(HDC like, int r);
};

// The disc is drawn white on black around the centre of a square bitmap, with kMargin
// blank pixels beyond the Ellipse rectangle on every side.
bool DiscSpans::Measure(HDC like, int r) {
    radius = -1;
    const int side = 2 * (r + kMargin) + 1, centre = r + kMargin;
    HDC memory = ::CreateCompatibleDC(like);
    HBITMAP bitmap = memory != nullptr ? ::CreateCompatibleBitmap(like, side, side) : nullptr;
    bool drawn = false;
    if (bitmap != nullptr) {
        HGDIOBJ oldBitmap = ::SelectObject(memory, bitmap);
        ::PatBlt(memory, 0, 0, side, side, BLACKNESS);
        HGDIOBJ oldBrush = ::SelectObject(memory, ::GetStockObject(WHITE_BRUSH));
        HGDIOBJ oldPen = ::SelectObject(memory, ::GetStockObject(NULL_PEN));
        drawn = ::Ellipse(memory, centre - r, centre - r, centre + r, centre + r) != FALSE || r == 0;
        ::SelectObject(memory, oldBrush);
        ::SelectObject(memory, oldPen);
        ::SelectObject(memory, oldBitmap);
    }
    std::vector<uint32_t> pixels(static_cast<size_t>(side) * side);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = side;
    info.bmiHeader.biHeight = -side;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    bool read = drawn && ::GetDIBits(memory, bitmap, 0, side, pixels.data(), &info, DIB_RGB_COLORS) == side;
    if (bitmap != nullptr) ::DeleteObject(bitmap);
    if (memory != nullptr) ::DeleteDC(memory);
    if (!read) return false;
    left.assign(side, 0);
    right.assign(side, 0);
    for (int y = 0; y < side; ++y) {
        const uint32_t* row = &pixels[static_cast<size_t>(y) * side];
        int first = -1, last = -1, runs = 0;
        for (int x = 0; x < side; ++x) {
            if ((row[x] & 0xFFFFFF) == 0) continue;
            if (last != x - 1) ++runs;
            if (first < 0) first = x;
            last = x;
        }
        if (runs > 1) return false;  // not one span: leave it to the Ellipse calls
        left[y] = first < 0 ? 0 : first - centre;
        right[y] = first < 0 ? 0 : last + 1 - centre;
    }
    radius = r;
    return true;
}

DiscSpans g_disc;

struct Span {
    int left, right;
};

// Per pixel row of the line, its leftmost and rightmost point: the points of one row
// are consecutive, so their discs' spans on any row join into one.
struct LineRows {
    int top = 0;
    std::vector<int> leftmost, rightmost;

    explicit LineRows(const std::vector<POINT>& points) {
        int bottom = points.front().y;
        top = bottom;
        for (const POINT& p : points) {
            top = std::min<int>(top, p.y);
            bottom = std::max<int>(bottom, p.y);
        }
        leftmost.assign(bottom - top + 1, INT_MAX);
        rightmost.assign(bottom - top + 1, INT_MIN);
        for (const POINT& p : points) {
            leftmost[p.y - top] = std::min<int>(leftmost[p.y - top], p.x);
            rightmost[p.y - top] = std::max<int>(rightmost[p.y - top], p.x);
        }
    }
    int bottom() const { return top + static_cast<int>(leftmost.size()) - 1; }
};

// The spans of pixel row y: one per line row within reach, sorted and joined.
void RowSpans(const DiscSpans& disc, const LineRows& line, int y, std::vector<Span>& spans) {
    spans.clear();
    const int reach = disc.Reach();
    for (int cy = std::max(line.top, y - reach); cy <= std::min(line.bottom(), y + reach); ++cy) {
        int index = y - cy + reach;
        if (disc.left[index] >= disc.right[index] || line.leftmost[cy - line.top] == INT_MAX) continue;
        spans.push_back(Span{line.leftmost[cy - line.top] + disc.left[index], line.rightmost[cy - line.top] + disc.right[index]});
    }
    std::sort(spans.begin(), spans.end(), [](const Span& a, const Span& b) { return a.left < b.left; });
    size_t joined = 0;
    for (size_t i = 0; i < spans.size(); ++i) {
        if (joined > 0 && spans[i].left <= spans[joined - 1].right) {
            spans[joined - 1].right = std::max(spans[joined - 1].right, spans[i].right);
        } else {
            spans[joined++] = spans[i];
        }
    }
    spans.resize(joined);
}

}  // namespace

bool FillTrail(HDC dc, const std::vector<POINT>& points, int r) {
    if (points.empty()) return true;
    if (g_disc.radius != r && !g_disc.Measure(dc, r)) return false;
    const LineRows line(points);
    const HBRUSH white = static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH));
    std::vector<Span> spans;
    for (int y = line.top - g_disc.Reach(); y <= line.bottom() + g_disc.Reach(); ++y) {
        RowSpans(g_disc, line, y, spans);
        for (const Span& span : spans) {
            RECT rect{span.left, y, span.right, y + 1};
            ::FillRect(dc, &rect, white);
        }
    }
    return true;
}
