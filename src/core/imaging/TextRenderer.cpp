// Text rasterisation with stb_truetype over the embedded DejaVu Sans; see TextRenderer.h.
#include "imaging/TextRenderer.h"

#include "imaging/Canvas.h"
#include "imaging/EmbeddedFont.h"

#include <cmath>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wconversion"
#pragma GCC diagnostic ignored "-Wsign-conversion"
#pragma GCC diagnostic ignored "-Wshadow"
#pragma GCC diagnostic ignored "-Wpedantic"
#endif
#include <stb/stb_truetype.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace kelvo {

namespace {

constexpr int kMaxPointSize = 1000;

// One rendered glyph: its coverage bitmap and where it lies relative to the pen position on the
// baseline.
struct Glyph {
    int advance = 0; // whole pixels
    int width = 0;
    int height = 0;
    int xOffset = 0;
    int yOffset = 0; // from the baseline, downwards positive (negative: above the baseline)
    std::vector<unsigned char> coverage;
};

class Font {
public:
    Font() {
        const int offset = stbtt_GetFontOffsetForIndex(fonts::kUiFont, 0);
        if (offset < 0 || !stbtt_InitFont(&info_, fonts::kUiFont, offset))
            throw std::runtime_error("the embedded font cannot be read");
        stbtt_GetFontVMetrics(&info_, &ascent_, &descent_, &lineGap_);
    }

    struct Size {
        float scale = 0;
        int ascent = 0;
        int descent = 0;
    };

    Size size(int pointSize) const {
        Size s;
        s.scale = stbtt_ScaleForMappingEmToPixels(&info_, static_cast<float>(pixelsForPoints(pointSize)));
        s.ascent = static_cast<int>(std::lround(static_cast<double>(ascent_) * s.scale));
        s.descent = static_cast<int>(std::lround(static_cast<double>(-descent_) * s.scale));
        return s;
    }

    // The glyph of a code point at a point size, rendered once and kept (keyed by glyph, so the
    // cache is bounded by the font's glyph count per size whatever the texts hold).
    const Glyph& glyph(char32_t codePoint, int pointSize) {
        const int index = stbtt_FindGlyphIndex(&info_, static_cast<int>(codePoint));
        const std::lock_guard<std::mutex> lock(mutex_);
        const auto key = std::make_pair(index, pointSize);
        auto found = cache_.find(key);
        if (found != cache_.end()) return *found->second;

        const Size s = size(pointSize);
        auto g = std::make_unique<Glyph>();
        int advanceWidth = 0;
        int leftSideBearing = 0;
        stbtt_GetGlyphHMetrics(&info_, index, &advanceWidth, &leftSideBearing);
        g->advance = static_cast<int>(std::lround(static_cast<double>(advanceWidth) * s.scale));
        int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
        stbtt_GetGlyphBitmapBox(&info_, index, s.scale, s.scale, &x0, &y0, &x1, &y1);
        if (x1 > x0 && y1 > y0) {
            g->width = x1 - x0;
            g->height = y1 - y0;
            g->xOffset = x0;
            g->yOffset = y0;
            g->coverage.assign(static_cast<std::size_t>(g->width) * static_cast<std::size_t>(g->height), 0);
            stbtt_MakeGlyphBitmap(&info_, g->coverage.data(), g->width, g->height, g->width, s.scale, s.scale, index);
        }
        const Glyph& result = *g;
        cache_.emplace(key, std::move(g));
        return result;
    }

private:
    stbtt_fontinfo info_{};
    int ascent_ = 0;
    int descent_ = 0;
    int lineGap_ = 0;
    std::mutex mutex_;
    std::map<std::pair<int, int>, std::unique_ptr<Glyph>> cache_;
};

Font& font() {
    static Font instance;
    return instance;
}

void checkPointSize(int pointSize) {
    if (pointSize < 1 || pointSize > kMaxPointSize)
        throw std::invalid_argument("a text size must be 1 to " + std::to_string(kMaxPointSize) + " points, not " +
                                    std::to_string(pointSize));
}

// UTF-8 to code points; each byte of an invalid, overlong or truncated sequence becomes U+FFFD.
std::u32string decodeUtf8(std::string_view text) {
    std::u32string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const auto b0 = static_cast<unsigned char>(text[i]);
        if (b0 < 0x80) {
            out.push_back(b0);
            ++i;
            continue;
        }
        int length = 0;
        char32_t cp = 0;
        char32_t min = 0;
        if ((b0 & 0xE0) == 0xC0) {
            length = 2;
            cp = b0 & 0x1Fu;
            min = 0x80;
        } else if ((b0 & 0xF0) == 0xE0) {
            length = 3;
            cp = b0 & 0x0Fu;
            min = 0x800;
        } else if ((b0 & 0xF8) == 0xF0) {
            length = 4;
            cp = b0 & 0x07u;
            min = 0x10000;
        }
        bool ok = length > 0 && i + static_cast<std::size_t>(length) <= text.size();
        for (int k = 1; ok && k < length; ++k) {
            const auto b = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
            if ((b & 0xC0) != 0x80)
                ok = false;
            else
                cp = (cp << 6) | (b & 0x3Fu);
        }
        if (ok && (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))) ok = false;
        if (ok) {
            out.push_back(cp);
            i += static_cast<std::size_t>(length);
        } else {
            out.push_back(U'\uFFFD');
            ++i;
        }
    }
    return out;
}

