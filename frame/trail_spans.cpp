#include "frame/trail_spans.h"

#include <algorithm>
#include <climits>

#include "engine/allocation.h"

namespace {

const int kMargin = 2;  // blank pixels around the measured disc

// The disc of one radius as one span per row: columns [left, right) relative to the
// centre; left >= right for an empty row. Rows run from -(radius + kMargin). Kept from
// one move to the next while the radius stays.
struct DiscSpans {
    int radius = -1;
    int* left = nullptr;
    int* right = nullptr;

    ~DiscSpans() { Release(); }
    int Reach() const { return radius + kMargin; }
    bool Measure(HDC like, int r);
    void Release() {
        FreeArray(left);
        FreeArray(right);
        left = right = nullptr;
        radius = -1;
    }
    // Reads the spans of a side x side top-down bitmap; false when a row holds two runs.
    bool ReadSpans(const uint32_t* pixels, int side, int centre);
};

// The disc drawn white on black into a memory bitmap, read back top-down.
bool DrawDisc(HDC like, int r, int side, uint32_t* pixels) {
    const int centre = r + kMargin;
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
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = side;
    info.bmiHeader.biHeight = -side;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    bool read = drawn && ::GetDIBits(memory, bitmap, 0, side, pixels, &info, DIB_RGB_COLORS) == side;
    if (bitmap != nullptr) ::DeleteObject(bitmap);
    if (memory != nullptr) ::DeleteDC(memory);
    return read;
}

bool DiscSpans::ReadSpans(const uint32_t* pixels, int side, int centre) {
    for (int y = 0; y < side; ++y) {
        const uint32_t* row = pixels + static_cast<size_t>(y) * side;
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
    return true;
}

// The disc is drawn white on black around the centre of a square bitmap, with kMargin
// blank pixels beyond the Ellipse rectangle on every side.
bool DiscSpans::Measure(HDC like, int r) {
    Release();
    if (r < 0 || r > (INT_MAX / 4) - kMargin) return false;
    const int side = 2 * (r + kMargin) + 1;
    ScopedArray<uint32_t> pixels(static_cast<size_t>(side) * side);
    left = AllocateArray<int>(side);
    right = AllocateArray<int>(side);
    if (!pixels || left == nullptr || right == nullptr || !DrawDisc(like, r, side, pixels.get()) ||
        !ReadSpans(pixels.get(), side, r + kMargin)) {
        Release();
        return false;
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
    int bottom = 0;
    ScopedArray<int> leftmost, rightmost;

    LineRows(const TrailStretch& stretch, int firstRow, int lastRow)
        : top(firstRow), bottom(lastRow), leftmost(Rows()), rightmost(Rows()) {
        if (!Ready()) return;
        std::fill(leftmost.get(), leftmost.get() + Rows(), INT_MAX);
        std::fill(rightmost.get(), rightmost.get() + Rows(), INT_MIN);
        stretch.line.Walk(stretch.first, stretch.last, [this](int64_t x, int64_t y) {
            int i = static_cast<int>(y) - this->top;
            leftmost[i] = std::min(leftmost[i], static_cast<int>(x));
            rightmost[i] = std::max(rightmost[i], static_cast<int>(x));
        });
    }
    size_t Rows() const { return static_cast<size_t>(static_cast<int64_t>(bottom) - top + 1); }
    bool Ready() const { return leftmost && rightmost; }
};

// The spans of pixel row y: one per line row within reach, sorted and joined. `spans`
// holds room for 2 x reach + 1; the count is returned.
int RowSpans(const DiscSpans& disc, const LineRows& line, int y, Span* spans) {
    int count = 0;
    const int reach = disc.Reach();
    for (int cy = std::max(line.top, y - reach); cy <= std::min(line.bottom, y + reach); ++cy) {
        int index = y - cy + reach;
        if (disc.left[index] >= disc.right[index] || line.leftmost[cy - line.top] == INT_MAX) continue;
        spans[count++] = Span{line.leftmost[cy - line.top] + disc.left[index], line.rightmost[cy - line.top] + disc.right[index]};
    }
    std::sort(spans, spans + count, [](const Span& a, const Span& b) { return a.left < b.left; });
    int joined = 0;
    for (int i = 0; i < count; ++i) {
        if (joined > 0 && spans[i].left <= spans[joined - 1].right) {
            spans[joined - 1].right = std::max(spans[joined - 1].right, spans[i].right);
        } else {
            spans[joined++] = spans[i];
        }
    }
    return joined;
}

}  // namespace

// Points further than r + kMargin outside the clip box draw nothing there. The pixel
// coordinates come from the host, so the stretch also keeps the walk within int range.
bool ClipToVisible(HDC dc, int r, TrailStretch* stretch) {
    RECT clip;
    if (::GetClipBox(dc, &clip) == ERROR) return false;
    const int64_t reach = static_cast<int64_t>(r) + kMargin;
    return stretch->line.StepsInside(clip.left - reach, clip.right + reach, clip.top - reach, clip.bottom + reach,
                                     &stretch->first, &stretch->last);
}

void DrawTrailDiscs(HDC dc, const TrailStretch& stretch, int r) {
    HGDIOBJ oldBrush = ::SelectObject(dc, ::GetStockObject(WHITE_BRUSH));
    HGDIOBJ oldPen = ::SelectObject(dc, ::GetStockObject(NULL_PEN));
    stretch.line.Walk(stretch.first, stretch.last, [dc, r](int64_t x64, int64_t y64) {
        int x = static_cast<int>(x64), y = static_cast<int>(y64);
        ::Ellipse(dc, x - r, y - r, x + r, y + r);
    });
    ::SelectObject(dc, oldBrush);
    ::SelectObject(dc, oldPen);
}

bool FillTrail(HDC dc, const TrailStretch& stretch, int r) {
    if (stretch.first > stretch.last) return true;
    if (g_disc.radius != r && !g_disc.Measure(dc, r)) return false;
    int top = INT_MAX, bottom = INT_MIN;
    stretch.line.Walk(stretch.first, stretch.last, [&top, &bottom](int64_t, int64_t y) {
        top = std::min(top, static_cast<int>(y));
        bottom = std::max(bottom, static_cast<int>(y));
    });
    const LineRows line(stretch, top, bottom);
    ScopedArray<Span> spans(2 * static_cast<size_t>(g_disc.Reach()) + 1);
    if (!line.Ready() || !spans) return false;
    const HBRUSH white = static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH));
    for (int y = line.top - g_disc.Reach(); y <= line.bottom + g_disc.Reach(); ++y) {
        int count = RowSpans(g_disc, line, y, spans.get());
        for (int i = 0; i < count; ++i) {
            RECT rect{spans[i].left, y, spans[i].right, y + 1};
            ::FillRect(dc, &rect, white);
        }
    }
    return true;
}
