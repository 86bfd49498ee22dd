// Pen lines, rectangles and measurement marks on a Bitmap24; see Canvas.h for the rules.
#include "imaging/Canvas.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace kelvo {

namespace {

// Pens wider than this are drawn this wide: far beyond anything the programs use (1 and 3), and
// it keeps the work of one line bounded by the bitmap's size.
constexpr int kMaxPenWidth = 1024;

// The round pen tip of width w: for each row offset lo..hi, the column offsets it covers.
struct Tip {
    int lo = 0;
    int hi = 0;
    std::vector<int> left;  // per row offset (index dy - lo)
    std::vector<int> right; // inclusive
};

Tip makeTip(int w) {
    Tip tip;
    tip.lo = -(w / 2);
    tip.hi = (w - 1) / 2;
    const std::int64_t c = (w % 2 == 0) ? 1 : 0; // even widths: the centre lies between pixels
    const std::int64_t w2 = static_cast<std::int64_t>(w) * w;
    for (int dy = tip.lo; dy <= tip.hi; ++dy) {
        const std::int64_t ey = 2 * static_cast<std::int64_t>(dy) + c;
        int l = 1;
        int r = 0;
        for (int dx = tip.lo; dx <= tip.hi; ++dx) {
            const std::int64_t ex = 2 * static_cast<std::int64_t>(dx) + c;
            if (ex * ex + ey * ey <= w2) {
                if (l > r) l = dx;
                r = dx;
            }
        }
        tip.left.push_back(l);
        tip.right.push_back(r);
    }
    return tip;
}

void stamp(Bitmap24& bitmap, std::int64_t x, std::int64_t y, const Tip& tip, TRGBStr colour) {
    const std::int64_t width = bitmap.width();
    const std::int64_t height = bitmap.height();
    for (int dy = tip.lo; dy <= tip.hi; ++dy) {
        const std::int64_t py = y + dy;
        if (py < 0 || py >= height) continue;
        const std::size_t k = static_cast<std::size_t>(dy - tip.lo);
        if (tip.left[k] > tip.right[k]) continue;
        const std::int64_t from = std::max<std::int64_t>(x + tip.left[k], 0);
        const std::int64_t to = std::min<std::int64_t>(x + tip.right[k], width - 1);
        if (from > to) continue;
        auto row = bitmap.row(static_cast<int>(py));
        for (std::int64_t px = from; px <= to; ++px)
            row[static_cast<std::size_t>(px)] = colour;
    }
}

} // namespace

void drawLine(Bitmap24& bitmap, int x1, int y1, int x2, int y2, TRGBStr colour, int penWidth) {
    if (bitmap.width() <= 0 || bitmap.height() <= 0) return;
    const int w = std::clamp(penWidth, 1, kMaxPenWidth);
    const Tip tip = makeTip(w);
    const std::int64_t reach = std::max(-tip.lo, tip.hi); // how far the tip reaches from its centre

    const std::int64_t dx = static_cast<std::int64_t>(x2) - x1;
    const std::int64_t dy = static_cast<std::int64_t>(y2) - y1;
    const std::int64_t adx = dx < 0 ? -dx : dx;
    const std::int64_t ady = dy < 0 ? -dy : dy;
    const bool xMajor = adx >= ady;
    const std::int64_t n = xMajor ? adx : ady;          // steps of the path: points 0..n
    const std::int64_t minorDelta = xMajor ? ady : adx; // 0..n
    const std::int64_t majorStart = xMajor ? x1 : y1;
    const std::int64_t minorStart = xMajor ? y1 : x1;
    const std::int64_t majorSign = (xMajor ? dx : dy) < 0 ? -1 : 1;
    const std::int64_t minorSign = (xMajor ? dy : dx) < 0 ? -1 : 1;
    const std::int64_t majorSize = xMajor ? bitmap.width() : bitmap.height();
    const std::int64_t minorSize = xMajor ? bitmap.height() : bitmap.width();

    // Pen width 1 leaves out the last point (and so draws nothing for a zero-length line).
    const std::int64_t last = (w == 1) ? n - 1 : n;
    if (last < 0) return;

    // The steps whose major coordinate can touch the bitmap: majorStart + majorSign * i within
    // [-reach, majorSize - 1 + reach].
    std::int64_t first = 0;
    std::int64_t end = last;
    if (majorSign > 0) {
        first = std::max(first, -reach - majorStart);
        end = std::min(end, majorSize - 1 + reach - majorStart);
    } else {
        first = std::max(first, majorStart - (majorSize - 1 + reach));
        end = std::min(end, majorStart + reach);
    }
    for (std::int64_t i = first; i <= end; ++i) {
        // round(i * minorDelta / n), halves away from the start, exactly in 64 bits:
        // i, minorDelta, n < 2^32, so i * minorDelta < 2^64.
        std::int64_t minorOffset = 0;
        if (n > 0) {
            const std::uint64_t q = static_cast<std::uint64_t>(i) * static_cast<std::uint64_t>(minorDelta);
            const std::uint64_t un = static_cast<std::uint64_t>(n);
            const std::uint64_t whole = q / un;
            const std::uint64_t rest = q % un;
            minorOffset = static_cast<std::int64_t>(whole + (2 * rest + un) / (2 * un));
        }
        const std::int64_t major = majorStart + majorSign * i;
        const std::int64_t minor = minorStart + minorSign * minorOffset;
        if (minor < -reach || minor > minorSize - 1 + reach) continue;
        if (xMajor)
            stamp(bitmap, major, minor, tip, colour);
        else
            stamp(bitmap, minor, major, tip, colour);
    }
}