std::uint8_t blend(std::uint8_t old, std::uint8_t colour, unsigned alpha) {
    return static_cast<std::uint8_t>((old * (255u - alpha) + colour * alpha + 127u) / 255u);
}

int clampToInt(std::int64_t v) {
    if (v > INT32_MAX) return INT32_MAX;
    if (v < INT32_MIN) return INT32_MIN;
    return static_cast<int>(v);
}

} // namespace

int pixelsForPoints(int pointSize) {
    checkPointSize(pointSize);
    // MulDiv(pointSize, 96, 72): the exact quotient rounded half away from zero.
    return (pointSize * 96 * 2 + 72) / (72 * 2);
}

int textHeight(int pointSize) {
    checkPointSize(pointSize);
    const Font::Size s = font().size(pointSize);
    return s.ascent + s.descent;
}

int textAscent(int pointSize) {
    checkPointSize(pointSize);
    return font().size(pointSize).ascent;
}

int textWidth(std::string_view utf8, int pointSize) {
    checkPointSize(pointSize);
    std::int64_t width = 0;
    for (const char32_t cp : decodeUtf8(utf8))
        width += font().glyph(cp, pointSize).advance;
    return clampToInt(width);
}

void drawText(Bitmap24& bitmap, int x, int y, std::string_view utf8, int pointSize, TRGBStr colour,
              std::optional<TRGBStr> background) {
    checkPointSize(pointSize);
    const std::u32string text = decodeUtf8(utf8);
    Font& f = font();
    const Font::Size s = f.size(pointSize);

    if (background) {
        std::int64_t width = 0;
        for (const char32_t cp : text)
            width += f.glyph(cp, pointSize).advance;
        fillRect(bitmap, x, y, clampToInt(static_cast<std::int64_t>(x) + width),
                 clampToInt(static_cast<std::int64_t>(y) + s.ascent + s.descent), *background);
    }

    const std::int64_t width = bitmap.width();
    const std::int64_t height = bitmap.height();
    const std::int64_t baseline = static_cast<std::int64_t>(y) + s.ascent;
    std::int64_t pen = x;
    for (const char32_t cp : text) {
        const Glyph& g = f.glyph(cp, pointSize);
        const std::int64_t left = pen + g.xOffset;
        const std::int64_t top = baseline + g.yOffset;
        pen += g.advance;
        if (left >= width || top >= height || left + g.width <= 0 || top + g.height <= 0) continue;
        for (int gy = 0; gy < g.height; ++gy) {
            const std::int64_t py = top + gy;
            if (py < 0 || py >= height) continue;
            auto row = bitmap.row(static_cast<int>(py));
            const unsigned char* coverage =
                g.coverage.data() + static_cast<std::size_t>(gy) * static_cast<std::size_t>(g.width);
            for (int gx = 0; gx < g.width; ++gx) {
                const unsigned alpha = coverage[gx];
                if (alpha == 0) continue;
                const std::int64_t px = left + gx;
                if (px < 0 || px >= width) continue;
                TRGBStr& pixel = row[static_cast<std::size_t>(px)];
                pixel.B = blend(pixel.B, colour.B, alpha);
                pixel.G = blend(pixel.G, colour.G, alpha);
                pixel.R = blend(pixel.R, colour.R, alpha);
            }
        }
    }
}

} // namespace kelvo
