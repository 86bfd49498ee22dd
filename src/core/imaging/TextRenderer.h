#pragma once
// Text on 24-bit bitmaps: the platform's default user-interface typeface at a
// size in points, rasterised with stb_truetype from a font embedded at build time.
//
// Typeface: DejaVu Sans (Debian's fonts-dejavu-core, DejaVuSans.ttf), a regular-weight
// sans-serif standing in for the VCL canvas's default face (Tahoma / MS Sans Serif, regular).
//
// Size: as VCL does it. TFont.Size = pt sets TFont.Height = -MulDiv(pt, 96, 72) at 96 dpi, and a
// negative GDI font height is the character height: the em square, the cell height LESS its
// internal leading. So pt maps the font's em square to pixelsForPoints(pt) pixels (16 pt = 21 px,
// 24 pt = 32 px, 8 pt = 11 px): stb_truetype's ScaleForMappingEmToPixels, not ScaleForPixelHeight
// (which would squeeze ascent + descent into that height, as a positive GDI height does). The
// text cell (GDI's tmHeight, VCL's TextHeight) is taller: ascent + descent of the font at that
// scale, for DejaVu Sans 16 pt 24 px and 24 pt 38 px. Advance widths are rounded to whole pixels
// per character and no kerning is applied, as GDI's TextOut does; textWidth is their sum, so a
// text drawn at x occupies columns x .. x + textWidth - 1.
//
// Antialiasing: the glyphs' coverage (0..255) is blended over what the bitmap holds, per channel
// out = (old * (255 - a) + colour * a + 127) / 255 (greyscale font smoothing, not ClearType). A
// pixel of coverage 0 is not touched, so with a clear background the pixels between the strokes
// keep their values; full coverage writes the colour exactly.
//
// Texts are UTF-8; an invalid byte sequence draws U+FFFD, a character the font lacks its
// missing-glyph box. Drawing is clipped to the bitmap. Point sizes must lie in 1..1000
// (std::invalid_argument otherwise). All functions may be called from several threads.
#include "imaging/Bitmap.h"

#include <optional>
#include <string_view>

namespace kelvo {

// VCL's TFont default size, the size of a canvas whose font is left as it is (the
// "KORVANTEX KELVO" caption on the cine frames).
inline constexpr int kDefaultCanvasPointSize = 8;

// Pixels per em for a point size at 96 dpi: MulDiv(pt, 96, 72), rounded half away from zero.
int pixelsForPoints(int pointSize);

// Width in pixels of `utf8` at `pointSize` (the sum of its characters' advances).
int textWidth(std::string_view utf8, int pointSize);

// Height in pixels of a text cell at `pointSize`: the font's ascent plus descent.
int textHeight(int pointSize);

// Distance in pixels from the top of a text cell to its baseline.
int textAscent(int pointSize);

// Draws `utf8` with the top-left corner of its cell at (x, y). With a background colour, first
// fills the whole cell (textWidth x textHeight) with it, as VCL's opaque text background does;
// without one (a clear background) only the glyphs' own pixels change.
void drawText(Bitmap24& bitmap, int x, int y, std::string_view utf8, int pointSize, TRGBStr colour,
              std::optional<TRGBStr> background);

} // namespace kelvo