void fillRect(Bitmap24& bitmap, int left, int top, int right, int bottom, TRGBStr colour) {
    const int x0 = std::max(left, 0);
    const int y0 = std::max(top, 0);
    const int x1 = std::min(right, bitmap.width());
    const int y1 = std::min(bottom, bitmap.height());
    if (x0 >= x1 || y0 >= y1) return;
    for (int y = y0; y < y1; ++y) {
        auto row = bitmap.row(y);
        std::fill(row.begin() + x0, row.begin() + x1, colour);
    }
}

void fill(Bitmap24& bitmap, TRGBStr colour) {
    fillRect(bitmap, 0, 0, bitmap.width(), bitmap.height(), colour);
}

void copyRect(const Bitmap24& source, int sourceX, int sourceY, int width, int height, Bitmap24& dest, int destX,
              int destY) {
    if (width <= 0 || height <= 0) return;
    // Work in 64 bits: offsets near the int limits must not overflow.
    std::int64_t sx = sourceX;
    std::int64_t sy = sourceY;
    std::int64_t dx = destX;
    std::int64_t dy = destY;
    std::int64_t w = width;
    std::int64_t h = height;
    auto clipStart = [](std::int64_t& a, std::int64_t& b, std::int64_t& size) {
        // Moves both starts forward until neither is negative.
        const std::int64_t skip = std::max<std::int64_t>({0, -a, -b});
        a += skip;
        b += skip;
        size -= skip;
    };
    clipStart(sx, dx, w);
    clipStart(sy, dy, h);
    w = std::min({w, static_cast<std::int64_t>(source.width()) - sx, static_cast<std::int64_t>(dest.width()) - dx});
    h = std::min({h, static_cast<std::int64_t>(source.height()) - sy, static_cast<std::int64_t>(dest.height()) - dy});
    if (w <= 0 || h <= 0) return;
    for (std::int64_t r = 0; r < h; ++r) {
        const auto from =
            source.row(static_cast<int>(sy + r)).subspan(static_cast<std::size_t>(sx), static_cast<std::size_t>(w));
        auto to = dest.row(static_cast<int>(dy + r)).subspan(static_cast<std::size_t>(dx), static_cast<std::size_t>(w));
        std::copy(from.begin(), from.end(), to.begin());
    }
}

void drawMeasurementCross(Bitmap24& bitmap, int x, int y, TRGBStr colour) {
    const std::int64_t X = x;
    const std::int64_t Y = y;
    // Coordinates near the int limits: clamp the stroke ends (such a point is far outside any
    // bitmap, so clamping cannot change what is drawn).
    auto c = [](std::int64_t v) { return static_cast<int>(std::clamp<std::int64_t>(v, INT32_MIN / 2, INT32_MAX / 2)); };
    drawLine(bitmap, c(X - 3), c(Y), c(X - 8), c(Y), colour, 3);
    drawLine(bitmap, c(X + 3), c(Y), c(X + 8), c(Y), colour, 3);
    drawLine(bitmap, c(X), c(Y - 3), c(X), c(Y - 8), colour, 3);
    drawLine(bitmap, c(X), c(Y + 3), c(X), c(Y + 8), colour, 3);
}

void drawMeasurement(Bitmap24& bitmap, int x1, int y1, int x2, int y2, TRGBStr colour) {
    drawMeasurementCross(bitmap, x1, y1, colour);
    drawMeasurementCross(bitmap, x2, y2, colour);
    drawLine(bitmap, x1, y1, x2, y2, colour, 1);
}

} // namespace kelvo
